// The settings model: built-in defaults, profiles laid over them key by key, and the lookups
// that reading one profile makes.
#include "config/profile_format.h"
#include "config/settings_model.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace mirevane {
namespace {

// Every field as text, so that two models compare in one readable assertion.
std::string Snapshot(SettingsModel& m) {
    std::string out;
    for (const SettingKey& key : ProfileFormat()) {
        const SettingField field = key.row->field(m, key.k);
        out += key.name + "=";
        if (auto* text = std::get_if<std::string*>(&field)) {
            out += **text;
        } else if (auto* integer = std::get_if<int32_t*>(&field)) {
            out += std::to_string(**integer);
        } else {
            char real[32];
            std::snprintf(real, sizeof real, "%.17g", **std::get_if<double*>(&field));
            out += real;
        }
        out += "\n";
    }
    return out;
}

class Settings : public testing::Test {
protected:
    // The fallback profile's content, laid under a profile the way Load lays it.
    std::string Fallback(const std::string& content) { return folder.Write("Ats.ini", content); }

    test::TempDir folder;
};

TEST_F(Settings, ConstructionGivesEveryFieldItsDefault) {
    const SettingsModel m;
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
}

TEST_F(Settings, FallbackProfileLiesUnderTheProfile) {
    const std::string fallback = Fallback("[Ellipse]\nStandbyAngle = 90\n");
    const std::string lacking = folder.Write("lacking.ini", "[Ellipse]\nDivision = 4\n");
    const std::string setting = folder.Write("setting.ini", "[Ellipse]\nStandbyAngle = 45\n");

    SettingsModel m;
    EXPECT_TRUE(m.ReadProfile(fallback));
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
        SettingsModel m;
        EXPECT_TRUE(m.ReadProfile(c.setter));
        EXPECT_EQ(m.Subject, c.set);
        EXPECT_TRUE(m.ReadProfile(lacking));
        EXPECT_EQ(m.Subject, "bc") << c.set;
    }
}

TEST_F(Settings, ProfileNotFoundChangesNothing) {
    SettingsModel m;
    EXPECT_TRUE(m.ReadProfile(Fallback("[SubjectKey]\nSubject = bc\n")));
    const std::string before = Snapshot(m);
    EXPECT_FALSE(m.ReadProfile(folder / "absent.ini"));
    EXPECT_EQ(Snapshot(m), before);
    EXPECT_EQ(m.Subject, "bc");
}

// The one test that needs a working directory: the empty path names ./Ats.ini in it.
TEST_F(Settings, EmptyPathReadsTheFallbackProfileInTheWorkingDirectory) {
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    SettingsModel m;
    const bool withoutFile = m.ReadProfile("");
    Fallback("[PanelIndex]\nNeedle = 7\n");
    const bool withFile = m.ReadProfile("");
    std::filesystem::current_path(saved);
    EXPECT_FALSE(withoutFile);
    EXPECT_TRUE(withFile);
    EXPECT_EQ(m.Needle, 7);
}

TEST_F(Settings, ProfileWithOnlyTheNeedleChangesOnlyTheNeedle) {
    SettingsModel m;
    EXPECT_TRUE(
        m.ReadProfile(Fallback("[Vibration]\nPeriod = 3\n[KeyIndex]\nSwitchAdjustMode = e\n")));
    std::string expected = Snapshot(m);
    expected.replace(expected.find("Needle=-1\n"), 10, "Needle=12\n");
    EXPECT_TRUE(m.ReadProfile(folder.Write("needle.ini", "[PanelIndex]\nNeedle = 12\n")));
    EXPECT_EQ(Snapshot(m), expected);
}

TEST_F(Settings, NamesInOtherLetterCasesAreFound) {
    SettingsModel m;
    m.ReadProfile(
        folder.Write("cases.ini", "[subjectkey]\nSUBJECT = mpa\n[ELLIPSE]\ndivision = 3\n"));
    EXPECT_EQ(m.Subject, "mpa");
    EXPECT_EQ(m.Division, 3);
}

TEST_F(Settings, DoubleThatDoesNotConvertWholeKeepsItsValue) {
    SettingsModel m;
    EXPECT_TRUE(m.ReadProfile(folder.Write("unit.ini", "[Vibration]\nPeriod = 2.5 m\n")));
    EXPECT_EQ(m.Period, 0.0);
    EXPECT_TRUE(m.ReadProfile(folder.Write("plain.ini", "[Vibration]\nPeriod = 2.5\n")));
    EXPECT_EQ(m.Period, 2.5);
    EXPECT_TRUE(m.ReadProfile(folder.Write("comma.ini", "[Vibration]\nPeriod = 1,5\n")));
    EXPECT_EQ(m.Period, 2.5);
}

TEST_F(Settings, OutOfRangeValuesAreStoredAsRead) {
    SettingsModel m;
    m.ReadProfile(folder.Write(
        "range.ini", "[Ellipse]\nDivision = -3\nFlattening = 7\n[Advanced]\nMaxArrayIndex = -1\n"
                     "[PanelIndex]\nNeedle = 900\n[Vibration]\nPeriod = -2\n"));
    EXPECT_EQ(m.Division, -3);
    EXPECT_EQ(m.MaxArrayIndex, -1);
    EXPECT_EQ(m.Needle, 900);
    EXPECT_EQ(m.Period, -2.0);
    EXPECT_EQ(m.Flattening, 7.0);
}

TEST_F(Settings, KeyNamesAreStoredAsTheTextFound) {
    SettingsModel m;
    m.ReadProfile(
        folder.Write("keys.ini", "[KeyIndex]\nCopyValueToClipboard = a1\nSwitchAdjustMode = M\n"));
    EXPECT_EQ(m.DeveloperKeys[kCopyValueToClipboard], "a1");
    EXPECT_EQ(m.DeveloperKeys[kSwitchAdjustMode], "M");
}

TEST_F(Settings, DirectoryAsProfileIsFoundAndChangesNothing) {
    SettingsModel m;
    EXPECT_TRUE(m.ReadProfile(Fallback("[DeveloperMode]\nEnabled = 1\n")));
    const std::string before = Snapshot(m);
    std::filesystem::create_directory(folder.path() / "gauge.ini");
    EXPECT_TRUE(m.ReadProfile(folder / "gauge.ini"));
    EXPECT_EQ(Snapshot(m), before);
}

TEST_F(Settings, KeysBeyondTheFormatHaveNoEffect) {
    SettingsModel defaults;
    SettingsModel m;
    m.ReadProfile(folder.Write(
        "beyond.ini", "[PanelIndex]\nEllipse64 = 5\nNeedle1 = 6\n[FileName]\nGauge16 = extra\n"
                      "[Gauges]\nGauge0 = other\n[subject]\nSubject = mpa\n"));
    EXPECT_EQ(Snapshot(m), Snapshot(defaults));
}

TEST_F(Settings, TextOf300CharactersKeepsItsFirst255) {
    const std::string subject(300, 'b');
    SettingsModel m;
    m.ReadProfile(folder.Write("long.ini", "[SubjectKey]\nSubject=" + subject + "\n"));
    EXPECT_EQ(m.Subject, subject.substr(0, 255));
}

// Records every lookup and answers each with a value of its own, so that afterwards each
// field shows which lookup filled it.
class RecordingLookups : public ProfileLookups {
public:
    struct Lookup {
        std::string section;
        std::string key;
        char type;
    };
    std::vector<Lookup> lookups;

    void Text(const std::string& section, const std::string& key, std::string& value) override {
        Record(section, key, 't');
        value = "#" + std::to_string(lookups.size());
    }
    void Int(const std::string& section, const std::string& key, int32_t& value) override {
        Record(section, key, 'i');
        value = static_cast<int32_t>(lookups.size());
    }
    void Double(const std::string& section, const std::string& key, double& value) override {
        Record(section, key, 'd');
        value = static_cast<double>(lookups.size());
    }

private:
    void Record(const std::string& section, const std::string& key, char type) {
        lookups.push_back({section, key, type});
    }
};

// Reading a profile makes 105 lookups, one per key, in the format's order, with the padded
// names: Gauge keys to 14 characters, Division to 10, the other keys to 17 (names that long
// or longer unpadded), section names never. Each lookup fills a field of its own.
TEST_F(Settings, EveryKeyIsLookedUpOnceInOrderWithItsPaddedName) {
    SettingsModel m;
    RecordingLookups recorder;
    m.Read(recorder);

    const std::vector<SettingKey>& format = ProfileFormat();
    ASSERT_EQ(recorder.lookups.size(), 105u);
    ASSERT_EQ(format.size(), 105u);
    std::map<char, int> byType;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const auto& lookup = recorder.lookups[i];
        ++byType[lookup.type];
        EXPECT_EQ(lookup.section, format[i].row->section) << i;
        EXPECT_EQ(lookup.key, format[i].lookupName) << i;
        EXPECT_TRUE(seen.insert(lookup.section + "/" + format[i].name).second) << format[i].name;
        const std::size_t width = format[i].name.rfind("Gauge", 0) == 0 ? 14
                                  : format[i].name == "Division"        ? 10
                                                                        : 17;
        EXPECT_EQ(lookup.key.size(), std::max(width, format[i].name.size())) << format[i].name;
        EXPECT_EQ(lookup.key.substr(0, format[i].name.size()), format[i].name);
        EXPECT_EQ(lookup.key.find_first_not_of(' ', format[i].name.size()), std::string::npos);
    }
    EXPECT_EQ(byType['t'], 26);
    EXPECT_EQ(byType['i'], 68);
    EXPECT_EQ(byType['d'], 11);

    // Lookup n left n (or "#n") in the field it was given: every field got its own lookup.
    std::set<std::string> filled;
    std::istringstream fields(Snapshot(m));
    for (std::string line; std::getline(fields, line);) {
        std::string value = line.substr(line.find('=') + 1);
        if (value[0] == '#') {
            value.erase(0, 1);
        }
        filled.insert(value);
    }
    EXPECT_EQ(filled.size(), 105u);
    EXPECT_EQ(m.Subject, "#1");
    EXPECT_EQ(m.Ellipse[63], 1 + 16 + 1 + 64);
    EXPECT_EQ(m.DeveloperKeys[kSwitchAdjustMode], "#100");
    EXPECT_EQ(m.MaxArrayIndex, 105);
}

} // namespace
} // namespace mirevane
