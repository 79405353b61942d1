// A small sinusoidal tremble on a gauge value, its phase tied to the distance travelled.
#pragma once

namespace mirevane {

class CNeedleVibration {
public:
    // Set-up, once at Load. Zero amplitude or period switches the tremble off; negative
    // settings act as their magnitudes.
    void SetAmplitude(double amplitude) noexcept;
    void SetPeriod(double period) noexcept;
    void SetThreshold(double threshold) noexcept;

    // Per frame, pure: m + a sin(k x) with m = |value| and a = min(amplitude, m), so the
    // tremble fades towards zero and never crosses it. The sign is dropped whenever the
    // tremble is configured, also above the threshold.
    double Apply(double value, double locationMetres) const noexcept;

    double spatialFrequency() const noexcept { return spatialFrequency_; }
    double amplitude() const noexcept { return amplitude_; }
    double threshold() const noexcept { return threshold_; }

private:
    double spatialFrequency_ = 0.0; // rad per metre
    double amplitude_ = 0.0;        // units of the source value
    double threshold_ = 0.0;        // 0: no limit
};

} // namespace mirevane
