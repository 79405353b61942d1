// Mass-spring-damper needle response: the exact solution of
//   y'' + 2 zeta omega y' + omega^2 (y - T) = 0
// along held segments, the target re-sampled once more than 1/omega seconds have passed.
#pragma once

namespace mirevane {

class CDampingObject {
public:
    // Set-up, once at Load; puts the needle at rest at 0 with target 0. omega <= 0 (or not a
    // finite number) switches the model off (pass-through); a negative or NaN zeta counts
    // as 0.
    void SetParameters(double naturalFrequency, double dampingRatio) noexcept;

    // Per frame: value holds the input on entry and the damped output on return. The time
    // step is clamped to 0..1 s and counts from the next call on.
    void Step(double timeStepSeconds, double& value) noexcept;

    double naturalFrequency() const noexcept { return naturalFrequency_; }
    double dampingRatio() const noexcept { return dampingRatio_; }
    double output() const noexcept { return output_; }
    // Derivative of the remaining fraction at the start of the current segment, per second.
    double slope() const noexcept { return slope_; }

private:
    struct Response {
        double remaining;  // g(t): 1 at the segment start, tending to 0
        double derivative; // g'(t), per second
    };
    // The current segment's normalised response at t seconds into it.
    Response Evaluate(double t) const noexcept;

    double naturalFrequency_ = 0.0;   // omega, rad/s
    double retargetInterval_ = 0.0;   // 1/omega, s
    double dampingRatio_ = 0.0;       // zeta
    double dampedFrequency_ = 0.0;    // omega_d, rad/s
    double slowDecayRate_ = 0.0;      // sigma - omega_d when over-damped, 1/s
    double dampingToFrequency_ = 0.0; // sigma / omega_d when over-damped
    double start_ = 0.0;
    double slope_ = 0.0; // of the remaining fraction, per second
    double target_ = 0.0;
    double output_ = 0.0;
    double remaining_ = 1.0;
    double elapsed_ = 0.0; // s
};

} // namespace mirevane
