// calibrate --write on a cab whose file the workspace refuses to change: the refusal reaches
// the user as one located diagnostic line with its code (exit status 2 in main), and nothing
// is written.
#include "calibrate/calibrate_command.h"
#include "common/tool_error.h"
#include "support/temp_dir.h"
#include "workspace/cab_save.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace mirevane::tool {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;

// The printed rows are not under test here.
class QuietOutput {
public:
    QuietOutput() : saved_(std::cout.rdbuf(sink_.rdbuf())) {}
    ~QuietOutput() { std::cout.rdbuf(saved_); }

private:
    std::ostringstream sink_;
    std::streambuf* saved_;
};

class CalibrateWriteTest : public testing::Test {
protected:
    // Gauge 0 draws on the main profile's table; gauge 1 is ours, its table `table`.
    void MakeCab(const std::string& gaugeName, const std::string& table) {
        dir.Write("Mirevane.ini", "[FileName]\r\nGauge0 = " + gaugeName +
                                      "\r\n[SubjectKey]\r\nSubject = kmph\r\n"
                                      "[PanelIndex]\r\nNeedle = 20\r\n");
        dir.Write("Mirevane.csv", "0,0\r\n200,300\r\n");
        tablePath = gaugeName.rfind("../", 0) == 0 ? outside / "g.csv" : dir / "g.csv";
        std::ofstream(tablePath, std::ios::binary) << table;
        std::ofstream(fs::path(tablePath).replace_extension(".ini"), std::ios::binary)
            << "[SubjectKey]\r\nSubject = kmph\r\n[PanelIndex]\r\nNeedle = 21\r\n";
    }

    // The diagnostic line calibrate --write on gauge 1 ends with.
    std::string RefusalLine() {
        CalibrateOptions o;
        o.argument = dir / "Mirevane.dll";
        o.pluginPath = o.argument;
        o.gauge = 1;
        o.hub = "400,300";
        o.marks = {"0@400,120", "100@580,300"};
        o.write = true;
        QuietOutput quiet;
        try {
            CalibrateCommand(o);
        } catch (const InputError& e) {
            return e.Line();
        }
        return "(saved)";
    }

    test::TempDir dir;
    test::TempDir outside;
    std::string tablePath;
};

TEST_F(CalibrateWriteTest, ASaveInProgressIsRefusedAtItsRecord) {
    MakeCab("g", "0,0\r\n200,300\r\n");
    const fs::path cab = fs::canonical(dir.path());
    CabSave running(cab, {{cab / "g.csv", "g.csv", ReadBytes(tablePath), "0,1\r\n"}});
    running.Prepare();
    const std::string record = (cab / ".mirevane-save").string();
    EXPECT_EQ(RefusalLine(), record + ": error: another save of this cab is in progress (" +
                                 record +
                                 "): try again; if no studio runs on the cab, look at that file "
                                 "and remove it [save-refused]");
    EXPECT_EQ(ReadBytes(tablePath), "0,0\r\n200,300\r\n");
    EXPECT_FALSE(fs::exists(tablePath + ".bak"));
}

TEST_F(CalibrateWriteTest, AFileItMayNotChangeIsRefusedAtThatFile) {
    struct Case {
        const char* name;
        std::string gauge;
        std::string table;
        const char* words;
    };
    const Case cases[] = {
        {"OutsideTheCab", "../" + outside.path().filename().string() + "/g", "0,0\r\n",
         " lies outside the cab's folder"},
        {"SavedAsUtf16", "g",
         std::string("\xff\xfe"
                     "0\0,\0"
                     "0\0",
                     8),
         " is saved as UTF-16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeCab(c.gauge, c.table);
        const std::string line = RefusalLine();
        // FILE: error: message [code], the file as Load names it.
        const std::string file = line.substr(0, line.find(": error: "));
        EXPECT_EQ(fs::canonical(file), fs::canonical(tablePath)) << line;
        EXPECT_NE(line.find(": error: " + file + c.words), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - 19), " [cab-file-refused]") << line;
        EXPECT_EQ(ReadBytes(tablePath), c.table);
        EXPECT_FALSE(fs::exists(tablePath + ".bak"));
    }
}

} // namespace
} // namespace mirevane::tool
