#include "dial/geometry.h"

#include "gauges/c_mirevane.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// The angle in -180..180 that equals `degrees` modulo a turn.
double Wrapped(double degrees) noexcept {
    return degrees - 360.0 * std::round(degrees / 360.0);
}

} // namespace

DialGeometry::DialGeometry(const CMirevane& gauges, int32_t gauge)
    : elliptic_(gauges.isElliptic()[gauge]), scale_(gauges.scales()[gauge]),
      ellipse_(gauges.ellipses()[gauge]) {
    for (const auto& [value, angle] : scale_.table()) {
        marks_.push_back({value, angle + 180.0});
    }
    if (!elliptic_) {
        images_.push_back({gauges.needlePanelIndex()[gauge], 1.0});
        return;
    }
    const int32_t n = ellipse_.divisionCount();
    const std::vector<int32_t>& entries = ellipse_.panelIndices();
    for (int32_t k = 0; k < n; ++k) {
        const int32_t entry = k < static_cast<int32_t>(entries.size()) ? entries[k] : -1;
        images_.push_back({entry, CEllipseGauge::NeedleLength(k, n, minorAxis())});
    }
    // Each division covers the folded angles from the boundary before its own (exclusive) to
    // its own, i.e. four mirror images about the axes of the ellipse.
    const double rotate = ellipse_.rotateAngle();
    double lo = 0.0;
    for (const auto& [boundary, entry] : ellipse_.divisionTable()) {
        const double hi = std::min(boundary, 90.0);
        if (hi > lo) {
            for (const auto& [from, to] :
                 {std::pair{lo, hi}, std::pair{180.0 - hi, 180.0 - lo},
                  std::pair{180.0 + lo, 180.0 + hi}, std::pair{360.0 - hi, 360.0 - lo}}) {
                sectors_.push_back({entry, rotate + from, rotate + to});
            }
        }
        lo = std::max(lo, hi);
    }
}

NeedlePlace DialGeometry::Locate(double angleDegrees) const noexcept {
    if (!elliptic_) {
        return {0.0, angleDegrees, images_.front().entry};
    }
    const double x = angleDegrees * kRadiansPerDegree;
    const double folded = ellipse_.FoldedAngleDegrees(x);
    return {folded, ellipse_.DrawnAngleDegrees(x), ellipse_.SelectedEntry(folded)};
}

Point DialGeometry::OnOutline(double angleDegrees) const noexcept {
    const double rotate = rotateDegrees() * kRadiansPerDegree;
    const double phi = angleDegrees * kRadiansPerDegree - rotate;
    // The ellipse (cos phi, b sin phi) with its major axis turned to the rotate angle.
    const double u = std::cos(phi);
    const double v = minorAxis() * std::sin(phi);
    return {u * std::cos(rotate) - v * std::sin(rotate),
            u * std::sin(rotate) + v * std::cos(rotate)};
}

double DialGeometry::AngleDrawnAt(double frameDegrees, double nearDegrees) const noexcept {
    if (!elliptic_) {
        return nearDegrees + Wrapped(frameDegrees - nearDegrees);
    }
    // The drawn direction runs once round as the angle does: within a turn about
    // `nearDegrees` the wanted direction is met once, or twice at the turn's ends. Step
    // through the turn, then halve the step that crosses it.
    const auto miss = [&](double a) { return Wrapped(Locate(a).drawnDegrees - frameDegrees); };
    constexpr double kStep = 0.5;
    double best = nearDegrees;
    double bestDistance = INFINITY;
    double a0 = nearDegrees - 180.0;
    double m0 = miss(a0);
    for (int i = 1; i <= static_cast<int>(360.0 / kStep); ++i) {
        const double a1 = nearDegrees - 180.0 + i * kStep;
        const double m1 = miss(a1);
        // A sign change, and not the jump where the miss wraps from 180 to -180.
        if ((m0 <= 0.0) != (m1 <= 0.0) && std::fabs(m1 - m0) < 180.0) {
            double lo = a0;
            double hi = a1;
            for (int k = 0; k < 60; ++k) {
                const double mid = (lo + hi) / 2;
                ((miss(mid) <= 0.0) == (m0 <= 0.0) ? lo : hi) = mid;
            }
            const double root = (lo + hi) / 2;
            if (std::fabs(root - nearDegrees) < bestDistance) {
                best = root;
                bestDistance = std::fabs(root - nearDegrees);
            }
        }
        a0 = a1;
        m0 = m1;
    }
    return best;
}

} // namespace mirevane::tool
