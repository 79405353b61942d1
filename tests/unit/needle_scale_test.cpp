// The needle scale: interpolation over the calibration points, the four adjust modes, the
// mode cycle and the adjust arithmetic of the developer actions.
#include "dynamics/needle_scale.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <locale>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace mirevane {
namespace {

class Scale : public testing::Test {
protected:
    // A scale whose table holds the rows of this file text.
    NeedleScale WithTable(const std::string& rows) {
        NeedleScale scale;
        scale.LoadTable(folder.Write("table" + std::to_string(files++) + ".csv", rows));
        return scale;
    }

    test::TempDir folder;
    int files = 0;
};

// Switches until the scale is in this mode (developer enabled).
void SwitchTo(NeedleScale& scale, AdjustMode mode) {
    for (int presses = 0; scale.mode() != mode; ++presses) {
        ASSERT_LT(presses, 4) << "the mode cycle never reaches " << static_cast<int>(mode);
        scale.SwitchAdjustMode();
    }
}

// --- Interpolation ------------------------------------------------------------------------

struct AngleCase {
    const char* rows;
    double value;
    double interpolated; // Interpolate; ToAngle in None mode adds 180
};

class ScaleInterpolation : public Scale, public testing::WithParamInterface<AngleCase> {};

TEST_P(ScaleInterpolation, GivesTheTableAnglePlus180) {
    const AngleCase& c = GetParam();
    NeedleScale scale = WithTable(c.rows);
    EXPECT_EQ(scale.Interpolate(c.value), c.interpolated) << c.rows << " at " << c.value;
    EXPECT_EQ(scale.ToAngle(c.value), c.interpolated + 180) << c.rows << " at " << c.value;
}

// Every expected value is exact: it is what the stated form
//   (a_lo - a_hi) * (x - k_hi) / (k_lo - k_hi) + a_hi
// gives in doubles, written as that expression where it is not a round number.
INSTANTIATE_TEST_SUITE_P(
    Points, ScaleInterpolation,
    testing::Values(
        AngleCase{"0,0\n100,270\n", 50, 135}, AngleCase{"0,0\n100,270\n", -10, -27},
        AngleCase{"0,0\n100,270\n", 120, 324}, AngleCase{"0,0\n100,270\n", 0, 0},
        AngleCase{"0,0\n100,270\n", 100, 270}, AngleCase{"0,0\n50,100\n100,150\n", 50, 100},
        AngleCase{"0,0\n50,100\n100,150\n", 75, 125}, AngleCase{"0,0\n50,100\n100,150\n", 150, 200},
        AngleCase{"0,0\n50,100\n100,150\n", 25, 50}, AngleCase{"0,0\n50,100\n100,150\n", -50, -100},
        // Falling dial, unevenly spaced keys, rows in any order.
        AngleCase{"10,200\n0,270\n40,20\n", 5, 235}, AngleCase{"10,200\n0,270\n40,20\n", 25, 110},
        AngleCase{"10,200\n0,270\n40,20\n", 70, -160},
        AngleCase{"10,200\n0,270\n40,20\n", -10, 340},
        // One point or none: 0.
        AngleCase{"", 50, 0}, AngleCase{"50,90\n", 50, 0}, AngleCase{"50,90\n", -3, 0},
        // This form gives 0.10999999999999999 here; a_lo + (x - k_lo)(a_hi - a_lo)/(k_hi - k_lo)
        // would give 0.11.
        AngleCase{"0,0\n0.1,1.1\n1,2\n", 0.01, (0.0 - 1.1) * (0.01 - 0.1) / (0.0 - 0.1) + 1.1},
        // An inner key is the lower end of the segment above it: 0.099999999999999978, where
        // the segment below would give exactly 0.1.
        AngleCase{"0,0\n10,0.1\n20,0.4\n", 10, (0.1 - 0.4) * (10.0 - 20.0) / (10.0 - 20.0) + 0.4},
        // Below the first key: the first segment, in the same form.
        AngleCase{"0,0\n0.1,1.1\n1,2\n", -0.09, (0.0 - 1.1) * (-0.09 - 0.1) / (0.0 - 0.1) + 1.1},
        // Beyond the last key: the last segment, in the same form.
        AngleCase{"0,0\n0.1,1.1\n0.3,1.7\n", 0.31,
                  (1.1 - 1.7) * (0.31 - 0.3) / (0.1 - 0.3) + 1.7}));

TEST_F(Scale, NaNStaysNaN) {
    NeedleScale scale = WithTable("0,0\n100,270\n");
    EXPECT_TRUE(std::isnan(scale.ToAngle(std::numeric_limits<double>::quiet_NaN())));
}

// An independent lookup over an ordered map, as the calibration table is defined: hi is the
// first key above x, kept inside the table at both ends.
double MapInterpolate(const std::map<double, double>& table, double x) {
    if (table.size() < 2) {
        return 0;
    }
    auto hi = table.upper_bound(x);
    if (hi == table.begin()) {
        ++hi;
    } else if (hi == table.end()) {
        --hi;
    }
    const auto lo = std::prev(hi);
    return (lo->second - hi->second) * (x - hi->first) / (lo->first - hi->first) + hi->second;
}

std::string Number(double x) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(17); // round-trips every double
    out << x;
    return out.str();
}

TEST_F(Scale, BehavesAsAnOrderedMapOfItsRows) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> key(-40, 40);
    std::uniform_real_distribution<double> angle(-360, 360);
    for (int trial = 0; trial < 40; ++trial) {
        std::map<double, double> expected;
        std::string rows;
        const int count = 1 + trial % 25;
        for (int row = 0; row < count; ++row) {
            // Coarse keys so that equal keys recur; a later row replaces an earlier one.
            const double k = key(random) * 0.25;
            const double a = angle(random);
            expected[k] = a;
            rows += Number(k) + "," + Number(a) + "\n";
        }
        NeedleScale scale = WithTable(rows);
        const std::vector<std::pair<double, double>> table(expected.begin(), expected.end());
        ASSERT_EQ(scale.table(), table) << rows;
        // Up, down, and jumping about among keys, between them, beyond both ends, infinities
        // and NaN: where the previous value fell must never change where this one falls.
        std::vector<double> xs;
        for (double x = -12; x <= 12; x += 0.125) {
            xs.push_back(x);
        }
        for (double x = 12; x >= -12; x -= 0.375) {
            xs.push_back(x);
        }
        std::uniform_int_distribution<int> pick(-60, 60);
        for (int i = 0; i < 200; ++i) {
            xs.push_back(i % 17 == 0   ? std::numeric_limits<double>::infinity() * (i % 2 ? 1 : -1)
                         : i % 23 == 0 ? std::numeric_limits<double>::quiet_NaN()
                                       : pick(random) * 0.125);
        }
        for (const double x : xs) {
            const double got = scale.Interpolate(x);
            const double want = MapInterpolate(expected, x);
            EXPECT_TRUE(got == want || (std::isnan(got) && std::isnan(want)))
                << rows << " at " << x << ": " << got << ", expected " << want;
        }
    }
}

TEST_F(Scale, MinusZeroAndZeroAreOneKeyThatKeepsItsFirstSpelling) {
    NeedleScale scale = WithTable("-0,10\n5,20\n0,30\n");
    ASSERT_EQ(scale.table().size(), 2u);
    EXPECT_EQ(scale.table()[0].second, 30);
    EXPECT_TRUE(std::signbit(scale.table()[0].first)) << "a map keeps the key first inserted";
}

TEST_F(Scale, ASecondTableMergesIntoTheFirst) {
    NeedleScale scale = WithTable("0,0\n50,100\n");
    scale.LoadTable(folder.Write("more.csv", "50,120\n100,270\n"));
    const std::vector<std::pair<double, double>> expected{{0, 0}, {50, 120}, {100, 270}};
    EXPECT_EQ(scale.table(), expected);
    scale.LoadTable(folder / "missing.csv");
    EXPECT_EQ(scale.table(), expected) << "a file that cannot be opened changes nothing";
    scale.LoadTable(folder.Write("notes.csv", "value,angle\n"));
    EXPECT_EQ(scale.table(), expected) << "nor does one without a valid row";
    // Rows all below the loaded ones; -0 meets the loaded 0, which keeps its spelling.
    scale.LoadTable(folder.Write("low.csv", "-10,-27\n-0,5\n"));
    const std::vector<std::pair<double, double>> merged{{-10, -27}, {0, 5}, {50, 120}, {100, 270}};
    EXPECT_EQ(scale.table(), merged);
    EXPECT_FALSE(std::signbit(scale.table()[1].first));
}

// --- Modes ----------------------------------------------------------------------------------

TEST_F(Scale, StartsInNoneWithEverythingAtZero) {
    const NeedleScale scale;
    EXPECT_EQ(scale.mode(), AdjustMode::None);
    EXPECT_FALSE(scale.developerEnabled());
    EXPECT_EQ(scale.fixedValue(), 0.0);
    EXPECT_EQ(scale.fixedAngle(), 0.0);
    EXPECT_TRUE(scale.table().empty());
}

TEST_F(Scale, ValueModeShowsTheFixedValueThroughTheTable) {
    NeedleScale scale = WithTable("0,0\n100,270\n");
    scale.SetDeveloperEnabled(1);
    scale.SetValueStep(20);
    SwitchTo(scale, AdjustMode::Value);
    scale.AdjustIncrementMedium();
    ASSERT_EQ(scale.fixedValue(), 20);
    for (double input : {0.0, 50.0, -1e9, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(scale.ToAngle(input), 234) << input;
    }
}

TEST_F(Scale, AngleModeShowsTheFixedAngleWithoutTheTable) {
    for (const char* rows : {"0,0\n100,270\n", ""}) {
        NeedleScale scale = WithTable(rows);
        scale.SetDeveloperEnabled(1);
        scale.SetAngleStep(15);
        SwitchTo(scale, AdjustMode::Angle);
        scale.AdjustDecrementMedium();
        for (double input : {0.0, 50.0, std::numeric_limits<double>::quiet_NaN()}) {
            EXPECT_EQ(scale.ToAngle(input), 165) << rows << input;
        }
    }
}

TEST_F(Scale, RotateModeTurnsOneStepPerCallAndRestartsAfterLeaving) {
    NeedleScale scale = WithTable("0,0\n100,270\n");
    scale.SetDeveloperEnabled(1);
    scale.SetRotateStep(1);
    SwitchTo(scale, AdjustMode::Rotate);
    EXPECT_EQ(scale.ToAngle(50), 181);
    EXPECT_EQ(scale.ToAngle(50), 182);
    EXPECT_EQ(scale.ToAngle(-7), 183);
    scale.ResetAdjustValue(); // acts on the fixed value or angle only
    EXPECT_EQ(scale.ToAngle(0), 184);

    scale.SwitchAdjustMode(); // back to None: the live value again
    ASSERT_EQ(scale.mode(), AdjustMode::None);
    EXPECT_EQ(scale.ToAngle(50), 315);
    SwitchTo(scale, AdjustMode::Rotate);
    EXPECT_EQ(scale.ToAngle(50), 181) << "leaving Rotate sets the accumulator to 0";
}

TEST_F(Scale, RotateModeHasNoBoundAndNoWrap) {
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    scale.SetRotateStep(90);
    SwitchTo(scale, AdjustMode::Rotate);
    double angle = 0;
    for (int frame = 0; frame < 10; ++frame) {
        angle = scale.ToAngle(0);
    }
    EXPECT_EQ(angle, 900 + 180);
}

TEST_F(Scale, ANegativeRotateStepTurnsBackwards) {
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    scale.SetRotateStep(-2);
    EXPECT_EQ(scale.rotateStep(), -2);
    SwitchTo(scale, AdjustMode::Rotate);
    EXPECT_EQ(scale.ToAngle(0), 178);
    EXPECT_EQ(scale.ToAngle(0), 176);
}

TEST_F(Scale, StepsAreStoredAsMagnitudesAndReplacedByLaterCalls) {
    NeedleScale scale;
    scale.SetValueStep(-5);
    scale.SetAngleStep(-2);
    EXPECT_EQ(scale.valueStep(), 5);
    EXPECT_EQ(scale.angleStep(), 2);
    scale.SetValueStep(0.5);
    scale.SetAngleStep(3);
    scale.SetRotateStep(4);
    EXPECT_EQ(scale.valueStep(), 0.5);
    EXPECT_EQ(scale.angleStep(), 3);
    EXPECT_EQ(scale.rotateStep(), 4);
}

TEST_F(Scale, TheModeCyclesNoneAngleValueRotateNone) {
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    const AdjustMode expected[] = {AdjustMode::Angle, AdjustMode::Value, AdjustMode::Rotate,
                                   AdjustMode::None, AdjustMode::Angle};
    for (AdjustMode mode : expected) {
        scale.SwitchAdjustMode();
        EXPECT_EQ(scale.mode(), mode);
    }
}

TEST_F(Scale, TheModeSwitchesOnlyWithDeveloperEnabled) {
    struct Case {
        int32_t enabled;
        bool switches;
    };
    for (const Case c : {Case{0, false}, Case{1, true}, Case{2, true}, Case{-1, true}}) {
        NeedleScale scale;
        scale.SetDeveloperEnabled(c.enabled);
        EXPECT_EQ(scale.developerEnabled(), c.switches) << c.enabled;
        scale.SwitchAdjustMode();
        EXPECT_EQ(scale.mode(), c.switches ? AdjustMode::Angle : AdjustMode::None) << c.enabled;
    }
    // Switched off later, the scale stays in the mode it reached.
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    scale.SwitchAdjustMode();
    scale.SetDeveloperEnabled(0);
    scale.SwitchAdjustMode();
    EXPECT_EQ(scale.mode(), AdjustMode::Angle);
}

TEST_F(Scale, FixedValueAndAngleSurviveAFullCycle) {
    NeedleScale scale = WithTable("0,0\n100,270\n");
    scale.SetDeveloperEnabled(1);
    scale.SetAngleStep(12.5);
    scale.SetValueStep(10);
    SwitchTo(scale, AdjustMode::Angle);
    scale.AdjustIncrementMedium();
    SwitchTo(scale, AdjustMode::Value);
    scale.AdjustIncrementMedium();
    for (int press = 0; press < 4; ++press) {
        scale.SwitchAdjustMode();
        EXPECT_EQ(scale.fixedAngle(), 12.5);
        EXPECT_EQ(scale.fixedValue(), 10);
    }
    EXPECT_EQ(scale.ToAngle(0), 207) << "back in Value mode";
    SwitchTo(scale, AdjustMode::Angle);
    EXPECT_EQ(scale.ToAngle(0), 192.5);
}

// --- Adjust arithmetic ------------------------------------------------------------------------

enum class Op {
    IncrementSmall,
    DecrementSmall,
    IncrementMedium,
    DecrementMedium,
    IncrementLarge,
    DecrementLarge,
    Reset
};

void Apply(NeedleScale& scale, Op op) {
    switch (op) {
    case Op::IncrementSmall:
        scale.AdjustIncrementSmall();
        break;
    case Op::DecrementSmall:
        scale.AdjustDecrementSmall();
        break;
    case Op::IncrementMedium:
        scale.AdjustIncrementMedium();
        break;
    case Op::DecrementMedium:
        scale.AdjustDecrementMedium();
        break;
    case Op::IncrementLarge:
        scale.AdjustIncrementLarge();
        break;
    case Op::DecrementLarge:
        scale.AdjustDecrementLarge();
        break;
    case Op::Reset:
        scale.ResetAdjustValue();
        break;
    }
}

// Different steps for value and angle catch one used for the other. With them the two ways of
// forming a small step differ: 3 / 10 is 0.3 but 3 * 0.1 is 0.30000000000000004, and
// 7 * 0.1 is 0.7000000000000001 but 7 / 10 is 0.7.
constexpr double kValueStep = 3;
constexpr double kAngleStep = 7;
// Where each stands before the action: one small step up, taken in its own mode.
constexpr double kValueStart = 0 + kValueStep / 10;
constexpr double kAngleStart = 0 + kAngleStep * 0.1;

struct AdjustCase {
    Op op;
    AdjustMode mode;
    double value; // fixed value afterwards
    double angle; // fixed angle afterwards
};

class ScaleAdjust : public testing::TestWithParam<AdjustCase> {};

TEST_P(ScaleAdjust, ChangesOnlyTheFixedQuantityOfItsMode) {
    const AdjustCase& c = GetParam();
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    scale.SetValueStep(kValueStep);
    scale.SetAngleStep(kAngleStep);
    SwitchTo(scale, AdjustMode::Angle);
    scale.AdjustIncrementSmall();
    SwitchTo(scale, AdjustMode::Value);
    scale.AdjustIncrementSmall();
    ASSERT_EQ(scale.fixedValue(), kValueStart);
    ASSERT_EQ(scale.fixedAngle(), kAngleStart);
    SwitchTo(scale, c.mode);

    Apply(scale, c.op);
    EXPECT_EQ(scale.fixedValue(), c.value) << static_cast<int>(c.op);
    EXPECT_EQ(scale.fixedAngle(), c.angle) << static_cast<int>(c.op);
    EXPECT_EQ(scale.mode(), c.mode);
}

std::vector<AdjustCase> AdjustCases() {
    const double v = kValueStart;
    const double a = kAngleStart;
    std::vector<AdjustCase> cases{
        {Op::IncrementSmall, AdjustMode::Value, v + kValueStep / 10, a},
        {Op::DecrementSmall, AdjustMode::Value, v - kValueStep / 10, a},
        {Op::IncrementMedium, AdjustMode::Value, v + kValueStep, a},
        {Op::DecrementMedium, AdjustMode::Value, v - kValueStep, a},
        {Op::IncrementLarge, AdjustMode::Value, v + kValueStep * 10, a},
        {Op::DecrementLarge, AdjustMode::Value, v - kValueStep * 10, a},
        {Op::Reset, AdjustMode::Value, 0, a},
        {Op::IncrementSmall, AdjustMode::Angle, v, a + kAngleStep * 0.1},
        {Op::DecrementSmall, AdjustMode::Angle, v, a - kAngleStep * 0.1},
        {Op::IncrementMedium, AdjustMode::Angle, v, a + kAngleStep},
        {Op::DecrementMedium, AdjustMode::Angle, v, a - kAngleStep},
        {Op::IncrementLarge, AdjustMode::Angle, v, a + kAngleStep * 10},
        {Op::DecrementLarge, AdjustMode::Angle, v, a - kAngleStep * 10},
        {Op::Reset, AdjustMode::Angle, v, 0},
    };
    for (AdjustMode idle : {AdjustMode::None, AdjustMode::Rotate}) {
        for (Op op : {Op::IncrementSmall, Op::DecrementSmall, Op::IncrementMedium,
                      Op::DecrementMedium, Op::IncrementLarge, Op::DecrementLarge, Op::Reset}) {
            cases.push_back({op, idle, v, a});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndAction, ScaleAdjust, testing::ValuesIn(AdjustCases()));

TEST(ScaleAdjustSums, ThreeSmallAngleStepsOf1Make0Point30000000000000004) {
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    scale.SetAngleStep(1);
    scale.SwitchAdjustMode();
    for (int press = 0; press < 3; ++press) {
        scale.AdjustIncrementSmall();
    }
    EXPECT_EQ(scale.fixedAngle(), 0.30000000000000004);
    EXPECT_EQ(scale.ToAngle(0), 180.3);
}

TEST(ScaleAdjustSums, AdjustingNeedsNoDeveloperSwitchOnceInAMode) {
    // Only the mode switch looks at the developer switch.
    NeedleScale scale;
    scale.SetDeveloperEnabled(1);
    scale.SetAngleStep(1);
    scale.SwitchAdjustMode();
    scale.SetDeveloperEnabled(0);
    scale.AdjustIncrementLarge();
    EXPECT_EQ(scale.fixedAngle(), 10);
}

} // namespace
} // namespace mirevane
