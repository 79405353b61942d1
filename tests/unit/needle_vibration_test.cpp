// The tremble on a gauge value: its set-up, its switch-off rules, the dropped sign and the
// threshold, and the cycle length tied to the distance travelled.
#include "dynamics/needle_vibration.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <ostream>
#include <string>

namespace mirevane {
namespace {

// One vibration cycle spans Period x 10/3.6 metres; a quarter of it for Period 1:
constexpr double kQuarter = 0.6944444444444444;
constexpr double kThreeQuarters = 3 * kQuarter;

CNeedleVibration Make(double amplitude, double period, double threshold) {
    CNeedleVibration vibration;
    vibration.SetAmplitude(amplitude);
    vibration.SetPeriod(period);
    vibration.SetThreshold(threshold);
    return vibration;
}

struct PeriodCase {
    double period;
    double spatialFrequency; // rad per metre
};

class VibrationPeriod : public testing::TestWithParam<PeriodCase> {};

TEST_P(VibrationPeriod, GivesTheSpatialFrequencyOfOneCyclePerPeriodAt10Kmph) {
    CNeedleVibration vibration;
    vibration.SetPeriod(GetParam().period);
    EXPECT_EQ(vibration.spatialFrequency(), GetParam().spatialFrequency) << GetParam().period;
}

INSTANTIATE_TEST_SUITE_P(Settings, VibrationPeriod,
                         testing::Values(PeriodCase{1.0, 2.261946710584651},
                                         PeriodCase{2.0, 1.1309733552923256},
                                         PeriodCase{-1.0, 2.261946710584651},
                                         PeriodCase{-2.0, 1.1309733552923256}, PeriodCase{0.0, 0.0},
                                         PeriodCase{-0.0, 0.0}));

TEST(VibrationSetUp, StoresMagnitudes) {
    const CNeedleVibration vibration = Make(-2.5, 1.0, -10.0);
    EXPECT_EQ(vibration.amplitude(), 2.5);
    EXPECT_EQ(vibration.threshold(), 10.0);
    const CNeedleVibration positive = Make(2.5, 1.0, 10.0);
    EXPECT_EQ(positive.amplitude(), 2.5);
    EXPECT_EQ(positive.threshold(), 10.0);
}

struct ApplyCase {
    const char* name;
    double amplitude;
    double period;
    double threshold;
    double value;
    double location;
    double expected;
};

std::ostream& operator<<(std::ostream& out, const ApplyCase& c) {
    return out << c.name;
}

class VibrationApply : public testing::TestWithParam<ApplyCase> {};

// Exact comparisons: at the quarter points sin is 1 or -1 to within 1e-32, so every correctly
// rounded (or faithful) sine gives exactly +-1 there, and sin 0 is 0.
TEST_P(VibrationApply, FollowsTheRules) {
    const ApplyCase& c = GetParam();
    EXPECT_EQ(Make(c.amplitude, c.period, c.threshold).Apply(c.value, c.location), c.expected);
    // Negative settings act as their magnitudes.
    EXPECT_EQ(Make(-c.amplitude, -c.period, -c.threshold).Apply(c.value, c.location), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VibrationApply,
    testing::Values(
        // Switched off: the value passes unchanged, its sign kept.
        ApplyCase{"amplitude 0", 0, 1, 0, -5, 0, -5},
        ApplyCase{"amplitude 0 quarter", 0, 1, 0, -5, kQuarter, -5},
        ApplyCase{"amplitude 0 far", 0, 1, 0, -5, 12345.678, -5},
        ApplyCase{"period 0", 2, 0, 0, -5, 0, -5},
        ApplyCase{"period 0 quarter", 2, 0, 0, -5, kQuarter, -5},
        ApplyCase{"period 0 far", 2, 0, 0, -5, 12345.678, -5},
        ApplyCase{"off with a threshold", 0, 1, 10, -12, kQuarter, -12},
        // Configured: built from the magnitude.
        ApplyCase{"sign dropped at sin 0", 2, 1, 0, -5, 0, 5},
        ApplyCase{"quarter cycle", 2, 1, 0, 5, kQuarter, 7},
        ApplyCase{"three quarters", 2, 1, 0, 5, kThreeQuarters, 3},
        ApplyCase{"negative value quarter", 2, 1, 0, -5, kQuarter, 7},
        ApplyCase{"period 2 quarter", 2, 2, 0, 5, 2 * kQuarter, 7},
        ApplyCase{"period 2 three quarters", 2, 2, 0, 5, 2 * kThreeQuarters, 3},
        // The tremble is limited by the value itself.
        ApplyCase{"small value up", 2, 1, 0, 0.5, kQuarter, 1},
        ApplyCase{"small value down", 2, 1, 0, 0.5, kThreeQuarters, 0},
        ApplyCase{"small negative value down", 2, 1, 0, -0.5, kThreeQuarters, 0},
        ApplyCase{"zero quarter", 2, 1, 0, 0, kQuarter, 0},
        ApplyCase{"zero far", 2, 1, 0, 0, 12345.678, 0},
        // The threshold test is strict.
        ApplyCase{"at the threshold", 2, 1, 10, 10, kQuarter, 12},
        ApplyCase{"negative at the threshold", 2, 1, 10, -10, kThreeQuarters, 8},
        ApplyCase{"above the threshold", 2, 1, 10, 10.0001, kQuarter, 10.0001},
        ApplyCase{"negative above the threshold", 2, 1, 10, -12, kQuarter, 12},
        ApplyCase{"below the threshold", 2, 1, 10, 5, kQuarter, 7}),
    [](const testing::TestParamInfo<ApplyCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(VibrationApply, StaysWithinTheValueAndNeverCrossesZero) {
    const CNeedleVibration vibration = Make(2, 1, 0);
    for (double value : {-5.0, -0.5, 0.0, 0.5, 1.5, 5.0}) {
        const double limit = std::fmin(2.0, std::fabs(value));
        for (int step = 0; step < 400; ++step) {
            const double location = step * 0.0173;
            const double result = vibration.Apply(value, location);
            EXPECT_GE(result, 0.0) << value << " at " << location;
            // An ulp of room: the sine itself is rounded.
            EXPECT_LE(std::fabs(result - std::fabs(value)), limit * (1 + 1e-15))
                << value << " at " << location;
        }
    }
}

// The phase follows the location, not the time: one cycle is Period x 10/3.6 metres, so the
// same place gives the same value, and a standing train shows a fixed displacement.
TEST(VibrationApply, RepeatsAfterOneCycleOfTravel) {
    for (double period : {1.0, 2.0, 0.37}) {
        const CNeedleVibration vibration = Make(3, period, 0);
        const double cycle = period * 2.7777777777777777;
        for (double location : {0.1, 1.3, 7.9, 40.25}) {
            // The phase k x is rounded at about 1e-15 of its size; 1e-12 leaves room for it.
            EXPECT_NEAR(vibration.Apply(20, location), vibration.Apply(20, location + cycle), 1e-12)
                << period << " at " << location;
            EXPECT_NEAR(vibration.Apply(20, location),
                        40 - vibration.Apply(20, location + cycle / 2), 1e-12)
                << "half a cycle later the tremble is mirrored; " << period << " at " << location;
            EXPECT_EQ(vibration.Apply(20, location), vibration.Apply(20, location));
        }
    }
}

} // namespace
} // namespace mirevane
