// Mass-spring-damper needle response: the exact solution of
//   y'' + 2 zeta omega y' + omega^2 (y - T) = 0
// along held segments, the target re-sampled once more than 1/omega seconds have passed.
#pragma once

namespace mirevane {

class CDampingObject {
public:
    // Set-up, once at Load; puts the needle at rest at 0 with target 0. omega <= 0 switches
    // the model off (pass-through).
    void SetParameters(double naturalFrequency, double dampingRatio) noexcept;

    // Per frame: value holds the input on entry and the damped output on return.
    void Step(double timeStepSeconds, double& value) noexcept;

    double naturalFrequency() const noexcept { return naturalFrequency_; }
    double dampingRatio() const noexcept { return dampingRatio_; }
    double output() const noexcept { return output_; }

private:
    double naturalFrequency_ = 0.0; // omega, rad/s
    double retargetInterval_ = 0.0; // 1/omega, s
    double dampingRatio_ = 0.0;     // zeta
    double dampedFrequency_ = 0.0;  // omega_d, rad/s
    double start_ = 0.0;
    double slope_ = 0.0; // of the remaining fraction, per second
    double target_ = 0.0;
    double output_ = 0.0;
    double remaining_ = 1.0;
    double elapsed_ = 0.0; // s
};

} // namespace mirevane
