#include "dynamics/needle_vibration.h"

#include "dynamics/angle_units.h"

#include <cmath>

namespace mirevane {
namespace {

constexpr double kTwoPi = 2.0 * kPi;
// Metres per second at 10 km/h: one cycle spans Period x 10/3.6 metres, so at 10 km/h it
// lasts Period seconds.
constexpr double kMetresPerSecondAt10Kmph = 2.7777777777777777;

} // namespace

void CNeedleVibration::SetAmplitude(double amplitude) noexcept {
    amplitude_ = std::fabs(amplitude);
}

void CNeedleVibration::SetPeriod(double period) noexcept {
    spatialFrequency_ =
        period == 0.0 ? 0.0 : std::fabs(kTwoPi / (period * kMetresPerSecondAt10Kmph));
}

void CNeedleVibration::SetThreshold(double threshold) noexcept {
    threshold_ = std::fabs(threshold);
}

double CNeedleVibration::Apply(double value, double locationMetres) const noexcept {
    if (amplitude_ == 0.0 || spatialFrequency_ == 0.0) {
        return value;
    }
    const double magnitude = std::fabs(value);
    if (threshold_ != 0.0 && magnitude > threshold_) {
        return magnitude;
    }
    const double a = amplitude_ <= magnitude ? amplitude_ : magnitude;
    return magnitude + a * std::sin(spatialFrequency_ * locationMetres);
}

} // namespace mirevane
