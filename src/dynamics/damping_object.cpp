// The output is y = (1 - g) T + g S with S the segment's start and g the remaining fraction,
// the solution of g'' + 2 sigma g' + omega^2 g = 0 with g(0) = 1, g'(0) = v0 (the slope) and
// sigma = zeta omega. The four closed forms below are chosen by exact comparison of zeta with
// 0 and 1.
#include "dynamics/damping_object.h"

#include <cmath>

namespace mirevane {

void CDampingObject::SetParameters(double naturalFrequency, double dampingRatio) noexcept {
    // Negative (or NaN, or infinite) omega has no meaning: pass-through as for 0.
    if (!(naturalFrequency >= 0.0 && std::isfinite(naturalFrequency))) {
        naturalFrequency_ = 0.0;
        return;
    }
    // A negative ratio would leave the object half set up; an undamped needle is the nearest
    // meaningful choice.
    const double zeta = dampingRatio >= 0.0 ? dampingRatio : 0.0;

    naturalFrequency_ = naturalFrequency;
    retargetInterval_ = naturalFrequency == 0.0 ? 0.0 : 1.0 / naturalFrequency;
    dampingRatio_ = zeta;
    // sqrt(1 - zeta) sqrt(1 + zeta) instead of sqrt(1 - zeta^2): exact to rounding near
    // zeta = 1, and no overflow of zeta^2 for huge ratios.
    slowDecayRate_ = 0.0;
    if (zeta < 1.0) {
        dampedFrequency_ = naturalFrequency * (std::sqrt(1.0 - zeta) * std::sqrt(1.0 + zeta));
    } else if (zeta == 1.0) {
        dampedFrequency_ = naturalFrequency;
    } else {
        const double root = std::sqrt(zeta - 1.0) * std::sqrt(zeta + 1.0);
        dampedFrequency_ = naturalFrequency * root;
        // sigma - omega_d = omega (zeta - root) cancels for large zeta; this equal form
        // does not.
        slowDecayRate_ = naturalFrequency / (zeta + root);
        // sigma / omega_d from the ratio alone: sigma and omega_d each overflow once omega zeta
        // passes the largest double, their quotient tends to 1 (an infinite ratio's limit).
        dampingToFrequency_ = std::isinf(zeta) ? 1.0 : zeta / root;
    }

    start_ = 0.0;
    slope_ = 0.0;
    target_ = 0.0;
    output_ = 0.0;
    remaining_ = 1.0;
    elapsed_ = 0.0;
}

// Inline: in the every-frame call the compiler can then drop the derivative, which only a
// re-sampling frame uses.
inline CDampingObject::Response CDampingObject::Evaluate(double t) const noexcept {
    const double omega = naturalFrequency_;
    const double wd = dampedFrequency_;
    const double v0 = slope_;
    const double sigma = dampingRatio_ * omega;

    if (dampingRatio_ == 0.0) {
        const double c = std::cos(omega * t);
        const double s = std::sin(omega * t);
        return {c + (v0 / omega) * s, v0 * c - omega * s};
    }
    if (dampingRatio_ < 1.0) {
        const double decay = std::exp(-sigma * t);
        const double c = std::cos(wd * t);
        const double s = std::sin(wd * t);
        return {decay * (c + ((sigma + v0) / wd) * s),
                decay * (v0 * wd * c - (sigma * (sigma + v0) + wd * wd) * s) / wd};
    }
    if (dampingRatio_ == 1.0) {
        const double decay = std::exp(-omega * t);
        return {decay * (1.0 + (omega + v0) * t), decay * (v0 - (v0 + omega) * omega * t)};
    }
    // Over-damped. e^(-sigma t) cosh(wd t) and e^(-sigma t) sinh(wd t) overflow separately
    // once wd t passes about 710 (zeta around 710 and up). Written with the two decay rates
    // sigma -+ wd they are bounded by the slow decay e^(-(sigma - wd) t) <= 1:
    //   e^(-sigma t) cosh(wd t) = e^(-(sigma - wd) t) (1 + e^(-2 wd t)) / 2
    //   e^(-sigma t) sinh(wd t) = -e^(-(sigma - wd) t) expm1(-2 wd t) / 2
    // expm1 keeps the second one exact when wd t is small (zeta just above 1). With
    // sigma^2 - wd^2 = omega^2, g' loses no digits to cancellation either. Every quotient by
    // wd is taken before a product that could overflow (sigma v0, omega^2), and sigma / wd
    // comes from set-up, so an infinite wd (zeta near the largest double, or infinite) gives
    // the finite limit instead of inf / inf.
    const double wdt = t > 0.0 ? wd * t : 0.0; // at t = 0, wd may be infinite
    const double slow = std::exp(-slowDecayRate_ * t);
    const double m = std::expm1(-2.0 * wdt);
    const double coshPart = slow * (1.0 + 0.5 * m);
    const double sinhPart = -0.5 * slow * m;
    return {coshPart + (dampingToFrequency_ + v0 / wd) * sinhPart,
            v0 * coshPart - (omega * (omega / wd) + dampingToFrequency_ * v0) * sinhPart};
}

void CDampingObject::Step(double timeStepSeconds, double& value) noexcept {
    if (naturalFrequency_ == 0.0) {
        return;
    }
    // A host pause or a jump back in time moves the needle by at most a second's motion.
    double dt = timeStepSeconds;
    if (!(dt > 0.0)) {
        dt = 0.0;
    } else if (dt > 1.0) {
        dt = 1.0;
    }

    if (elapsed_ > retargetInterval_) {
        const double d = Evaluate(elapsed_).derivative;
        const double previousSpan = target_ - start_;
        start_ = output_;
        target_ = value;
        const double span = target_ - start_;
        // The needle's speed g'(S - T) carries over into the new segment.
        slope_ = span != 0.0 ? d * previousSpan / span : d;
        elapsed_ = std::fmod(elapsed_, retargetInterval_);
    }

    remaining_ = Evaluate(elapsed_).remaining;
    output_ = (1.0 - remaining_) * target_ + remaining_ * start_;
    elapsed_ += dt;
    value = output_;
}

} // namespace mirevane
