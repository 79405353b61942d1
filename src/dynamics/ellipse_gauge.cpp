// Folded angles and drawn angles follow the ellipse (cos t, b sin t), b = 1 - flattening,
// whose major axis points along the rotate angle. Every formula is evaluated in one fixed
// order so that all builds write the same panel values.
#include "dynamics/ellipse_gauge.h"

#include "dynamics/angle_units.h"

#include "plugin/host_records.h"
#include "plugin/panel_value.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mirevane {
namespace {

// Host times are 32-bit milliseconds that may wrap: the difference is taken modulo 2^32 and
// read as signed, without the signed overflow a plain subtraction would risk.
double StepSeconds(int32_t previousMilliseconds, int32_t milliseconds) noexcept {
    const uint32_t wrapped =
        static_cast<uint32_t>(milliseconds) - static_cast<uint32_t>(previousMilliseconds);
    constexpr uint32_t kHalf = 0x80000000u;
    const int32_t difference = wrapped < kHalf ? static_cast<int32_t>(wrapped)
                                               : static_cast<int32_t>(wrapped - kHalf) +
                                                     std::numeric_limits<int32_t>::min();
    return static_cast<double>(difference) / 1000.0;
}

// A lambda rather than a function, so that the search inlines it. Written as "not reached"
// rather than "below": the two agree on numbers, and a NaN key, which no boundary reaches,
// then falls past the end of the table, to the last division.
constexpr auto KeyBelow = [](const std::pair<double, int32_t>& entry, double key) noexcept {
    return !(entry.first >= key);
};

} // namespace

void CEllipseGauge::AddPanelIndex(int32_t panelIndex) {
    panelIndices_.push_back(panelIndex);
}

void CEllipseGauge::Setup(int32_t division, double flattening, double rotateAngleDegrees,
                          double standbyAngleDegrees) {
    // NaN counts as 0 like anything below it.
    flattening_ = flattening > 0.0 ? std::min(flattening, 1.0) : 0.0;
    const auto listSize = static_cast<int32_t>(panelIndices_.size());
    // Below 2 counts as 2; no more divisions than panel indices (unless fewer than 2 exist).
    divisionCount_ = std::max(2, std::min(division, listSize));
    rotateAngle_ = rotateAngleDegrees;
    standbyAngle_ = standbyAngleDegrees;
    minorAxis_ = 1.0 - flattening_;
    rotateRadians_ = rotateAngleDegrees * kPi / 180.0;
    parkedValue_ = ToPanelValue(standbyAngleDegrees);

    const int32_t n = divisionCount_;
    // A division without a configured panel index draws nowhere.
    auto panelIndex = [&](int32_t k) { return k < listSize ? panelIndices_[k] : -1; };

    divisionTable_.clear();
    divisionTable_.reserve(static_cast<std::size_t>(n));
    const double b = minorAxis_;
    const double bSquared = b * b;
    if (bSquared != 1.0) {
        // theta_k: the parameter angle at which the ellipse point's distance from the centre
        // equals the needle length r_k, which steps evenly from 1 (k = 0) down to b.
        double previousTheta = 0.0;
        for (int32_t k = 0; k < n; ++k) {
            const double r = NeedleLength(k, n, b);
            const double theta =
                std::acos(std::sqrt((r * r - bSquared) / (1.0 - bSquared))) * kDegreesPerRadian;
            if (k > 0) {
                InsertBoundary((previousTheta + theta) * 0.5, panelIndex(k - 1));
            }
            previousTheta = theta;
        }
    }
    // A circle (b = 1) has no length steps: its quotient above would be 0/0, and only this
    // entry is built.
    InsertBoundary(180.0, panelIndex(n - 1));
}

void CEllipseGauge::InsertBoundary(double keyDegrees, int32_t panelIndex) {
    // Map semantics: keys unique and ascending; a repeated boundary keeps the first entry,
    // whose range is the only non-empty one.
    const auto at =
        std::lower_bound(divisionTable_.begin(), divisionTable_.end(), keyDegrees, KeyBelow);
    if (at == divisionTable_.end() || at->first != keyDegrees) {
        divisionTable_.insert(at, {keyDegrees, panelIndex});
    }
}

double CEllipseGauge::NeedleLength(int32_t k, int32_t n, double minorAxis) noexcept {
    return (n - k - 1) * (1.0 - minorAxis) / (n - 1) + minorAxis;
}

double CEllipseGauge::FoldedAngleDegrees(double angleRadians) const noexcept {
    double folded = std::fabs(angleRadians * 180.0 / kPi - rotateAngle_);
    folded = std::fmod(folded, 180.0);
    return folded > 90.0 ? 180.0 - folded : folded;
}

double CEllipseGauge::DrawnAngleDegrees(double angleRadians) const noexcept {
    const double phi = angleRadians - rotateRadians_;
    return (std::atan2(minorAxis_ * std::sin(phi), std::cos(phi)) + 2.0 * kPi) * kDegreesPerRadian +
           rotateAngle_;
}

int32_t CEllipseGauge::SelectedEntry(double foldedDegrees) const noexcept {
    if (divisionTable_.empty()) {
        return -1;
    }
    const auto at =
        std::lower_bound(divisionTable_.begin(), divisionTable_.end(), foldedDegrees, KeyBelow);
    return at != divisionTable_.end() ? at->second : divisionTable_.back().second;
}

void CEllipseGauge::SetDamping(double naturalFrequency, double dampingRatio) noexcept {
    damping_.SetParameters(naturalFrequency, dampingRatio);
}

void CEllipseGauge::Render(double angleDegrees, int32_t timeMilliseconds, int32_t* panel) noexcept {
    double x = angleDegrees * kPi / 180.0;
    // The first frame has no previous time: it moves nothing.
    const double dt = hasPreviousTime_ ? StepSeconds(previousTime_, timeMilliseconds) : 0.0;
    damping_.Step(dt, x);

    const double folded = FoldedAngleDegrees(x);
    const double drawn = DrawnAngleDegrees(x);

    const int32_t parked = parkedValue_;
    if (IsHostArrayIndex(previousEntry_)) {
        panel[previousEntry_] = parked;
    }
    const int32_t selected = SelectedEntry(folded);

    if (standbyRequest_) {
        for (const auto& entry : divisionTable_) {
            if (IsHostArrayIndex(entry.second)) {
                panel[entry.second] = parked;
            }
        }
        standbyRequest_ = false;
    }
    // Written last: the needle wins over the parking of its own entry.
    if (IsHostArrayIndex(selected)) {
        panel[selected] = ToPanelValue(drawn);
    }

    previousEntry_ = selected;
    previousTime_ = timeMilliseconds;
    hasPreviousTime_ = true;
}

} // namespace mirevane
