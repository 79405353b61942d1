// A save of several files, all of it or none: a file found changed right before its
// replacement puts back the ones already replaced, and a save cut short is undone by the next
// one from its hidden record, never over a file someone changed since, never one of a studio
// that may still run.
#include "support/temp_dir.h"
#include "workspace/cab_save.h"
#include "workspace/edit_refused.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace mirevane::tool {
namespace {
namespace fs = std::filesystem;

using test::ReadBytes;

// Every hidden file a save keeps while it runs (its record, new and old bytes), anywhere.
std::vector<std::string> HiddenFiles(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.' && name.find("mirevane") != std::string::npos) {
            found.push_back(name);
        }
    }
    return found;
}

// A process of this id that is not this process: it started at another moment.
ProcessIdentity DeadStudio() {
    ProcessIdentity dead = ThisProcess();
    dead.start += 1;
    return dead;
}

class CabSaveTest : public testing::Test {
protected:
    void SetUp() override {
        cab = fs::canonical(dir.path());
        fs::create_directories(cab / "sub");
        dir.Write("Mirevane.ini", "[Damping]\nNaturalFreq = 8\n");
        dir.Write("sub/bc.csv", "0,10\n500,100\n");
        files = {{cab / "Mirevane.ini", "Mirevane.ini", "[Damping]\nNaturalFreq = 8\n",
                  "[Damping]\nNaturalFreq = 9\n"},
                 {cab / "sub" / "bc.csv", "sub/bc.csv", "0,10\n500,100\n", "0,12\n500,100\n"},
                 {cab / "sub" / "bc.csv.bak", "sub/bc.csv.bak", std::nullopt, "0,10\n500,100\n"}};
    }
    bool AllOld() const {
        return ReadBytes(cab / "Mirevane.ini") == *files[0].old &&
               ReadBytes(cab / "sub" / "bc.csv") == *files[1].old &&
               !fs::exists(cab / "sub" / "bc.csv.bak");
    }
    // What a save killed after replacing the first file left: its new bytes put in place.
    void ReplaceFirstAsAKilledSaveDid() const {
        for (const auto& entry : fs::directory_iterator(cab)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".Mirevane.ini.mirevane-", 0) == 0 && name.size() > 4 &&
                name.substr(name.size() - 4) == ".new") {
                fs::rename(entry.path(), cab / "Mirevane.ini");
                return;
            }
        }
        FAIL() << "no new bytes beside Mirevane.ini";
    }
    test::TempDir dir;
    fs::path cab;
    std::vector<Replacement> files;
};

TEST_F(CabSaveTest, ACompleteSaveReplacesEveryFileAndLeavesNoHiddenFile) {
    CabSave save(cab, files);
    save.Prepare();
    EXPECT_TRUE(AllOld()); // prepared: nothing replaced yet
    EXPECT_EQ(save.Replace(), std::vector<std::string>{});
    for (const Replacement& f : files) {
        EXPECT_EQ(ReadBytes(f.target), f.bytes) << f.shown;
    }
    EXPECT_EQ(HiddenFiles(cab), std::vector<std::string>{});
}

TEST_F(CabSaveTest, AFileChangedBeforeItsReplacementPutsBackTheFilesReplaced) {
    CabSave save(cab, files);
    save.Prepare();
    dir.Write("sub/bc.csv", "0,10\n500,100\n999,120\n"); // an outside program, just before
    EXPECT_EQ(save.Replace(), std::vector<std::string>{"sub/bc.csv"});
    EXPECT_EQ(ReadBytes(cab / "Mirevane.ini"), *files[0].old); // replaced, then put back
    EXPECT_EQ(ReadBytes(cab / "sub" / "bc.csv"), "0,10\n500,100\n999,120\n");
    EXPECT_FALSE(fs::exists(cab / "sub" / "bc.csv.bak"));
    EXPECT_EQ(HiddenFiles(cab), std::vector<std::string>{});
}

TEST_F(CabSaveTest, AFileThatAppearedIsNotReplaced) {
    CabSave save(cab, files);
    save.Prepare();
    dir.Write("sub/bc.csv.bak", "someone's own backup");
    EXPECT_EQ(save.Replace(), std::vector<std::string>{"sub/bc.csv.bak"});
    EXPECT_EQ(ReadBytes(cab / "sub" / "bc.csv.bak"), "someone's own backup");
    EXPECT_EQ(ReadBytes(cab / "Mirevane.ini"), *files[0].old);
    EXPECT_EQ(ReadBytes(cab / "sub" / "bc.csv"), *files[1].old);
}

TEST_F(CabSaveTest, ASaveCutShortIsUndoneByTheNext) {
    struct Cut {
        const char* name;
        bool firstReplaced; // the kill fell after the first replacement
        bool changedSince;  // and someone wrote the first file before the next start
    };
    for (const Cut& cut :
         {Cut{"BeforeAnyReplacement", false, false}, Cut{"AfterTheFirstReplacement", true, false},
          Cut{"AFileWrittenSinceStaysAsWritten", true, true}}) {
        SCOPED_TRACE(cut.name);
        CabSave killed(cab, files, DeadStudio());
        killed.Prepare();
        if (cut.firstReplaced) {
            ReplaceFirstAsAKilledSaveDid();
        }
        if (cut.changedSince) {
            dir.Write("Mirevane.ini", "; written by hand since\n");
        }
        EXPECT_TRUE(FinishInterruptedSave(cab));
        EXPECT_EQ(ReadBytes(cab / "Mirevane.ini"),
                  cut.changedSince ? "; written by hand since\n" : *files[0].old);
        EXPECT_EQ(ReadBytes(cab / "sub" / "bc.csv"), *files[1].old);
        EXPECT_FALSE(fs::exists(cab / "sub" / "bc.csv.bak"));
        EXPECT_EQ(HiddenFiles(cab), std::vector<std::string>{});
        EXPECT_FALSE(FinishInterruptedSave(cab)); // nothing left to do
        dir.Write("Mirevane.ini", *files[0].old);
    }
}

TEST_F(CabSaveTest, ASaveOfAStudioThatMayStillRunIsLeftAlone) {
    CabSave running(cab, files);
    running.Prepare();
    const std::vector<std::string> hidden = HiddenFiles(cab);
    EXPECT_FALSE(FinishInterruptedSave(cab));
    EXPECT_EQ(HiddenFiles(cab), hidden);
    // A second save on the cab waits for it.
    CabSave second(cab, files);
    try {
        second.Prepare();
        ADD_FAILURE() << "two saves of one cab at once";
    } catch (const EditRefused& e) {
        EXPECT_EQ(e.reason(), RefusalReason::kSaveInProgress) << e.what();
        EXPECT_EQ(e.file(), (cab / ".mirevane-save").string());
    }
    EXPECT_EQ(HiddenFiles(cab), hidden);
    EXPECT_EQ(running.Replace(), std::vector<std::string>{});
}

TEST_F(CabSaveTest, ARecordLeftEmptyByAKillGoesOnceItStaysEmpty) {
    const std::string record = dir.Write(".mirevane-save", "");
    EXPECT_TRUE(FinishInterruptedSave(cab)); // waits until it is old enough to be abandoned
    EXPECT_FALSE(fs::exists(record));
    // A record written while the next start waits is a live studio's: it stays.
    dir.Write(".mirevane-save", "");
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        dir.Write(".mirevane-save", "a studio's record, written late");
    });
    EXPECT_FALSE(FinishInterruptedSave(cab));
    writer.join();
    EXPECT_TRUE(fs::exists(record));
    dir.Write(".mirevane-save", "not a record of a save");
    fs::last_write_time(record, fs::last_write_time(record) - std::chrono::seconds(10));
    EXPECT_FALSE(FinishInterruptedSave(cab)); // not the studio's: left for a person to look at
    EXPECT_TRUE(fs::exists(record));
}

TEST_F(CabSaveTest, AStudioThatFailsPutsEverythingBack) {
    {
        CabSave abandoned(cab, files);
        abandoned.Prepare();
    } // an exception between Prepare and Replace
    EXPECT_TRUE(AllOld());
    EXPECT_EQ(HiddenFiles(cab), std::vector<std::string>{});
}

} // namespace
} // namespace mirevane::tool
