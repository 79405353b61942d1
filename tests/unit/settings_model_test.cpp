// The settings model on real folders: built-in defaults, the fallback profile ./Ats.ini in
// the working directory, and a profile laid over them, key by key.
#include "config/settings_model.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace mirevane {
namespace {

// Every field as text, so that two models compare in one readable assertion.
std::string Snapshot(const SettingsModel& m) {
    std::string out;
    auto add = [&out](const std::string& name, const std::string& value) {
        out += name + "=" + value + "\n";
    };
    auto real = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value);
        return std::string(text);
    };
    add("Subject", m.Subject);
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        add("Gauge" + std::to_string(k), m.Gauge[k]);
    }
    add("Needle", std::to_string(m.Needle));
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        add("Ellipse" + std::to_string(k), std::to_string(m.Ellipse[k]));
    }
    add("Period", real(m.Period));
    add("Amplitude", real(m.Amplitude));
    add("Threshold", real(m.Threshold));
    add("NaturalFreq", real(m.NaturalFreq));
    add("DampingRatio", real(m.DampingRatio));
    add("Flattening", real(m.Flattening));
    add("RotateAngle", real(m.RotateAngle));
    add("Division", std::to_string(m.Division));
    add("StandbyAngle", real(m.StandbyAngle));
    add("Enabled", std::to_string(m.Enabled));
    for (int k = 0; k < kDeveloperKeyCount; ++k) {
        add("DeveloperKeys" + std::to_string(k), m.DeveloperKeys[k]);
    }
    add("Angle", real(m.Angle));
    add("Value", real(m.Value));
    add("Rotate", real(m.Rotate));
    add("MaxArrayIndex", std::to_string(m.MaxArrayIndex));
    add("defaultPath", m.defaultPath);
    return out;
}

// Each test runs in a fresh working directory, where ./Ats.ini is looked up.
class Settings : public testing::Test {
protected:
    Settings() { std::filesystem::current_path(folder.path()); }
    ~Settings() override { std::filesystem::current_path(saved); }

    const std::filesystem::path saved = std::filesystem::current_path();
    test::TempDir folder;
};

TEST_F(Settings, WithoutAFallbackProfileEveryFieldHasItsDefault) {
    const SettingsModel m("");
    EXPECT_EQ(m.Subject, "kmph");
    for (const std::string& gauge : m.Gauge) {
        EXPECT_EQ(gauge, "null");
    }
    EXPECT_EQ(m.Needle, -1);
    for (const int32_t panel : m.Ellipse) {
        EXPECT_EQ(panel, -1);
    }
    for (const double zero : {m.Period, m.Amplitude, m.Threshold, m.NaturalFreq, m.DampingRatio,
                              m.Flattening, m.RotateAngle}) {
        EXPECT_EQ(zero, 0.0);
    }
    EXPECT_EQ(m.Division, 0);
    EXPECT_EQ(m.StandbyAngle, 180.0);
    EXPECT_EQ(m.Enabled, 0);
    const std::array<std::string, kDeveloperKeyCount> keys = {"S",  "A1", "A2", "B1", "B2",
                                                              "C1", "C2", "D",  "L"};
    EXPECT_EQ(m.DeveloperKeys, keys);
    EXPECT_EQ(m.Angle, 1.0);
    EXPECT_EQ(m.Value, 10.0);
    EXPECT_EQ(m.Rotate, 1.0);
    EXPECT_EQ(m.MaxArrayIndex, 255);
    EXPECT_EQ(m.defaultPath, "./Ats.ini");
}

TEST_F(Settings, FallbackProfileLiesUnderTheProfile) {
    folder.Write("Ats.ini", "[Ellipse]\nStandbyAngle = 90\n");
    const std::string lacking = folder.Write("lacking.ini", "[Ellipse]\nDivision = 4\n");
    const std::string setting = folder.Write("setting.ini", "[Ellipse]\nStandbyAngle = 45\n");

    SettingsModel m("");
    EXPECT_EQ(m.StandbyAngle, 90.0);
    EXPECT_TRUE(m.ReadProfile(lacking));
    EXPECT_EQ(m.StandbyAngle, 90.0);
    EXPECT_EQ(m.Division, 4);
    EXPECT_TRUE(m.ReadProfile(setting));
    EXPECT_EQ(m.StandbyAngle, 45.0);
}

// A text key that a profile lacks still passes its layered value through the lookup's
// default handling, which trims trailing spaces and drops one pair of quotes.
TEST_F(Settings, LayeredTextLosesWhatTheDefaultHandlingDrops) {
    const std::string quoted = folder.Write("quoted.ini", "[SubjectKey]\nSubject = \"\"bc\"\"\n");
    const std::string spaced = folder.Write("spaced.ini", "[SubjectKey]\nSubject = \"bc  \"\n");
    const std::string lacking = folder.Write("lacking.ini", "[PanelIndex]\nNeedle = 3\n");
    const struct {
        const std::string& setter;
        const char* set;
    } cases[] = {{quoted, "\"bc\""}, {spaced, "bc  "}};
    for (const auto& c : cases) {
        SettingsModel m("");
        EXPECT_TRUE(m.ReadProfile(c.setter));
        EXPECT_EQ(m.Subject, c.set);
        EXPECT_TRUE(m.ReadProfile(lacking));
        EXPECT_EQ(m.Subject, "bc") << c.set;
    }
}

TEST_F(Settings, ProfileNotFoundChangesNothing) {
    folder.Write("Ats.ini", "[SubjectKey]\nSubject = bc\n");
    SettingsModel m("");
    const std::string before = Snapshot(m);
    EXPECT_FALSE(m.ReadProfile(folder / "absent.ini"));
    EXPECT_EQ(Snapshot(m), before);
    EXPECT_EQ(m.Subject, "bc");
}

TEST_F(Settings, EmptyPathReadsTheFallbackProfileAgain) {
    SettingsModel m("");
    EXPECT_FALSE(m.ReadProfile(""));
    folder.Write("Ats.ini", "[PanelIndex]\nNeedle = 7\n");
    EXPECT_TRUE(m.ReadProfile(""));
    EXPECT_EQ(m.Needle, 7);
}

TEST_F(Settings, ProfileWithOnlyTheNeedleChangesOnlyTheNeedle) {
    folder.Write("Ats.ini", "[Vibration]\nPeriod = 3\n[KeyIndex]\nSwitchAdjustMode = e\n");
    SettingsModel m("");
    std::string expected = Snapshot(m);
    expected.replace(expected.find("Needle=-1\n"), 10, "Needle=12\n");
    EXPECT_TRUE(m.ReadProfile(folder.Write("needle.ini", "[PanelIndex]\nNeedle = 12\n")));
    EXPECT_EQ(Snapshot(m), expected);
}

TEST_F(Settings, NamesInOtherLetterCasesAreFound) {
    SettingsModel m(
        folder.Write("cases.ini", "[subjectkey]\nSUBJECT = mpa\n[ELLIPSE]\ndivision = 3\n"));
    EXPECT_EQ(m.Subject, "mpa");
    EXPECT_EQ(m.Division, 3);
}

TEST_F(Settings, DoubleThatDoesNotConvertWholeKeepsItsValue) {
    SettingsModel m("");
    EXPECT_TRUE(m.ReadProfile(folder.Write("unit.ini", "[Vibration]\nPeriod = 2.5 m\n")));
    EXPECT_EQ(m.Period, 0.0);
    EXPECT_TRUE(m.ReadProfile(folder.Write("plain.ini", "[Vibration]\nPeriod = 2.5\n")));
    EXPECT_EQ(m.Period, 2.5);
    EXPECT_TRUE(m.ReadProfile(folder.Write("comma.ini", "[Vibration]\nPeriod = 1,5\n")));
    EXPECT_EQ(m.Period, 2.5);
}

TEST_F(Settings, OutOfRangeValuesAreStoredAsRead) {
    const SettingsModel m(folder.Write(
        "range.ini", "[Ellipse]\nDivision = -3\nFlattening = 7\n[Advanced]\nMaxArrayIndex = -1\n"
                     "[PanelIndex]\nNeedle = 900\n[Vibration]\nPeriod = -2\n"));
    EXPECT_EQ(m.Division, -3);
    EXPECT_EQ(m.MaxArrayIndex, -1);
    EXPECT_EQ(m.Needle, 900);
    EXPECT_EQ(m.Period, -2.0);
    EXPECT_EQ(m.Flattening, 7.0);
}

TEST_F(Settings, KeyNamesAreStoredAsTheTextFound) {
    const SettingsModel m(
        folder.Write("keys.ini", "[KeyIndex]\nCopyValueToClipboard = a1\nSwitchAdjustMode = M\n"));
    EXPECT_EQ(m.DeveloperKeys[kCopyValueToClipboard], "a1");
    EXPECT_EQ(m.DeveloperKeys[kSwitchAdjustMode], "M");
}

TEST_F(Settings, DirectoryAsProfileIsFoundAndChangesNothing) {
    folder.Write("Ats.ini", "[DeveloperMode]\nEnabled = 1\n");
    SettingsModel m("");
    const std::string before = Snapshot(m);
    std::filesystem::create_directory(folder.path() / "gauge.ini");
    EXPECT_TRUE(m.ReadProfile(folder / "gauge.ini"));
    EXPECT_EQ(Snapshot(m), before);
}

TEST_F(Settings, KeysBeyondTheFormatHaveNoEffect) {
    const SettingsModel defaults("");
    const SettingsModel m(folder.Write(
        "beyond.ini", "[PanelIndex]\nEllipse64 = 5\nNeedle1 = 6\n[FileName]\nGauge16 = extra\n"
                      "[Gauges]\nGauge0 = other\n[subject]\nSubject = mpa\n"));
    EXPECT_EQ(Snapshot(m), Snapshot(defaults));
}

TEST_F(Settings, TextOf300CharactersKeepsItsFirst255) {
    const std::string subject(300, 'b');
    const SettingsModel m(folder.Write("long.ini", "[SubjectKey]\nSubject=" + subject + "\n"));
    EXPECT_EQ(m.Subject, subject.substr(0, 255));
}

// A profile that sets all 105 keys, each to its own value: every lookup names its section
// and key (padded as it is) correctly and reads with the reader of its type.
TEST_F(Settings, EveryKeyOfTheFormatReachesItsField) {
    std::string profile = "[SubjectKey]\nSubject=mpa\n[FileName]\n";
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        profile += "Gauge" + std::to_string(k) + "=g" + std::to_string(k) + "\n";
    }
    profile += "[PanelIndex]\nNeedle=100\n";
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        profile += "Ellipse" + std::to_string(k) + "=" + std::to_string(200 + k) + "\n";
    }
    profile += "[Vibration]\nPeriod=0.5\nAmplitude=1.5\nThreshold=2.5\n"
               "[Damping]\nNaturalFreq=3.5\nDampingRatio=4.5\n"
               "[Ellipse]\nFlattening=0.25\nRotateAngle=6.5\nDivision=7\nStandbyAngle=8.5\n"
               "[DeveloperMode]\nEnabled=9\n"
               "[KeyIndex]\nCopyValueToClipboard=e\nAdjustIncrementSmall=f\n"
               "AdjustDecrementSmall=g\nAdjustIncrementMedium=h\nAdjustDecrementMedium=i\n"
               "AdjustIncrementLarge=j\nAdjustDecrementLarge=k\nSwitchAdjustMode=s\n"
               "ResetAdjustValue=a1\n"
               "[StepValue]\nAngle=10.5\nValue=11.5\nRotate=12.5\n"
               "[Advanced]\nMaxArrayIndex=13\n";
    const SettingsModel m(folder.Write("all.ini", profile));

    EXPECT_EQ(m.Subject, "mpa");
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        EXPECT_EQ(m.Gauge[k], "g" + std::to_string(k));
    }
    EXPECT_EQ(m.Needle, 100);
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        EXPECT_EQ(m.Ellipse[k], 200 + k);
    }
    EXPECT_EQ(m.Period, 0.5);
    EXPECT_EQ(m.Amplitude, 1.5);
    EXPECT_EQ(m.Threshold, 2.5);
    EXPECT_EQ(m.NaturalFreq, 3.5);
    EXPECT_EQ(m.DampingRatio, 4.5);
    EXPECT_EQ(m.Flattening, 0.25);
    EXPECT_EQ(m.RotateAngle, 6.5);
    EXPECT_EQ(m.Division, 7);
    EXPECT_EQ(m.StandbyAngle, 8.5);
    EXPECT_EQ(m.Enabled, 9);
    const std::array<std::string, kDeveloperKeyCount> keys = {"e", "f", "g", "h", "i",
                                                              "j", "k", "s", "a1"};
    EXPECT_EQ(m.DeveloperKeys, keys);
    EXPECT_EQ(m.Angle, 10.5);
    EXPECT_EQ(m.Value, 11.5);
    EXPECT_EQ(m.Rotate, 12.5);
    EXPECT_EQ(m.MaxArrayIndex, 13);
}

} // namespace
} // namespace mirevane
