// The studio's workspace: a value edited in a profile as a careful hand would edit it (the
// platform's own profile functions read the new value, and nothing else moves), a table's
// rows rewritten around its comments, and the save that never loses a byte: a backup of each
// original, nothing written when any file read changed on disk, an older backup kept unless
// asked, the files written where they were read and never through a link out of the cab.
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "workspace/profile_edit.h"
#include "workspace/table_edit.h"
#include "workspace/workspace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mirevane::tool {
namespace {

using test::ReadBytes;

struct ProfileEditCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class ProfileEditTest : public testing::TestWithParam<ProfileEditCase> {};

TEST_P(ProfileEditTest, ChangesOnlyTheValueAndThePlatformReadsIt) {
    const ProfileEditCase& c = GetParam();
    const std::string edited = SetProfileValue(c.before, c.section, c.key, c.value);
    EXPECT_EQ(edited, c.after);
    // The platform's own profile functions (the Windows ones in the Windows builds) agree.
    test::TempDir dir;
    const std::string path = dir.Write("edited.ini", edited);
    EXPECT_EQ(platform::ProfileText(path, c.section, c.key, "<absent>"), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ProfileEditTest,
    testing::Values(
        ProfileEditCase{"ValueReplacedInPlace", "[Damping]\r\nNaturalFreq = 8\r\n", "Damping",
                        "NaturalFreq", "9.5", "[Damping]\r\nNaturalFreq = 9.5\r\n"},
        ProfileEditCase{"LetterCaseAndBlanksKept", "[damping]\n  naturalfreq\t=   8   \n",
                        "Damping", "NaturalFreq", "12", "[damping]\n  naturalfreq\t=   12   \n"},
        ProfileEditCase{"TrailingTextIsPartOfTheValue", "[Damping]\nDampingRatio = 0.5 ; light\n",
                        "Damping", "DampingRatio", "0.7", "[Damping]\nDampingRatio = 0.7\n"},
        ProfileEditCase{"OnlyTheFirstSectionIsLookedUp",
                        "[Ellipse]\nDivision = 8\n[Ellipse]\nFlattening = 0.3\n", "Ellipse",
                        "Flattening", "0.4",
                        "[Ellipse]\nDivision = 8\nFlattening = 0.4\n[Ellipse]\nFlattening = 0.3\n"},
        ProfileEditCase{"OnlyTheFirstKeyIsLookedUp", "[Vibration]\nPeriod = 1\nPeriod = 2\n",
                        "Vibration", "Period", "3", "[Vibration]\nPeriod = 3\nPeriod = 2\n"},
        ProfileEditCase{"EmptyValueFilled", "[Vibration]\r\nAmplitude =\r\n", "Vibration",
                        "Amplitude", "0.8", "[Vibration]\r\nAmplitude = 0.8\r\n"},
        ProfileEditCase{"LineWithoutEqualsGetsOne", "[Vibration]\nThreshold\n", "Vibration",
                        "Threshold", "2", "[Vibration]\nThreshold = 2\n"},
        ProfileEditCase{"AbsentKeyJoinsItsSectionBeforeAClosingComment",
                        "[Ellipse]\r\nDivision = 8\r\n\r\n; the damping below\r\n[Damping]\r\n",
                        "Ellipse", "RotateAngle", "30",
                        "[Ellipse]\r\nDivision = 8\r\nRotateAngle = 30\r\n\r\n; the damping "
                        "below\r\n[Damping]\r\n"},
        ProfileEditCase{"AbsentKeyInAnEmptySection", "[Damping]\n[Ellipse]\nDivision = 8",
                        "Damping", "DampingRatio", "0.5",
                        "[Damping]\nDampingRatio = 0.5\n[Ellipse]\nDivision = 8"},
        ProfileEditCase{"AbsentKeyAfterALastLineWithoutEnd", "[Damping]\nNaturalFreq = 8",
                        "Damping", "DampingRatio", "0.5",
                        "[Damping]\nNaturalFreq = 8\nDampingRatio = 0.5"},
        ProfileEditCase{"AbsentSectionAddedAtTheEndInTheFilesLineEnds",
                        "; gauge\r\n[SubjectKey]\r\nSubject = bc", "Damping", "NaturalFreq", "8",
                        "; gauge\r\n[SubjectKey]\r\nSubject = bc\r\n\r\n[Damping]\r\nNaturalFreq = "
                        "8\r\n"},
        ProfileEditCase{"EmptyFile", "", "Damping", "NaturalFreq", "8",
                        "[Damping]\r\nNaturalFreq = 8\r\n"},
        ProfileEditCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[Damping]\nNaturalFreq = 8\n", "Damping",
                        "NaturalFreq", "4", "\xEF\xBB\xBF[Damping]\nNaturalFreq = 4\n"}),
    [](const testing::TestParamInfo<ProfileEditCase>& info) { return info.param.name; });

struct TableEditCase {
    const char* name;
    std::string before;
    std::vector<TableRow> rows;
    std::string after;
};

class TableEditTest : public testing::TestWithParam<TableEditCase> {};

TEST_P(TableEditTest, RowsRewrittenAroundComments) {
    const TableEditCase& c = GetParam();
    const std::string edited = SetTableRows(c.before, c.rows);
    EXPECT_EQ(edited, c.after);
    std::vector<TableRow> sorted = c.rows;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TableRow& a, const TableRow& b) { return a.value < b.value; });
    EXPECT_EQ(TableRows(edited), sorted);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TableEditTest,
                         testing::Values(TableEditCase{"UnchangedRowsKeepTheirText",
                                                       "0,30.0\r\n100,57.2\r\n",
                                                       {{0, 30}, {100, 60}},
                                                       "0,30.0\r\n100,60\r\n"},
                                         TableEditCase{"CommentsStayWhereTheyAre",
                                                       "; speed\n0,30\n; mid\n100,60\n",
                                                       {{100, 60}, {0, 31}, {50, 45}},
                                                       "; speed\n0,31\n; mid\n50,45\n100,60\n"},
                                         TableEditCase{"FewerRowsRemoveLines",
                                                       "0,30\n50,45\n100,60\n# end\n",
                                                       {{0, 30}},
                                                       "0,30\n# end\n"},
                                         TableEditCase{"LastLineWithoutEnd",
                                                       "0,30\n100,60",
                                                       {{0, 30}, {100, 60}, {200, 90}},
                                                       "0,30\n100,60\n200,90"},
                                         TableEditCase{"NoRowsYet",
                                                       "; empty table\r\n",
                                                       {{0, 0}, {10, 5.5}},
                                                       "; empty table\r\n0,0\r\n10,5.5\r\n"}),
                         [](const testing::TestParamInfo<TableEditCase>& info) {
                             return info.param.name;
                         });

// A cab of two gauges: the main profile and one further gauge with its table.
class WorkspaceTest : public testing::Test {
protected:
    void SetUp() override {
        main = dir.Write("Mirevane.ini", "; main\r\n[SubjectKey]\r\nSubject = kmph\r\n"
                                         "[PanelIndex]\r\nNeedle = 20\r\n[FileName]\r\n"
                                         "Gauge0 = bc\r\n");
        dir.Write("Mirevane.csv", "0,0\r\n100,90\r\n");
        bc = dir.Write("bc.ini", "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 30\n");
        table = dir.Write("bc.csv", "; kPa\n0,10\n500,100\n");
    }
    test::TempDir dir;
    std::string main, bc, table;
};

TEST_F(WorkspaceTest, EditsGoToTheGaugesOwnFilesAndSaveKeepsBackups) {
    Workspace ws(dir / "Mirevane.dll");
    ASSERT_EQ(ws.gaugeCount(), 2);
    ws.SetSetting(1, "Damping", "NaturalFreq", "8");
    ws.SetTable(1, std::vector<TableRow>{{0, 10}, {250, 60}, {500, 100}});
    ws.SetSetting(0, "StepValue", "Angle", "0.5"); // read from the main profile only
    ws.LayOut();
    // Load reads the edited copy: the laid-out files hold the edits, the cab does not yet.
    EXPECT_EQ(
        ReadBytes(ws.profileOf(1).shadow),
        "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 30\n\n[Damping]\nNaturalFreq = 8\n");
    EXPECT_EQ(ReadBytes(bc), "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 30\n");

    const SaveOutcome saved = ws.Save(false);
    ASSERT_TRUE(saved.saved);
    EXPECT_EQ(saved.written.size(), 3u);
    EXPECT_EQ(ReadBytes(table), "; kPa\n0,10\n250,60\n500,100\n");
    EXPECT_EQ(ReadBytes(table + ".bak"), "; kPa\n0,10\n500,100\n");
    EXPECT_EQ(ReadBytes(main + ".bak"),
              "; main\r\n[SubjectKey]\r\nSubject = kmph\r\n"
              "[PanelIndex]\r\nNeedle = 20\r\n[FileName]\r\nGauge0 = bc\r\n");
    EXPECT_NE(ReadBytes(main).find("[StepValue]\r\nAngle = 0.5\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "Mirevane.csv.bak")); // not edited, not written
    EXPECT_FALSE(ws.dirty());

    // A second save in the same session keeps the backups of the first read.
    ws.SetSetting(1, "Damping", "NaturalFreq", "9");
    ASSERT_TRUE(ws.Save(false).saved);
    EXPECT_EQ(ReadBytes(bc + ".bak"), "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 30\n");
}

TEST_F(WorkspaceTest, AFileChangedOnDiskRefusesTheWholeSave) {
    Workspace ws(dir / "Mirevane.ini");
    ws.SetSetting(0, "Vibration", "Period", "1.2");
    ws.SetTable(1, std::vector<TableRow>{{0, 0}});
    dir.Write("bc.csv", "0,10\n500,100\n999,120\n"); // someone else's change
    const SaveOutcome outcome = ws.Save(false);
    EXPECT_FALSE(outcome.saved);
    ASSERT_EQ(outcome.conflicts.size(), 1u);
    EXPECT_EQ(outcome.conflicts[0], table);
    EXPECT_EQ(ReadBytes(table), "0,10\n500,100\n999,120\n");
    EXPECT_EQ(ReadBytes(main).find("Period"), std::string::npos); // nothing written at all
    EXPECT_FALSE(std::filesystem::exists(main + ".bak"));
    ws.Reload();
    EXPECT_FALSE(ws.dirty());
    EXPECT_EQ(ws.tableOf(1).current, "0,10\n500,100\n999,120\n");
}

TEST_F(WorkspaceTest, AnOlderDifferentBackupIsReplacedOnlyWhenAsked) {
    dir.Write("bc.ini.bak", "an older backup");
    Workspace ws(dir / "Mirevane.ini");
    ws.SetSetting(1, "Ellipse", "Flattening", "0.5");
    const SaveOutcome refused = ws.Save(false);
    EXPECT_FALSE(refused.saved);
    ASSERT_EQ(refused.backupsInTheWay.size(), 1u);
    EXPECT_EQ(ReadBytes(bc + ".bak"), "an older backup");
    EXPECT_EQ(ReadBytes(bc).find("Flattening"), std::string::npos);
    ASSERT_TRUE(ws.Save(true).saved);
    EXPECT_EQ(ReadBytes(bc + ".bak"), "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 30\n");
}

TEST_F(WorkspaceTest, TakingBackAnEditRestoresTheBytes) {
    Workspace ws(dir / "Mirevane.ini");
    const std::string before = ws.profileOf(1).current;
    ws.SetSetting(1, "Damping", "DampingRatio", "0.3");
    ws.SetSetting(1, "Damping", "DampingRatio", std::nullopt);
    EXPECT_EQ(ws.profileOf(1).current, before);
    EXPECT_FALSE(ws.dirty());
}

TEST_F(WorkspaceTest, RefusedEdits) {
    Workspace ws(dir / "Mirevane.ini");
    struct Refusal {
        int gauge;
        const char* section;
        const char* key;
        const char* value;
        RefusalReason reason;
    };
    const Refusal refusals[] = {
        {2, "Damping", "NaturalFreq", "8", RefusalReason::kNoSuchGauge},
        {-1, "Damping", "NaturalFreq", "8", RefusalReason::kNoSuchGauge},
        {0, "Damping", "NaturalFrequency", "8", RefusalReason::kNotAKey},
        {0, "..", "Subject", "x", RefusalReason::kNotAKey},
        {0, "FileName", "Gauge3", "cd", RefusalReason::kGaugeListKey},
        {0, "Damping", "NaturalFreq", "nan", RefusalReason::kBadValue},   // the plug-in takes NaN
        {0, "Damping", "NaturalFreq", "1e999", RefusalReason::kBadValue}, // and infinity
        {0, "SubjectKey", "Subject", "bc\r\n[Damping]", RefusalReason::kBadValue}, // a second line
        {0, "SubjectKey", "Subject", " bc", RefusalReason::kBadValue},
    };
    for (const Refusal& r : refusals) {
        try {
            ws.SetSetting(r.gauge, r.section, r.key, r.value);
            ADD_FAILURE() << r.section << " " << r.key << " = " << r.value << " was taken";
        } catch (const EditRefused& e) {
            EXPECT_EQ(e.reason(), r.reason) << r.key << " = " << r.value << ": " << e.what();
        }
    }
    EXPECT_THROW(ws.SetTable(1, std::vector<TableRow>{{0, std::nan("")}}), EditRefused);
    EXPECT_FALSE(ws.dirty());
}

TEST_F(WorkspaceTest, AnyFileReadThatChangedRefusesTheSave) {
    // Edited or not, inside the cab or not, changed, vanished or appeared: the page would show
    // what the disk no longer holds.
    test::TempDir outside;
    const std::string shared = outside.Write("shared.ini", "[SubjectKey]\nSubject = mr\n");
    dir.Write("Mirevane.ini", "[FileName]\r\nGauge0 = bc\r\nGauge1 = ../" +
                                  outside.path().filename().string() + "/shared\r\n");
    std::filesystem::remove(table);
    struct Change {
        const char* name;
        std::string file;
        std::optional<std::string> bytes; // nullopt: removed
    };
    const Change changes[] = {
        {"AnUneditedProfileChanged", bc, "[SubjectKey]\nSubject = mr\n"},
        {"AnUneditedProfileVanished", bc, std::nullopt},
        {"AMissingTableAppeared", table, "0,0\n"},
        {"AFileOutsideTheCabChanged", shared, "[SubjectKey]\nSubject = bc\n"},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.name);
        const std::string before = ReadBytes(c.file);
        const bool existed = std::filesystem::exists(c.file);
        Workspace ws(dir / "Mirevane.ini");
        ws.SetSetting(0, "Damping", "NaturalFreq", "8");
        if (c.bytes) {
            std::ofstream(c.file, std::ios::binary) << *c.bytes;
        } else {
            std::filesystem::remove(c.file);
        }
        const std::string mainBefore = ReadBytes(main);
        const SaveOutcome outcome = ws.Save(false);
        EXPECT_FALSE(outcome.saved);
        ASSERT_EQ(outcome.conflicts.size(), 1u);
        EXPECT_EQ(std::filesystem::path(outcome.conflicts[0]).lexically_normal(),
                  std::filesystem::path(c.file).lexically_normal());
        EXPECT_EQ(ReadBytes(main), mainBefore);
        EXPECT_FALSE(std::filesystem::exists(main + ".bak"));
        if (existed) {
            std::ofstream(c.file, std::ios::binary) << before;
        } else {
            std::filesystem::remove(c.file);
        }
    }
}

TEST_F(WorkspaceTest, AGaugeNamedWithBackslashesIsSavedIntoTheFilesRead) {
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::rename(bc, dir / "sub/bc.ini");
    std::filesystem::rename(table, dir / "sub/bc.csv");
    dir.Write("Mirevane.ini", "[FileName]\r\nGauge0 = sub\\bc\r\n");
    Workspace ws(dir / "Mirevane.ini");
    ASSERT_EQ(ws.tableOf(1).current, "; kPa\n0,10\n500,100\n");
    ws.SetTable(1, std::vector<TableRow>{{0, 12}, {500, 100}});
    ws.SetSetting(1, "Damping", "NaturalFreq", "7");
    ASSERT_TRUE(ws.Save(false).saved);
    EXPECT_EQ(ReadBytes(dir / "sub/bc.csv"), "; kPa\n0,12\n500,100\n");
    EXPECT_EQ(ReadBytes(dir / "sub/bc.csv.bak"), "; kPa\n0,10\n500,100\n");
    EXPECT_NE(ReadBytes(dir / "sub/bc.ini").find("NaturalFreq = 7"), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find('\\'), std::string::npos) << entry.path();
    }
}

TEST_F(WorkspaceTest, ABackupInTheWayStopsTheSaveBeforeAnyFileIsWritten) {
    std::filesystem::create_directory(table + ".bak"); // not a file a save may replace
    Workspace ws(dir / "Mirevane.ini");
    ws.SetSetting(0, "Damping", "NaturalFreq", "8");
    ws.SetTable(1, std::vector<TableRow>{{0, 0}});
    const std::string before = ReadBytes(main);
    EXPECT_THROW(ws.Save(true), EditRefused);
    EXPECT_EQ(ReadBytes(main), before);
    EXPECT_FALSE(std::filesystem::exists(main + ".bak"));
    EXPECT_TRUE(ws.dirty());
}

#ifndef _WIN32
TEST_F(WorkspaceTest, AFileReachedThroughALinkOutOfTheCabIsNeverWritten) {
    test::TempDir elsewhere;
    std::filesystem::create_directory(elsewhere.path() / "inner");
    elsewhere.Write("bc.ini", "[SubjectKey]\nSubject = bc\n");
    elsewhere.Write("bc.csv", "0,1\n");
    std::filesystem::create_directory_symlink(elsewhere.path() / "inner", dir / "lnk");
    std::filesystem::create_directory_symlink(elsewhere.path(), dir / "gauges");
    for (const char* name : {"lnk/../bc", "gauges/bc"}) {
        SCOPED_TRACE(name);
        dir.Write("Mirevane.ini", std::string("[FileName]\r\nGauge0 = ") + name + "\r\n");
        Workspace ws(dir / "Mirevane.ini");
        ASSERT_EQ(ws.tableOf(1).current, "0,1\n"); // read where the plug-in reads it
        try {
            ws.SetTable(1, std::vector<TableRow>{{0, 2}});
            ADD_FAILURE() << "an edit of a file outside the cab was taken";
        } catch (const EditRefused& e) {
            EXPECT_EQ(e.reason(), RefusalReason::kLeadsOutOfTheCab) << e.what();
        }
        EXPECT_EQ(ReadBytes(elsewhere / "bc.csv"), "0,1\n");
    }
    // A folder of the cab turned into such a link after the edit: the save is refused.
    std::filesystem::remove(dir / "gauges");
    std::filesystem::create_directory(dir / "gauges");
    dir.Write("gauges/bc.ini", "[SubjectKey]\nSubject = bc\n");
    dir.Write("gauges/bc.csv", "0,1\n");
    Workspace ws(dir / "Mirevane.ini");
    ws.SetTable(1, std::vector<TableRow>{{0, 2}});
    std::filesystem::remove_all(dir / "gauges");
    std::filesystem::create_directory_symlink(elsewhere.path(), dir / "gauges");
    try {
        ws.Save(false);
        ADD_FAILURE() << "a save through a link out of the cab went ahead";
    } catch (const EditRefused& e) {
        EXPECT_EQ(e.reason(), RefusalReason::kLeadsOutOfTheCab) << e.what();
    }
    EXPECT_EQ(ReadBytes(elsewhere / "bc.csv"), "0,1\n");
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "bc.csv.bak"));
}
#endif

} // namespace
} // namespace mirevane::tool
