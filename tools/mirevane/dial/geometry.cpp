#include "dial/geometry.h"

#include "gauges/c_mirevane.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

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

} // namespace mirevane::tool
