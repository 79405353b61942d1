// Load on real folders: which profiles and tables are found beside the library, which
// profile each setting is taken from, and how every gauge is assembled from its own profile.
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace mirevane {
namespace {

using test::TempDir;
using testing::ElementsAre;
using testing::Pair;

using Points = std::vector<std::pair<double, double>>;
using Panel = std::array<int32_t, 256>;

// A panel value no gauge writes: entries that keep it were not touched.
constexpr int32_t kUntouched = -7777;

class LoadSequence : public testing::Test {
protected:
    // Every test runs in an empty current directory of its own, so that a fallback profile
    // ./Ats.ini is present only where a test writes one.
    LoadSequence() : previousDirectory_(std::filesystem::current_path()) {
        std::filesystem::current_path(work_.path());
    }
    ~LoadSequence() override { std::filesystem::current_path(previousDirectory_); }

    // The library's own path as the attach handler would store it; the file need not exist.
    std::string Library(const std::string& fileName = "Mirevane.dll") const {
        return library_.path().string() + "/" + fileName;
    }
    void Beside(const std::string& name, const std::string& text) { library_.Write(name, text); }
    void Fallback(const std::string& text) { work_.Write("Ats.ini", text); }

    // One frame with the given speed and panel entry 150 set; every other entry untouched.
    Panel Frame(float speed = 0.0f) {
        Panel panel;
        panel.fill(kUntouched);
        panel[150] = 5000;
        Panel sound{};
        AtsVehicleState state{};
        state.speed = speed;
        gauges_.Elapse(state, panel.data(), sound.data());
        return panel;
    }

    std::vector<std::string> FilesIn(const TempDir& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::vector<int32_t> NeedleEntries() const { return gauges_.needlePanelIndex(); }

    TempDir library_; // the folder the library sits in
    TempDir work_;    // the process's current directory
    CMirevane gauges_;

private:
    std::filesystem::path previousDirectory_;
};

// Sixteen further gauge names, all "nothing here" except those given.
std::string FileNameSection(const std::vector<std::pair<int, std::string>>& names) {
    std::array<std::string, 16> value;
    for (int k = 0; k < 16; ++k) {
        value[k] = "missing" + std::to_string(k);
    }
    for (const auto& [k, name] : names) {
        value[k] = name;
    }
    std::string text = "[FileName]\n";
    for (int k = 0; k < 16; ++k) {
        text += "Gauge" + std::to_string(k) + "=" + value[k] + "\n";
    }
    return text;
}

const std::array<int32_t, 9> kDefaultBindings = {0, 1, 2, 3, 4, 5, 6, 7, 15};

// --- whether gauges are built at all ---

TEST_F(LoadSequence, NoMainProfileBuildsNoGaugeAndBindsNoKey) {
    Beside("null.ini", "[PanelIndex]\nNeedle=1\n"); // a further gauge file alone counts for nothing
    gauges_.Load(Library());

    EXPECT_EQ(gauges_.gaugeCount(), 0);
    EXPECT_THAT(gauges_.keyBindings(), testing::Each(0));
    EXPECT_TRUE(gauges_.subjects().empty());
    EXPECT_TRUE(gauges_.scales().empty());
    // Configuration is only read: nothing appears in either folder.
    EXPECT_THAT(FilesIn(library_), ElementsAre("null.ini"));
    EXPECT_THAT(FilesIn(work_), ElementsAre());
}

TEST_F(LoadSequence, AFallbackProfileWithoutAMainProfileBuildsNoGauge) {
    Fallback("[PanelIndex]\nNeedle=5\n[KeyIndex]\nCopyValueToClipboard=K\n");
    gauges_.Load(Library());

    EXPECT_EQ(gauges_.gaugeCount(), 0);
    EXPECT_THAT(gauges_.keyBindings(), testing::Each(0));
    EXPECT_THAT(FilesIn(work_), ElementsAre("Ats.ini"));
}

TEST_F(LoadSequence, AnEmptyMainProfileBuildsGaugeZeroFromTheDefaults) {
    Beside("Mirevane.ini", "");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 1);
    EXPECT_EQ(gauges_.keyBindings(), kDefaultBindings);
    EXPECT_EQ(gauges_.subjects()[0].kind(), Subject::kVehicle);
    EXPECT_EQ(gauges_.subjects()[0].index(), 1); // kmph
    EXPECT_EQ(gauges_.subjects()[0].maxIndex(), 255);
    EXPECT_EQ(gauges_.needlePanelIndex()[0], -1);
    EXPECT_FALSE(gauges_.isElliptic()[0]);
    EXPECT_TRUE(gauges_.scales()[0].table().empty()); // no Mirevane.csv
    EXPECT_EQ(gauges_.scales()[0].valueStep(), 10.0);
    EXPECT_EQ(gauges_.scales()[0].angleStep(), 1.0);
    EXPECT_EQ(gauges_.scales()[0].rotateStep(), 1.0);
    EXPECT_FALSE(gauges_.scales()[0].developerEnabled());
    EXPECT_THAT(gauges_.ellipses()[0].panelIndices(), testing::Each(-1));
    EXPECT_EQ(gauges_.ellipses()[0].panelIndices().size(), 64u);
}

TEST_F(LoadSequence, MainProfileWithEveryNameAtNullAndNoNullFileBuildsOneGauge) {
    std::string profile = "[FileName]\n";
    for (int k = 0; k < 16; ++k) {
        profile += "Gauge" + std::to_string(k) + "=null\n";
    }
    Beside("Mirevane.ini", profile + "[PanelIndex]\nNeedle=10\n");
    Beside("Mirevane.csv", "0,0\n100,270\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 1);
    EXPECT_EQ(gauges_.subjects().size(), 1u);
    EXPECT_EQ(gauges_.vibrations().size(), 1u);
    EXPECT_EQ(gauges_.scales().size(), 1u);
    EXPECT_EQ(gauges_.ellipses().size(), 1u);
    EXPECT_EQ(gauges_.isElliptic().size(), 1u);
    EXPECT_THAT(NeedleEntries(), ElementsAre(10));
    EXPECT_THAT(gauges_.scales()[0].table(), ElementsAre(Pair(0.0, 0.0), Pair(100.0, 270.0)));

    // kmph 50 on the points (0, 0), (100, 270): 135 degrees, plus 180.
    EXPECT_EQ(Frame(50.0f)[10], 315000);
}

TEST_F(LoadSequence, ANullFileBesideTheLibraryIsReadForEveryNameLeftAtNull) {
    Beside("Mirevane.ini", "[PanelIndex]\nNeedle=10\n");
    Beside("Mirevane.csv", "0,0\n100,270\n");
    Beside("null.ini", "[SubjectKey]\nSubject=bc\n[PanelIndex]\nNeedle=7\n");
    Beside("null.csv", "0,0\n10,100\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 17);
    EXPECT_EQ(gauges_.needlePanelIndex()[0], 10);
    EXPECT_EQ(gauges_.subjects()[0].index(), 1);
    EXPECT_THAT(gauges_.scales()[0].table(), ElementsAre(Pair(0.0, 0.0), Pair(100.0, 270.0)));
    for (int i = 1; i < 17; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(gauges_.needlePanelIndex()[i], 7);
        EXPECT_EQ(gauges_.subjects()[i].index(), 2); // bc
        EXPECT_THAT(gauges_.scales()[i].table(), ElementsAre(Pair(0.0, 0.0), Pair(10.0, 100.0)));
    }
}

TEST_F(LoadSequence, OnlyTheNameThatFindsAFileAddsAGauge) {
    Beside("Mirevane.ini", FileNameSection({{5, "five"}}) + "[PanelIndex]\nNeedle=10\n");
    Beside("five.ini", "[PanelIndex]\nNeedle=55\n");
    Beside("five.csv", "0,10\n1,20\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 2);
    EXPECT_THAT(NeedleEntries(), ElementsAre(10, 55));
    EXPECT_THAT(gauges_.scales()[1].table(), ElementsAre(Pair(0.0, 10.0), Pair(1.0, 20.0)));
}

TEST_F(LoadSequence, FurtherGaugesFollowInKeyOrderWithoutGaps) {
#ifdef _WIN32
    const std::string subOil = "sub\\oil"; // as a cab builder writes it on Windows
#else
    const std::string subOil = "sub/oil";
#endif
    Beside("Mirevane.ini", FileNameSection({{2, "b"}, {3, subOil}, {9, "a"}, {14, "b"}}) +
                               "[PanelIndex]\nNeedle=10\n");
    Beside("a.ini", "[PanelIndex]\nNeedle=1\n");
    Beside("b.ini", "[PanelIndex]\nNeedle=2\n");
    Beside("sub/oil.ini", "[PanelIndex]\nNeedle=3\n");
    Beside("sub/oil.csv", "0,0\n1,30\n");
    gauges_.Load(Library());

    // Named twice, a file gives two gauges.
    EXPECT_THAT(NeedleEntries(), ElementsAre(10, 2, 3, 1, 2));
    ASSERT_EQ(gauges_.gaugeCount(), 5);
    EXPECT_THAT(gauges_.scales()[2].table(), ElementsAre(Pair(0.0, 0.0), Pair(1.0, 30.0)));
}

TEST_F(LoadSequence, AnEmptyNameLooksForAProfileNamedOnlyByItsExtension) {
    Beside("Mirevane.ini", FileNameSection({{0, ""}}));
    Beside(".ini", "[PanelIndex]\nNeedle=9\n");
    Beside(".csv", "0,0\n1,1\n");
    gauges_.Load(Library());

    EXPECT_THAT(NeedleEntries(), ElementsAre(-1, 9));
    ASSERT_EQ(gauges_.gaugeCount(), 2);
    EXPECT_EQ(gauges_.scales()[1].table().size(), 2u);
}

// --- the library's own name ---

struct LibraryName {
    const char* library;
    const char* profile;
    const char* table;
};

class LoadSequenceLibraryName : public LoadSequence,
                                public testing::WithParamInterface<LibraryName> {};

TEST_P(LoadSequenceLibraryName, TheProfileAndTableBearTheLibrarysBaseName) {
    const LibraryName& name = GetParam();
    Beside("Mirevane.ini", "[PanelIndex]\nNeedle=5\n"); // the usual name, read only for it
    Beside(name.profile, "[PanelIndex]\nNeedle=4\n");
    Beside(name.table, "0,0\n1,2\n");
    gauges_.Load(Library(name.library));

    EXPECT_THAT(NeedleEntries(), ElementsAre(4));
    ASSERT_EQ(gauges_.gaugeCount(), 1);
    EXPECT_THAT(gauges_.scales()[0].table(), ElementsAre(Pair(0.0, 0.0), Pair(1.0, 2.0)));
}

INSTANTIATE_TEST_SUITE_P(Names, LoadSequenceLibraryName,
                         testing::Values(LibraryName{"Gauge.dll", "Gauge.ini", "Gauge.csv"},
                                         LibraryName{"panel.left.dll", "panel.left.ini",
                                                     "panel.left.csv"},
                                         LibraryName{"gauge", "gauge.ini", "gauge.csv"}));

// --- what only the main profile decides ---

TEST_F(LoadSequence, KeyNamesBindInAnyLetterCaseAndUnknownNamesBindNothing) {
    Beside("Mirevane.ini", "[KeyIndex]\nCopyValueToClipboard=a1\nAdjustIncrementSmall=A1\n"
                           "SwitchAdjustMode=M\nResetAdjustValue=k\nAdjustDecrementLarge=\n");
    gauges_.Load(Library());

    EXPECT_THAT(gauges_.keyBindings(), ElementsAre(1, 1, 2, 3, 4, 5, -1, -1, 14));
}

TEST_F(LoadSequence, AFurtherGaugeFilesNamesAndKeysAreNeverLookedAt) {
    Beside("Mirevane.ini", FileNameSection({{0, "a"}}));
    Beside("a.ini", "[PanelIndex]\nNeedle=1\n[FileName]\nGauge0=b\nGauge1=null\n"
                    "[KeyIndex]\nCopyValueToClipboard=J\nResetAdjustValue=J\n");
    Beside("b.ini", "[PanelIndex]\nNeedle=2\n");
    Beside("null.ini", "[PanelIndex]\nNeedle=3\n");
    gauges_.Load(Library());

    EXPECT_THAT(NeedleEntries(), ElementsAre(-1, 1));
    EXPECT_EQ(gauges_.keyBindings(), kDefaultBindings);
}

TEST_F(LoadSequence, AFurtherGaugesOwnStepsAndSwitchGiveWayToTheMainProfiles) {
    Beside("Mirevane.ini", FileNameSection({{0, "a"}}));
    Beside("a.ini", "[StepValue]\nValue=5\nAngle=3\nRotate=-2\n[DeveloperMode]\nEnabled=1\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 2);
    const NeedleScale& further = gauges_.scales()[1];
    EXPECT_EQ(further.valueStep(), 10.0);
    EXPECT_EQ(further.angleStep(), 1.0);
    EXPECT_EQ(further.rotateStep(), 1.0);
    EXPECT_FALSE(further.developerEnabled());

    gauges_.KeyDown(7); // "D", switch adjust mode: refused without the developer switch
    EXPECT_EQ(gauges_.scales()[1].mode(), AdjustMode::None);
}

TEST_F(LoadSequence, TheMainProfilesStepsAndSwitchReachEveryGauge) {
    Beside("Mirevane.ini", FileNameSection({{0, "a"}, {1, "b"}}) +
                               "[StepValue]\nValue=-4\nAngle=0.5\nRotate=-2\n"
                               "[DeveloperMode]\nEnabled=1\n");
    Beside("a.ini", "");
    Beside("b.ini", "[StepValue]\nValue=5\nAngle=3\nRotate=6\n[DeveloperMode]\nEnabled=0\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const NeedleScale& scale = gauges_.scales()[i];
        EXPECT_EQ(scale.valueStep(), 4.0); // a step is a magnitude
        EXPECT_EQ(scale.angleStep(), 0.5);
        EXPECT_EQ(scale.rotateStep(), -2.0); // a rotation keeps its direction
        EXPECT_TRUE(scale.developerEnabled());
    }
    gauges_.KeyDown(7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(gauges_.scales()[i].mode(), AdjustMode::Angle) << i;
    }
}

// --- what each gauge takes from its own profile ---

TEST_F(LoadSequence, EveryGaugeSettingReachesItsStage) {
    Beside("Mirevane.ini", "[SubjectKey]\nSubject=AM\n[PanelIndex]\nNeedle=12\nEllipse0=30\n"
                           "Ellipse3=33\n[Vibration]\nPeriod=2\nAmplitude=-3\nThreshold=40\n"
                           "[Damping]\nNaturalFreq=5\nDampingRatio=0.4\n[Ellipse]\n"
                           "Flattening=0.25\nRotateAngle=30\nDivision=4\nStandbyAngle=135\n"
                           "[Advanced]\nMaxArrayIndex=77\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 1);
    EXPECT_EQ(gauges_.subjects()[0].kind(), Subject::kVehicle);
    EXPECT_EQ(gauges_.subjects()[0].index(), 7); // am, subject texts in any letter case
    EXPECT_EQ(gauges_.subjects()[0].maxIndex(), 77);
    EXPECT_EQ(gauges_.needlePanelIndex()[0], 12);
    EXPECT_TRUE(gauges_.isElliptic()[0]);

    // Period and amplitude differ, so a swap between them would show.
    CNeedleVibration periodTwo;
    periodTwo.SetPeriod(2.0);
    const CNeedleVibration& vibration = gauges_.vibrations()[0];
    EXPECT_EQ(vibration.spatialFrequency(), periodTwo.spatialFrequency());
    EXPECT_EQ(vibration.amplitude(), 3.0);
    EXPECT_EQ(vibration.threshold(), 40.0);

    const CEllipseGauge& ellipse = gauges_.ellipses()[0];
    EXPECT_EQ(ellipse.panelIndices()[0], 30);
    EXPECT_EQ(ellipse.panelIndices()[3], 33);
    EXPECT_EQ(ellipse.divisionCount(), 4);
    EXPECT_EQ(ellipse.flattening(), 0.25);
    EXPECT_EQ(ellipse.rotateAngle(), 30.0);
    EXPECT_EQ(ellipse.standbyAngle(), 135.0);
    EXPECT_EQ(ellipse.damping().naturalFrequency(), 5.0);
    EXPECT_EQ(ellipse.damping().dampingRatio(), 0.4);
}

TEST_F(LoadSequence, AFurtherGaugeInheritsNothingFromTheMainProfile) {
    Beside("Mirevane.ini", FileNameSection({{0, "a"}}) +
                               "[SubjectKey]\nSubject=bc\n[PanelIndex]\nNeedle=3\nEllipse0=8\n"
                               "[Vibration]\nPeriod=2\nAmplitude=3\n[Ellipse]\nDivision=3\n"
                               "StandbyAngle=100\n[Advanced]\nMaxArrayIndex=50\n");
    Beside("a.ini", "");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 2);
    EXPECT_EQ(gauges_.subjects()[1].index(), 1); // kmph, not bc
    EXPECT_EQ(gauges_.subjects()[1].maxIndex(), 255);
    EXPECT_EQ(gauges_.needlePanelIndex()[1], -1);
    EXPECT_FALSE(gauges_.isElliptic()[1]);
    EXPECT_EQ(gauges_.vibrations()[1].amplitude(), 0.0);
    EXPECT_EQ(gauges_.vibrations()[1].spatialFrequency(), 0.0);
    EXPECT_EQ(gauges_.ellipses()[1].panelIndices()[0], -1);
    EXPECT_EQ(gauges_.ellipses()[1].standbyAngle(), 180.0);
}

TEST_F(LoadSequence, TheFallbackProfileFillsWhatEachProfileLacks) {
    Fallback("[SubjectKey]\nSubject=mr\n[Ellipse]\nStandbyAngle=90\n");
    Beside("Mirevane.ini", FileNameSection({{0, "a"}, {1, "b"}}) + "[SubjectKey]\nSubject=bc\n");
    Beside("a.ini", "[Ellipse]\nStandbyAngle=45\n");
    Beside("b.ini", "[SubjectKey]\nSubject=sap\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 3);
    // Subject: bc (main), mr (fallback, a lacks it), sap (b's own).
    EXPECT_EQ(gauges_.subjects()[0].index(), 2);
    EXPECT_EQ(gauges_.subjects()[1].index(), 3);
    EXPECT_EQ(gauges_.subjects()[2].index(), 4);
    EXPECT_EQ(gauges_.ellipses()[0].standbyAngle(), 90.0);
    EXPECT_EQ(gauges_.ellipses()[1].standbyAngle(), 45.0);
    EXPECT_EQ(gauges_.ellipses()[2].standbyAngle(), 90.0);
}

TEST_F(LoadSequence, MaxArrayIndexNarrowsWhatTheSubjectReadsAfterItIsParsed) {
    // Main: panel 150 parsed (the parse bound is 255), then bounded by 100: value 0.
    // a: a negative setting leaves the bound at 255: the entry is read.
    Beside("Mirevane.ini", FileNameSection({{0, "a"}}) +
                               "[SubjectKey]\nSubject=panel150\n[PanelIndex]\nNeedle=20\n"
                               "[Advanced]\nMaxArrayIndex=100\n");
    Beside("Mirevane.csv", "0,0\n10000,10000\n");
    Beside("a.ini", "[SubjectKey]\nSubject=panel150\n[PanelIndex]\nNeedle=21\n"
                    "[Advanced]\nMaxArrayIndex=-1\n");
    Beside("a.csv", "0,0\n10000,10000\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 2);
    EXPECT_EQ(gauges_.subjects()[0].kind(), Subject::kPanel);
    EXPECT_EQ(gauges_.subjects()[0].index(), 150);
    EXPECT_EQ(gauges_.subjects()[0].maxIndex(), 100);
    EXPECT_EQ(gauges_.subjects()[1].index(), 150);
    EXPECT_EQ(gauges_.subjects()[1].maxIndex(), 255);

    for (int frame = 0; frame < 3; ++frame) {
        const Panel panel = Frame();
        EXPECT_EQ(panel[20], 180000);  // value 0 on the identity table, plus 180
        EXPECT_EQ(panel[21], 5180000); // entry 150 holds 5000
    }
}

TEST_F(LoadSequence, EllipseKeysGiveTheDivisionsTheirPanelEntries) {
    Beside("Mirevane.ini",
           "[PanelIndex]\nNeedle=12\nEllipse15=40\nEllipse16=41\n[Ellipse]\nDivision=20\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 1);
    const std::vector<int32_t>& entries = gauges_.ellipses()[0].panelIndices();
    ASSERT_EQ(entries.size(), 64u);
    EXPECT_EQ(entries[15], 40);
    EXPECT_EQ(entries[16], 41);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), -1), 62);
    EXPECT_EQ(gauges_.ellipses()[0].divisionCount(), 20);
    EXPECT_TRUE(gauges_.isElliptic()[0]);
    // An elliptic gauge draws on its division entries only, never on its needle entry.
    EXPECT_EQ(Frame()[12], kUntouched);
}

struct DivisionCase {
    int32_t division;
    bool elliptic;
    int32_t divisionCount;
};

class LoadSequenceDivision : public LoadSequence,
                             public testing::WithParamInterface<DivisionCase> {};

TEST_P(LoadSequenceDivision, TheRawSettingDecidesWhetherTheGaugeIsElliptic) {
    const DivisionCase& c = GetParam();
    Beside("Mirevane.ini",
           "[PanelIndex]\nNeedle=12\n[Ellipse]\nDivision=" + std::to_string(c.division) + "\n");
    gauges_.Load(Library());

    ASSERT_EQ(gauges_.gaugeCount(), 1);
    EXPECT_EQ(gauges_.isElliptic()[0], c.elliptic);
    EXPECT_EQ(gauges_.ellipses()[0].divisionCount(), c.divisionCount);
    // A plain needle on an empty table stands at 180 degrees on its needle entry.
    EXPECT_EQ(Frame()[12], c.elliptic ? kUntouched : 180000);
}

INSTANTIATE_TEST_SUITE_P(Divisions, LoadSequenceDivision,
                         testing::Values(DivisionCase{-3, false, 2}, DivisionCase{0, false, 2},
                                         DivisionCase{1, false, 2}, DivisionCase{2, true, 2},
                                         DivisionCase{20, true, 20}, DivisionCase{100, true, 64}));

// --- Load called again ---

TEST_F(LoadSequence, ASecondLoadAppendsAndGivesEveryGaugeFromIndexOneItsSteps) {
    TempDir other;
    Beside("Mirevane.ini", FileNameSection({{0, "a"}}) +
                               "[PanelIndex]\nNeedle=1\n[StepValue]\nValue=3\n"
                               "[KeyIndex]\nCopyValueToClipboard=E\n");
    Beside("a.ini", "[PanelIndex]\nNeedle=2\n");
    other.Write("Mirevane.ini", FileNameSection({{0, "b"}}) +
                                    "[PanelIndex]\nNeedle=3\n[StepValue]\nValue=7\n"
                                    "[DeveloperMode]\nEnabled=1\n");
    other.Write("b.ini", "[PanelIndex]\nNeedle=4\n");

    gauges_.Load(Library());
    ASSERT_EQ(gauges_.gaugeCount(), 2);
    EXPECT_EQ(gauges_.keyBindings()[0], 8);

    gauges_.Load(other.path().string() + "/Mirevane.dll");
    ASSERT_EQ(gauges_.gaugeCount(), 4);
    EXPECT_THAT(NeedleEntries(), ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(gauges_.keyBindings(), kDefaultBindings);
    // Gauge 0 keeps the first main profile's own step; every later one has the second's.
    std::vector<double> valueSteps;
    std::vector<bool> enabled;
    for (const NeedleScale& scale : gauges_.scales()) {
        valueSteps.push_back(scale.valueStep());
        enabled.push_back(scale.developerEnabled());
    }
    EXPECT_THAT(valueSteps, ElementsAre(3.0, 7.0, 7.0, 7.0));
    EXPECT_THAT(enabled, ElementsAre(false, true, true, true));
}

TEST_F(LoadSequence, ASecondLoadWithoutAMainProfileChangesNothing) {
    TempDir empty;
    Beside("Mirevane.ini", FileNameSection({{0, "a"}}) + "[KeyIndex]\nResetAdjustValue=J\n");
    Beside("a.ini", "");
    gauges_.Load(Library());
    gauges_.Load(empty.path().string() + "/Mirevane.dll");

    EXPECT_EQ(gauges_.gaugeCount(), 2);
    EXPECT_THAT(gauges_.keyBindings(), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 13));
}

} // namespace
} // namespace mirevane
