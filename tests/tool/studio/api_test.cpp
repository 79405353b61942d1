// The studio's request handler, without HTTP: every request it cannot take gets its status
// and a JSON body saying why, and leaves the workspace (its edits, the view the engine
// makes of it) and the cab's files as they were, before any edit and after one. The server's
// own refusals (token, Host, Origin) are tested through HTTP in test_studio.py.
#include "studio/api.h"
#include "studio/request_guard.h"
#include "studio/session.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace mirevane::tool {
namespace {

std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[entry.path().filename().string()] = bytes.str();
    }
    return files;
}

std::string Rows(int count) {
    std::string rows;
    for (int i = 0; i < count; ++i) {
        rows += (i ? ",[" : "[") + std::to_string(i) + ",0]";
    }
    return "[" + rows + "]";
}

struct Refusal {
    const char* name;
    const char* method;
    const char* path;
    std::string body;
    int status;
    const char* says; // words of the error
};

const Refusal kRefusals[] = {
    {"the view by POST", "POST", "/api/view", "", 405, "use GET for /api/view"},
    {"an edit by GET", "GET", "/api/edit", "", 405, "use POST for /api/edit"},
    {"a reload by GET", "GET", "/api/reload", "", 405, "use POST"},
    {"an unknown request", "POST", "/api/write", "{}", 404, "no such request: /api/write"},
    {"a path past a request", "GET", "/api/view/../save", "", 404, "no such request"},
    {"a body past the limit", "POST", "/api/edit", std::string(kMostRequestBytes + 1, ' '), 413,
     "larger than the studio reads"},
    {"JSON cut short", "POST", "/api/edit", R"({"gauge": 0,)", 400, "not a JSON object"},
    {"a list for an object", "POST", "/api/edit", "[0, 1]", 400, "not a JSON object"},
    {"an edit of no gauge", "POST", "/api/edit", R"({"section": "Damping"})", 400,
     "no field 'gauge'"},
    {"a gauge as text", "POST", "/api/edit", R"({"gauge": "0", "rows": null})", 400,
     "'gauge' is not a whole number"},
    {"a gauge past any count", "POST", "/api/edit", R"({"gauge": 10000000000, "rows": null})", 400,
     "'gauge' is not a whole number"},
    {"a gauge the cab has not", "POST", "/api/edit",
     R"({"gauge": 7, "section": "Damping", "key": "NaturalFreq", "value": "3"})", 404,
     "there is no gauge 7"},
    {"a key of no section", "POST", "/api/edit",
     R"({"gauge": 0, "section": "Damping", "key": "Colour", "value": "3"})", 400,
     "not a key of the profile format"},
    {"a value as a number", "POST", "/api/edit",
     R"({"gauge": 0, "section": "Damping", "key": "NaturalFreq", "value": 3})", 400,
     "'value' is the text of the profile line"},
    {"a value of two lines", "POST", "/api/edit",
     R"({"gauge": 0, "section": "SubjectKey", "key": "Subject", "value": "bc\n[FileName]"})", 422,
     "one line"},
    {"a row of three", "POST", "/api/edit", R"({"gauge": 0, "rows": [[0, 0, 0]]})", 400,
     "a table row is [value, angle]"},
    {"a bad row after good ones", "POST", "/api/edit",
     R"({"gauge": 0, "rows": [[0, 0], [50, 90], [100, "x"]]})", 400,
     "a row's angle is not a finite number"},
    {"an infinite setting", "POST", "/api/edit",
     R"({"gauge": 0, "section": "Damping", "key": "NaturalFreq", "value": "inf"})", 422,
     "NaturalFreq = inf is not a finite number"},
    {"a further gauge file", "POST", "/api/edit",
     R"({"gauge": 0, "section": "FileName", "key": "Gauge5", "value": "other"})", 400,
     "adds or removes a gauge"},
    {"rows past the limit", "POST", "/api/edit", R"({"gauge": 0, "rows": )" + Rows(10001) + "}",
     400, "at most 10000"},
    {"a save asked in words", "POST", "/api/save", R"({"replaceBackups": "yes"})", 400,
     "'replaceBackups' is true or false"},
    {"an angle without y", "POST", "/api/angle", R"({"gauge": 0, "x": 1, "near": 0})", 400,
     "no field 'y'"},
    {"an angle of a gauge the cab has not", "POST", "/api/angle",
     R"({"gauge": 3, "x": 1, "y": 1, "near": 0})", 404, "there is no gauge 3"},
    {"a hub of one number", "POST", "/api/calibrate",
     R"({"gauge": 0, "hub": [1], "marks": [], "rim": []})", 400, "'hub' is [x, y]"},
    {"a mark without its value", "POST", "/api/calibrate",
     R"({"gauge": 0, "hub": [0, 0], "marks": [[10, 20]], "rim": []})", 400,
     "a mark is [value, x, y]"},
    {"a rim that is no list", "POST", "/api/calibrate",
     R"({"gauge": 0, "hub": [0, 0], "marks": [], "rim": {}})", 400, "lists of at most 1000"},
    {"turns in words", "POST", "/api/calibrate",
     R"({"gauge": 0, "hub": [0, 0], "marks": [], "rim": [], "turns": "one"})", 400,
     "'turns' is not a finite number"},
    {"the panel in words", "POST", "/api/calibrate",
     R"({"gauge": 0, "panel": "yes", "marks": [], "rim": []})", 400, "'panel' is true or false"},
    {"the panel of a studio without one", "POST", "/api/calibrate",
     R"({"gauge": 0, "panel": true, "marks": [], "rim": []})", 422, "has no panel file"},
    {"a picture by POST", "POST", "/api/picture?name=a.png", "{}", 405, "use GET for /api/picture"},
    {"a picture without its name", "GET", "/api/picture?names=a.png", "", 400, "no name="},
    {"a picture's name with a broken escape", "GET", "/api/picture?name=a%2", "", 400,
     "broken %-escape"},
    {"a picture of a studio without a panel", "GET", "/api/picture?name=Cab.csv", "", 404,
     "serves no picture"},
};

class StudioApiTest : public testing::Test {
protected:
    StudioApiTest() {
        folder.Write("Cab.ini",
                     "[SubjectKey]\r\nSubject = kmph\r\n[PanelIndex]\r\nNeedle = 20\r\n");
        folder.Write("Cab.csv", "0,0\r\n100,270\r\n");
        options.argument = options.pluginPath = folder / "Cab.dll";
        options.scenario = scenarios.Write("run.csv", "time,speed\n0,0\n500,60\n1000,100\n");
    }

    test::TempDir folder;
    test::TempDir scenarios; // beside, not in, the cab's folder
    StudioOptions options;
};

TEST_F(StudioApiTest, EveryRefusalSaysWhyAndChangesNothing) {
    Session session(options);
    const std::map<std::string, std::string> files = FilesIn(folder.path());
    for (const bool edited : {false, true}) {
        if (edited) {
            // A refusal must not drop an edit made before it either.
            const ApiReply reply = HandleApi(session, "POST", "/api/edit",
                                             R"({"gauge": 0, "rows": [[0, 0], [100, 180]]})");
            ASSERT_EQ(reply.status, 200) << reply.body.substr(0, 300);
        }
        const std::string view = session.View(false).dump();
        ASSERT_EQ(nlohmann::json::parse(view).at("dirty"), edited);
        for (const Refusal& r : kRefusals) {
            SCOPED_TRACE(std::string(r.name) + (edited ? ", after an edit" : ""));
            const ApiReply reply = HandleApi(session, r.method, r.path, r.body);
            EXPECT_EQ(reply.status, r.status) << reply.body.substr(0, 300);
            const nlohmann::json answer = nlohmann::json::parse(reply.body, nullptr, false);
            ASSERT_TRUE(answer.is_object() && answer.contains("error"))
                << reply.body.substr(0, 300);
            EXPECT_NE(answer.at("error").get<std::string>().find(r.says), std::string::npos)
                << answer.at("error");
            EXPECT_EQ(session.View(false).dump(), view);
        }
        EXPECT_EQ(FilesIn(folder.path()), files);
    }
}

TEST_F(StudioApiTest, TheRequestsTakenAnswerWithWhatChanged) {
    // The other side of the table above: well-formed requests are taken, an edit changes the
    // view the refusals left alone, and a reload drops it again.
    Session session(options);
    const std::string before = session.View(false).dump();
    const ApiReply edit =
        HandleApi(session, "POST", "/api/edit",
                  R"({"gauge": 0, "section": "SubjectKey", "key": "Subject", "value": "bc"})");
    ASSERT_EQ(edit.status, 200) << edit.body.substr(0, 300);
    const nlohmann::json view = nlohmann::json::parse(edit.body);
    EXPECT_TRUE(view.at("dirty").get<bool>());
    EXPECT_NE(session.View(false).dump(), before);
    const ApiReply angle =
        HandleApi(session, "POST", "/api/angle", R"({"gauge": 0, "x": 0, "y": -100, "near": 0})");
    ASSERT_EQ(angle.status, 200) << angle.body.substr(0, 300);
    EXPECT_TRUE(nlohmann::json::parse(angle.body).at("angle").is_number());
    const ApiReply reload = HandleApi(session, "POST", "/api/reload", "");
    ASSERT_EQ(reload.status, 200) << reload.body.substr(0, 300);
    EXPECT_EQ(session.View(false).dump(), before); // the edit dropped, the files as read
    EXPECT_EQ(HandleApi(session, "GET", "/api/view", "").status, 200);
}

} // namespace
} // namespace mirevane::tool
