// The developer keys through the gauge set as Load configures it from a profile: presses
// between frames, the needle read from its panel entry, copies read back from the clipboard.
#include "gauges/c_mirevane.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

namespace mirevane {
namespace {

// Host key numbers of the default bindings.
constexpr int32_t kS = 0;
constexpr int32_t kA1 = 1;
constexpr int32_t kA2 = 2;
constexpr int32_t kB1 = 3;
constexpr int32_t kB2 = 4;
constexpr int32_t kC1 = 5;
constexpr int32_t kC2 = 6;
constexpr int32_t kD = 7;
constexpr int32_t kL = 15;

// Every frame the train runs at 50 km/h, which the table (0, 0)-(100, 270) shows at 135
// degrees: a needle entry of 315000 means the live value, away from every override below.
constexpr float kLiveSpeed = 50.0f;
constexpr int32_t kLiveNeedle = 315000;

const char* const kEnabled = "[DeveloperMode]\nEnabled = 1\n";
const char* const kSentinel = "left by another program";

class DeveloperKeys : public testing::Test {
protected:
    // Gauge 0 from a main profile beside a pretend library: a plain needle on panel entry 0
    // showing kmph, plus the given sections.
    void Load(const std::string& sections, int32_t needle = 0) {
        folder_.Write("Mirevane.ini",
                      "[PanelIndex]\nNeedle = " + std::to_string(needle) + "\n" + sections);
        folder_.Write("Mirevane.csv", "0,0\n100,270\n");
        gauges_.Load(folder_ / "Mirevane.dll");
    }

    void Press(std::initializer_list<int32_t> keys) {
        for (int32_t key : keys) {
            gauges_.KeyDown(key);
        }
    }

    // One frame; the needle entry of the given panel index.
    int32_t Frame(int index = 0) {
        panel_.fill(-1);
        AtsVehicleState state{};
        state.speed = kLiveSpeed;
        gauges_.Elapse(state, panel_.data(), sound_.data());
        return panel_[index];
    }

    const NeedleScale& Scale(int gauge = 0) const { return gauges_.scales().at(gauge); }

    test::TempDir folder_;
    CMirevane gauges_;
    std::array<int32_t, 256> panel_{};
    std::array<int32_t, 256> sound_{};
};

TEST_F(DeveloperKeys, AngleModeStepsTheFixedAngleFromZero) {
    Load(kEnabled);
    ASSERT_EQ(gauges_.gaugeCount(), 1);
    EXPECT_EQ(Frame(), kLiveNeedle);
    Press({kD});
    EXPECT_EQ(Scale().mode(), AdjustMode::Angle);
    EXPECT_EQ(Frame(), 180000);
    Press({kA1});
    EXPECT_EQ(Frame(), 180100);
    Press({kC1});
    EXPECT_EQ(Frame(), 190100);
    Press({kB2});
    EXPECT_EQ(Frame(), 189100);
    Press({kL});
    EXPECT_EQ(Scale().fixedAngle(), 0.0);
    EXPECT_EQ(Frame(), 180000);
}

TEST_F(DeveloperKeys, ThreeSmallStepsAddUpInDoubles) {
    Load(kEnabled);
    Press({kD, kA1, kA1, kA1});
    EXPECT_EQ(Scale().fixedAngle(), 0.30000000000000004);
    EXPECT_EQ(Frame(), 180300);
}

TEST_F(DeveloperKeys, ValueModeDrivesTheNeedleThroughTheTable) {
    Load(kEnabled);
    platform::CopyTextToClipboard(kSentinel);
    Press({kD, kD});
    EXPECT_EQ(Scale().mode(), AdjustMode::Value);
    EXPECT_EQ(Frame(), 180000);
    Press({kB1});
    EXPECT_EQ(Scale().fixedValue(), 10.0);
    EXPECT_EQ(Frame(), 207000);
    Press({kS});
    EXPECT_EQ(platform::ClipboardText(), kSentinel);
}

TEST_F(DeveloperKeys, RotateModeTurnsEveryFrameAndRestartsFromZero) {
    Load(kEnabled);
    Press({kD, kD, kD});
    EXPECT_EQ(Scale().mode(), AdjustMode::Rotate);
    EXPECT_EQ(Frame(), 181000);
    EXPECT_EQ(Frame(), 182000);
    EXPECT_EQ(Frame(), 183000);
    Press({kL});
    EXPECT_EQ(Frame(), 184000);
    Press({kD});
    EXPECT_EQ(Scale().mode(), AdjustMode::None);
    EXPECT_EQ(Frame(), kLiveNeedle);
    Press({kD, kD, kD});
    EXPECT_EQ(Frame(), 181000);
}

TEST_F(DeveloperKeys, FixedAngleSurvivesAFullCycleOfModes) {
    Load(std::string(kEnabled) + "[StepValue]\nAngle = 12.5\n");
    Press({kD, kB1});
    EXPECT_EQ(Frame(), 192500);
    Press({kD});
    EXPECT_EQ(Frame(), 180000); // Value mode, fixed value 0
    Press({kD});
    EXPECT_EQ(Frame(), 181000); // Rotate mode
    Press({kD});
    EXPECT_EQ(Frame(), kLiveNeedle);
    Press({kD});
    EXPECT_EQ(Scale().mode(), AdjustMode::Angle);
    EXPECT_EQ(Scale().fixedAngle(), 12.5);
    EXPECT_EQ(Frame(), 192500);
}

TEST_F(DeveloperKeys, NegativeAngleStepCountsByItsSize) {
    Load(std::string(kEnabled) + "[StepValue]\nAngle = -2\n");
    Press({kD, kB1});
    EXPECT_EQ(Scale().fixedAngle(), 2.0);
    EXPECT_EQ(Frame(), 182000);
    Press({kB2, kA1});
    EXPECT_EQ(Frame(), 180200);
}

TEST_F(DeveloperKeys, NegativeRotateStepTurnsBackwards) {
    Load(std::string(kEnabled) + "[StepValue]\nRotate = -1\n");
    Press({kD, kD, kD});
    EXPECT_EQ(Frame(), 179000);
    EXPECT_EQ(Frame(), 178000);
}

TEST_F(DeveloperKeys, KeysWithoutABindingChangeNothing) {
    Load(kEnabled);
    Press({kD, kB1});
    for (int32_t key = 8; key <= 14; ++key) {
        Press({key});
        EXPECT_EQ(Frame(), 181000) << "key " << key;
    }
    EXPECT_EQ(Scale().mode(), AdjustMode::Angle);
}

// A name that binds no key holds -1: no key number, however odd, may reach its action.
TEST_F(DeveloperKeys, UnboundActionsStayUnreachableForNegativeKeyNumbers) {
    Load(std::string(kEnabled) + "[KeyIndex]\nSwitchAdjustMode = none\n");
    for (const int32_t key : {-1, -2, -16, INT32_MIN}) {
        Press({key});
        EXPECT_EQ(Scale().mode(), AdjustMode::None) << "key " << key;
        EXPECT_EQ(Frame(), kLiveNeedle) << "key " << key;
    }
}

TEST_F(DeveloperKeys, CopyInAngleModePutsTheFixedAngleOnTheClipboard) {
    Load(kEnabled);
    Press({kD, kA1, kA1, kA1});
    platform::CopyTextToClipboard(kSentinel);
    Press({kS});
    EXPECT_EQ(platform::ClipboardText(), "0.3");
    Press({kC2, kB2, kS});
    EXPECT_EQ(platform::ClipboardText(), "-10.7");
}

TEST_F(DeveloperKeys, CopyInAnyOtherModeLeavesTheClipboardAlone) {
    Load(kEnabled);
    platform::CopyTextToClipboard(kSentinel);
    Press({kS});
    EXPECT_EQ(platform::ClipboardText(), kSentinel) << "None";
    Press({kD, kB1, kD, kS});
    EXPECT_EQ(platform::ClipboardText(), kSentinel) << "Value";
    Press({kD});
    Frame();
    Press({kS});
    EXPECT_EQ(platform::ClipboardText(), kSentinel) << "Rotate";
}

TEST_F(DeveloperKeys, ClipboardEndsWithTheLastGaugesText) {
    // A second Load appends a gauge; its main profile's step reaches every gauge after the
    // first, so gauge 0 steps by 1 and gauge 1 by 2.
    Load(kEnabled);
    Load(std::string(kEnabled) + "[StepValue]\nAngle = 2\n", 1);
    ASSERT_EQ(gauges_.gaugeCount(), 2);
    Press({kD, kB1, kS});
    EXPECT_EQ(Frame(0), 181000);
    EXPECT_EQ(Frame(1), 182000);
    EXPECT_EQ(platform::ClipboardText(), "2");
}

TEST_F(DeveloperKeys, CopyAndSwitchOnOneKeyCopyBeforeSwitching) {
    folder_.Write("second.ini", "[PanelIndex]\nNeedle = 1\n");
    folder_.Write("second.csv", "0,0\n100,270\n");
    Load(std::string(kEnabled) + "[FileName]\nGauge0 = second\n"
                                 "[KeyIndex]\nCopyValueToClipboard = S\nSwitchAdjustMode = S\n");
    ASSERT_EQ(gauges_.gaugeCount(), 2);
    platform::CopyTextToClipboard(kSentinel);
    Press({kD});
    EXPECT_EQ(Scale(0).mode(), AdjustMode::None) << "D is no longer bound";
    Press({kS}); // None: nothing to copy, then on to Angle
    EXPECT_EQ(platform::ClipboardText(), kSentinel);
    Press({kB1, kS}); // Angle: copies 1, then on to Value
    EXPECT_EQ(platform::ClipboardText(), "1");
    for (int gauge = 0; gauge < 2; ++gauge) {
        EXPECT_EQ(Scale(gauge).mode(), AdjustMode::Value) << "gauge " << gauge;
    }
    EXPECT_EQ(Frame(0), 180000);
    EXPECT_EQ(Frame(1), 180000);
}

TEST_F(DeveloperKeys, IncrementAndDecrementOnOneKeyCancelOut) {
    Load(std::string(kEnabled) +
         "[KeyIndex]\nAdjustIncrementSmall = A1\nAdjustDecrementSmall = a1\n");
    Press({kD, kB1, kA1});
    // Up by 0.1 and down by 0.1, each rounded once: a few units in the last place at most.
    EXPECT_DOUBLE_EQ(Scale().fixedAngle(), 1.0);
    Press({kA2}); // no longer bound
    EXPECT_DOUBLE_EQ(Scale().fixedAngle(), 1.0);
    EXPECT_EQ(Frame(), 181000);
}

// The developer switch: only SwitchAdjustMode looks at it, and without it the mode never
// leaves None, so no key shows.
struct SwitchRow {
    const char* sections;
    bool enabled;
};

void PrintTo(const SwitchRow& row, std::ostream* out) {
    *out << '"' << row.sections << '"';
}

class DeveloperSwitch : public DeveloperKeys, public testing::WithParamInterface<SwitchRow> {};

TEST_P(DeveloperSwitch, DecidesWhetherAnyKeyShows) {
    Load(GetParam().sections);
    EXPECT_EQ(Scale().developerEnabled(), GetParam().enabled);
    platform::CopyTextToClipboard(kSentinel);
    if (!GetParam().enabled) {
        for (int32_t key = 0; key <= 15; ++key) {
            Press({key});
            EXPECT_EQ(Frame(), kLiveNeedle) << "key " << key;
        }
        EXPECT_EQ(Scale().mode(), AdjustMode::None);
        EXPECT_EQ(Scale().fixedValue(), 0.0);
        EXPECT_EQ(Scale().fixedAngle(), 0.0);
    } else {
        Press({kD, kB1});
        EXPECT_EQ(Frame(), 181000);
    }
    EXPECT_EQ(platform::ClipboardText(), kSentinel);
}

const SwitchRow kSwitchRows[] = {
    {"", false},
    {"[DeveloperMode]\nEnabled = 0\n", false},
    {"[DeveloperMode]\nEnabled = 1\n", true},
    {"[DeveloperMode]\nEnabled = -1\n", true},
    {"[DeveloperMode]\nEnabled = 2\n", true},
};

INSTANTIATE_TEST_SUITE_P(Rows, DeveloperSwitch, testing::ValuesIn(kSwitchRows));

// One row per stepping action: its key, and where it takes a fixed value or a fixed angle of
// 0 with the default steps (value 10, angle 1), as the needle entry shows it.
struct ActionRow {
    const char* name;
    int32_t key;
    double value;
    int32_t valueNeedle; // table angle of the value, + 180, in thousandths
    double angle;
    int32_t angleNeedle; // angle + 180, in thousandths
};

void PrintTo(const ActionRow& row, std::ostream* out) {
    *out << row.name;
}

const ActionRow kActionRows[] = {
    {"AdjustIncrementSmall", kA1, 1.0, 182700, 0.1, 180100},
    {"AdjustDecrementSmall", kA2, -1.0, 177300, -0.1, 179900},
    {"AdjustIncrementMedium", kB1, 10.0, 207000, 1.0, 181000},
    {"AdjustDecrementMedium", kB2, -10.0, 153000, -1.0, 179000},
    {"AdjustIncrementLarge", kC1, 100.0, 450000, 10.0, 190000},
    {"AdjustDecrementLarge", kC2, -100.0, -90000, -10.0, 170000},
};

class SteppingAction : public DeveloperKeys, public testing::WithParamInterface<ActionRow> {
protected:
    void SetUp() override { Load(kEnabled); }
};

TEST_P(SteppingAction, MovesTheFixedAngleInAngleMode) {
    Press({kD, GetParam().key});
    EXPECT_EQ(Scale().fixedAngle(), GetParam().angle);
    EXPECT_EQ(Scale().fixedValue(), 0.0);
    EXPECT_EQ(Frame(), GetParam().angleNeedle);
    Press({kL});
    EXPECT_EQ(Frame(), 180000);
}

TEST_P(SteppingAction, MovesTheFixedValueInValueMode) {
    Press({kD, kD, GetParam().key});
    EXPECT_EQ(Scale().fixedValue(), GetParam().value);
    EXPECT_EQ(Scale().fixedAngle(), 0.0);
    EXPECT_EQ(Frame(), GetParam().valueNeedle);
    Press({kL});
    EXPECT_EQ(Frame(), 180000);
}

TEST_P(SteppingAction, DoesNothingInNoneOrRotateMode) {
    Press({GetParam().key});
    EXPECT_EQ(Frame(), kLiveNeedle);
    Press({kD, kD, kD});
    EXPECT_EQ(Frame(), 181000);
    Press({GetParam().key});
    EXPECT_EQ(Frame(), 182000);
    EXPECT_EQ(Scale().fixedValue(), 0.0);
    EXPECT_EQ(Scale().fixedAngle(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Rows, SteppingAction, testing::ValuesIn(kActionRows));

} // namespace
} // namespace mirevane
