// The damping object against published output sequences and against a numerical integration
// of the equation it claims to solve.
#include "dynamics/damping_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace mirevane {
namespace {

// The published sequences are rounded to 7 decimals.
constexpr double kSevenDigits = 0.5e-7;

struct Sequence {
    double dampingRatio;
    std::vector<double> outputs; // omega 4, dt 0.125 s, input 1 on every call
};

class PublishedSequence : public ::testing::TestWithParam<Sequence> {};

TEST_P(PublishedSequence, MatchesEveryCall) {
    const Sequence& s = GetParam();
    CDampingObject damping;
    damping.SetParameters(4.0, s.dampingRatio);
    for (std::size_t call = 0; call < s.outputs.size(); ++call) {
        double value = 1.0;
        damping.Step(0.125, value);
        EXPECT_NEAR(value, s.outputs[call], kSevenDigits) << "call " << call + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    DampingObject, PublishedSequence,
    ::testing::Values(
        Sequence{1.0, {0, 0, 0, 0.0902040, 0.2642411}},
        Sequence{0.5, {0, 0, 0, 0.1044055, 0.3402998, 0.6074425, 0.8451134, 0.9651330}},
        Sequence{0.0, {0, 0, 0, 0.1224174, 0.4596977, 1.0040647, 1.5474365, 1.7726348}},
        // Over-damped, evaluated in the overflow-free form: the same numbers.
        Sequence{2.0, {0, 0, 0, 0.0697052, 0.1777366, 0.2749653, 0.3649670, 0.4401446}}));

TEST(DampingObject, InputIsSampledOnlyWhenElapsedExceedsTheInterval) {
    CDampingObject damping;
    damping.SetParameters(4.0, 1.0); // interval 0.25 s
    // Call 3 enters with elapsed 0.25, not above the interval: its input must not be taken.
    const double inputs[] = {0.0, 0.0, 0.0, 1.0, 100.0};
    const double outputs[] = {0.0, 0.0, 0.0, 0.0902040, 0.2642411};
    for (int call = 0; call < 5; ++call) {
        double value = inputs[call];
        damping.Step(0.125, value);
        EXPECT_NEAR(value, outputs[call], kSevenDigits) << "call " << call + 1;
    }
}

// Runs the same inputs through two objects whose time steps differ only where the first
// one's must be clamped, and expects the same outputs bit for bit.
void ExpectSameMotion(const std::vector<double>& steps, const std::vector<double>& clampedSteps) {
    // omega 3.7: 1/omega does not divide 1 or 7, so an unclamped step would show.
    CDampingObject raw;
    CDampingObject clamped;
    raw.SetParameters(3.7, 0.5);
    clamped.SetParameters(3.7, 0.5);
    for (std::size_t call = 0; call < steps.size(); ++call) {
        double a = 1.0;
        double b = 1.0;
        raw.Step(steps[call], a);
        clamped.Step(clampedSteps[call], b);
        EXPECT_EQ(a, b) << "call " << call + 1;
    }
}

TEST(DampingObject, NegativeTimeStepCountsAsZero) {
    ExpectSameMotion({0.2, -0.5, 0.1, 0.1, 0.1, 0.1}, {0.2, 0.0, 0.1, 0.1, 0.1, 0.1});
}

TEST(DampingObject, TimeStepAboveOneSecondCountsAsOne) {
    ExpectSameMotion({0.1, 7.0, 0.1, 0.1, 0.1}, {0.1, 1.0, 0.1, 0.1, 0.1});
}

TEST(DampingObject, ZeroOrNegativeNaturalFrequencyPassesTheValueThrough) {
    for (double omega : {0.0, -3.0}) {
        CDampingObject damping;
        damping.SetParameters(omega, 0.5);
        EXPECT_EQ(damping.naturalFrequency(), 0.0);
        for (int call = 0; call < 10; ++call) {
            double value = 1.5;
            damping.Step(0.5, value);
            EXPECT_EQ(value, 1.5);
        }
        EXPECT_EQ(damping.output(), 0.0);
    }
}

// --- Independent check: the closed forms against y'' + 2 zeta omega y' + omega^2 (y - T) = 0
// integrated with classical Runge-Kutta.

struct Motion {
    double y;
    double speed;
};

Motion Integrate(Motion m, double target, double omega, double zeta, double seconds) {
    // 1/4096 s steps: the global error is of order (omega h)^4 ~ 1e-12 for omega 4.
    constexpr int kStepsPerSecond = 4096;
    const int steps = static_cast<int>(std::lround(seconds * kStepsPerSecond));
    const double h = 1.0 / kStepsPerSecond;
    auto accel = [&](double y, double v) {
        return -2.0 * zeta * omega * v - omega * omega * (y - target);
    };
    for (int i = 0; i < steps; ++i) {
        const double k1y = m.speed;
        const double k1v = accel(m.y, m.speed);
        const double k2y = m.speed + 0.5 * h * k1v;
        const double k2v = accel(m.y + 0.5 * h * k1y, k2y);
        const double k3y = m.speed + 0.5 * h * k2v;
        const double k3v = accel(m.y + 0.5 * h * k2y, k3y);
        const double k4y = m.speed + h * k3v;
        const double k4v = accel(m.y + h * k3y, k4y);
        m.y += h / 6.0 * (k1y + 2.0 * k2y + 2.0 * k3y + k4y);
        m.speed += h / 6.0 * (k1v + 2.0 * k2v + 2.0 * k3v + k4v);
    }
    return m;
}

// With omega 4 (interval 1/4 s) and dt 1/64 s every call: calls 1..17 hold at 0, call 18
// re-samples and starts segment 0 (start 0, speed 0), whose outputs on calls 18..33 lie
// 1/64..16/64 s into it; call 34 re-samples again and starts segment 1 likewise, and so on.
// All these times are exact in binary.
constexpr double kOmega = 4.0;
constexpr double kDt = 1.0 / 64.0;
constexpr int kFirstResampling = 18;
constexpr int kCallsPerSegment = 16;
constexpr double kFirstTarget = 1.0;
// RK4 error (above) plus rounding of the closed forms.
constexpr double kIntegrationTolerance = 1e-9;

class ClosedForm : public ::testing::TestWithParam<double> {};

TEST_P(ClosedForm, FollowsTheIntegratedEquationWithTheSpeedCarriedOver) {
    const double zeta = GetParam();
    // Segment 0 starts at rest (slope 0); segment 1 carries a speed over (slope terms);
    // segment 2 also needs g' of a segment with a slope to get its speed.
    const double targets[] = {kFirstTarget, -0.5, 0.25};
    constexpr int kSegments = 3;
    CDampingObject damping;
    damping.SetParameters(kOmega, zeta);
    std::vector<double> out;
    for (int call = 1; call < kFirstResampling + kSegments * kCallsPerSegment; ++call) {
        const int segment = std::max(0, (call - kFirstResampling) / kCallsPerSegment);
        double value = targets[segment];
        damping.Step(kDt, value);
        out.push_back(value);
    }
    for (int call = 1; call < kFirstResampling; ++call) {
        EXPECT_EQ(out[call - 1], 0.0) << "call " << call;
    }

    Motion motion{0.0, 0.0};
    for (int segment = 0; segment < kSegments; ++segment) {
        const int first = kFirstResampling + segment * kCallsPerSegment;
        // Each segment starts from the previous call's output with the speed the previous
        // segment had when this call re-sampled (one more dt into it): the needle's speed
        // is continuous across a re-sampling.
        motion.y = out[first - 2];
        for (int k = 1; k <= kCallsPerSegment; ++k) {
            motion = Integrate(motion, targets[segment], kOmega, zeta, kDt);
            EXPECT_NEAR(out[first + k - 2], motion.y, kIntegrationTolerance)
                << "segment " << segment << ", k " << k;
        }
        motion = Integrate(motion, targets[segment], kOmega, zeta, kDt);
    }
}

INSTANTIATE_TEST_SUITE_P(DampingObject, ClosedForm, ::testing::Values(0.0, 0.5, 1.0, 2.0));

// Segment 0's speed when the second re-sampling happens, one dt after its last output.
double SpeedAtSecondResampling(double zeta) {
    return Integrate({0.0, 0.0}, kFirstTarget, kOmega, zeta, (kCallsPerSegment + 1) * kDt).speed;
}
constexpr int kSecondResampling = kFirstResampling + kCallsPerSegment;

TEST(DampingObject, ResamplingOntoTheOutputKeepsTheSlopeUnscaled) {
    for (double zeta : {0.0, 0.5, 1.0, 2.0}) {
        CDampingObject damping;
        damping.SetParameters(kOmega, zeta);
        double held = 0.0;
        for (int call = 1; call < kSecondResampling; ++call) {
            held = kFirstTarget;
            damping.Step(kDt, held);
        }
        // The new target equals the output: no span to scale by. The slope is g' of the old
        // segment, i.e. its speed divided by (S - T) = -1.
        double value = held;
        damping.Step(kDt, value);
        EXPECT_NEAR(damping.slope(), -SpeedAtSecondResampling(zeta), kIntegrationTolerance)
            << "zeta " << zeta;
        // Start and target coincide, so the needle rests there whatever the slope. The
        // output mixes the two equal values with weights 1 - g and g: rounding only.
        for (int call = 0; call < 20; ++call) {
            EXPECT_DOUBLE_EQ(value, held) << "zeta " << zeta;
            value = held;
            damping.Step(kDt, value);
        }
    }
}

// --- Mended set-ups.

TEST(DampingObject, NegativeDampingRatioMovesAsAnUndampedNeedle) {
    CDampingObject negative;
    CDampingObject undamped;
    negative.SetParameters(4.0, -0.5);
    undamped.SetParameters(4.0, 0.0);
    EXPECT_EQ(negative.dampingRatio(), 0.0);
    EXPECT_EQ(negative.naturalFrequency(), 4.0);
    for (int call = 0; call < 40; ++call) {
        double a = 1.0;
        double b = 1.0;
        negative.Step(0.125, a);
        undamped.Step(0.125, b);
        EXPECT_EQ(a, b) << "call " << call + 1;
    }
}

TEST(DampingObject, HugeDampingRatiosCreepFinitelyTowardsTheTarget) {
    for (double zeta : {1e3, 1e6}) {
        CDampingObject damping;
        damping.SetParameters(4.0, zeta);
        double previous = 0.0;
        for (int call = 1; call <= 200; ++call) {
            double value = 1.0;
            damping.Step(0.125, value);
            ASSERT_TRUE(std::isfinite(value)) << "zeta " << zeta << ", call " << call;
            EXPECT_GE(value, previous) << "zeta " << zeta << ", call " << call;
            EXPECT_LT(value, 1.0) << "zeta " << zeta << ", call " << call;
            if (call == 4) {
                // First output of the motion, t = 1/8 s in, from rest: 1 - g is
                // 1 - e^(-lambda t) - 1/(4 zeta^2) to leading orders, lambda = omega/(2 zeta)
                // the slow rate, so ~ lambda t with relative error lambda t / 2 +
                // 1 / (4 zeta^2 lambda t) (doubled as margin). At zeta 1e6 that is 2e-6,
                // while forming sigma - omega_d by subtraction would be off by 4e-4.
                const double lambdaT = 4.0 * 0.125 / (2.0 * zeta);
                const double relative = 2.0 * (lambdaT / 2.0 + 1.0 / (4.0 * zeta * zeta * lambdaT));
                EXPECT_NEAR(value, lambdaT, lambdaT * relative) << "zeta " << zeta;
            }
            previous = value;
        }
        EXPECT_GT(previous, 0.0) << "zeta " << zeta;
    }
}

// Past about 1e154 the ratio's square, and past about 1e308 omega times the ratio, no longer
// fit a double; the needle must still stay finite and between its start and its target.
TEST(DampingObject, OverflowingDampingRatiosStayFiniteAndNeverPassTheTarget) {
    for (const double omega : {0.5, 4.0, 1e3}) {
        for (const double zeta : {1e154, 1e300, 1e308, 1.7976931348623157e308, HUGE_VAL}) {
            CDampingObject damping;
            damping.SetParameters(omega, zeta);
            double previous = 0.0;
            for (int call = 1; call <= 200; ++call) {
                double value = call < 100 ? 1.0 : -1.0;
                damping.Step(0.125, value);
                if (!std::isfinite(value)) {
                    ADD_FAILURE() << "omega " << omega << ", zeta " << zeta << ", call " << call
                                  << ": " << value;
                    break;
                }
                EXPECT_GE(value, call < 100 ? previous : -1.0)
                    << "omega " << omega << ", zeta " << zeta << ", call " << call;
                EXPECT_LE(value, call < 100 ? 1.0 : previous)
                    << "omega " << omega << ", zeta " << zeta << ", call " << call;
                EXPECT_TRUE(std::isfinite(damping.slope()));
                previous = value;
            }
        }
    }
}

} // namespace
} // namespace mirevane
