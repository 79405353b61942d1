// The studio's requests on a fuzzed cab folder (fuzz_cab.h): after the cab's parts, each part is
// one request, "METHOD PATH" on its first line and the body after it; a first part "PANEL" has
// the cab's panel file after it instead (else a fixed one is used). Beside the panel lie
// pictures it names: good ones, a damaged one, a link leading out of the folder and a name
// with "..". Every request must get an answer of a known status with a JSON body (or a PNG
// picture), nothing may escape as an exception, no picture from outside the cab's folder may
// be served, and nothing may be written but the cab's own files and their backups.
#include "fuzz_cab.h"
#include "fuzz_check.h"
#include "panel/panel_picture.h"
#include "studio/api.h"
#include "studio/session.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>

namespace mirevane {
namespace {

bool KnownStatus(int status) {
    static const std::set<int> kStatuses = {200, 400, 403, 404, 405, 409, 413, 422};
    return kStatuses.count(status) > 0;
}

// The files of a folder, by name.
std::set<std::string> FilesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// What lies outside the cab's folder (in the working folder beside it) is a good picture, and
// the only one 3 pixels wide: only the studio's refusal keeps it from being served, however
// its name is spelt.
constexpr int kOutsideWidth = 3;

// Needles on the plug-in's entries, and pictures of every kind the studio must refuse: a
// damaged one, a link leading out, and a name that climbs out of the folder.
std::string FixedPanel() {
    const std::string away =
        "../" + std::filesystem::current_path().filename().string() + "/away.png";
    return "[This]\nDaytimeImage = panel.png\n"
           "[Needle]\nSubject = ats20\nLocation = 8, 8\nDaytimeImage = needle.bmp\n"
           "Maximum = 360000\nLastAngle = 360\nInitialAngle = 0\n"
           "[Needle]\nSubject = ats30\nLocation = 8, 8\nDaytimeImage = NEEDLE.BMP\n"
           "TransparentColor = #FFFFFF\n"
           "[Needle]\nSubject = ats31\nDaytimeImage = damaged.png\n"
           "[Needle]\nSubject = ats22\nDaytimeImage = outside.png\n"
           "[PilotLamp]\nSubject = ats23\nDaytimeImage = " +
           away + "\n";
}

// The pictures beside the panel and outside its folder, laid once.
void LayPictures(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    if (fs::exists(folder / "panel.png")) {
        return;
    }
    const fs::path work = fs::current_path();
    const std::string png = tool::EncodePng({2, 2, std::vector<uint8_t>(16, 200)});
    const std::string away =
        tool::EncodePng({kOutsideWidth, 1, std::vector<uint8_t>(4 * kOutsideWidth, 90)});
    std::ofstream(folder / "panel.png", std::ios::binary) << png;
    std::ofstream(work / "away.png", std::ios::binary) << away;
    std::ofstream(work / "far.png", std::ios::binary) << away;
    fs::create_symlink(work / "far.png", folder / "outside.png");
    std::ofstream(folder / "damaged.png", std::ios::binary) << png.substr(0, 20);
    // 1 x 1, 24 bits, bottom-up: a blue pixel.
    const unsigned char bmp[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0,   54, 0, 0, 0,  40,
                                 0,   0,   0,  1, 0, 0, 0, 1, 0, 0,   0,  1, 0, 24, 0,
                                 0,   0,   0,  0, 4, 0, 0, 0, 0, 0,   0,  0, 0, 0,  0,
                                 0,   0,   0,  0, 0, 0, 0, 0, 0, 255, 0,  0, 0};
    std::ofstream(folder / "needle.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp), sizeof bmp);
}

bool IsPng(const std::string& bytes) {
    return bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    const fuzz::LaidCab laid = fuzz::LayCab(data, size);
    const std::filesystem::path folder = std::filesystem::path(laid.cab.library()).parent_path();
    for (const std::string& name : FilesIn(folder)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bak") == 0) {
            std::filesystem::remove(folder / name);
        }
    }
    // Two frames: the requests, not the replay, are under test.
    {
        std::ofstream scenario("scenario.csv", std::ios::binary | std::ios::trunc);
        scenario << "time,speed,bc,current,panel60\n0,0,0,0,0\n100,50,300,200,1000\n";
    }
    LayPictures(folder);
    std::vector<std::string_view> requests = laid.own;
    {
        std::ofstream panel(folder / "panel2.cfg", std::ios::binary | std::ios::trunc);
        if (!requests.empty() && requests.front().substr(0, 6) == "PANEL\n") {
            panel << requests.front().substr(6);
            requests.erase(requests.begin());
        } else {
            panel << FixedPanel();
        }
    }
    tool::StudioOptions options;
    options.argument = laid.cab.library();
    options.pluginPath = laid.cab.library();
    options.scenario = "scenario.csv";
    std::optional<tool::Session> session;
    try {
        session.emplace(options);
    } catch (const std::exception&) {
        return 0; // no main profile: the studio does not start
    }
    const std::set<std::string> before = FilesIn(folder);
    for (const std::string_view part : requests) {
        const std::size_t newline = part.find('\n');
        const std::string head(part.substr(0, newline));
        const std::string body(newline == std::string_view::npos ? std::string_view()
                                                                 : part.substr(newline + 1));
        const std::size_t blank = head.find(' ');
        const std::string method = head.substr(0, blank);
        const std::string path = blank == std::string::npos ? "" : head.substr(blank + 1);
        const tool::ApiReply reply = tool::HandleApi(*session, method, path, body);
        FUZZ_REQUIRE(KnownStatus(reply.status), std::to_string(reply.status) + " " + reply.body);
        if (reply.type == "image/png") {
            // Only a picture inside the folder: never the one the link or ".." leads to.
            FUZZ_REQUIRE(reply.status == 200 && IsPng(reply.body), path);
            FUZZ_REQUIRE(tool::PictureSize(reply.body).first != kOutsideWidth, path);
            continue;
        }
        // An answer is the library's dump of a JSON object; a refusal says why.
        FUZZ_REQUIRE(!reply.body.empty() && reply.body.front() == '{', reply.body);
        if (reply.status != 200 && reply.status != 409) {
            const nlohmann::json answer = nlohmann::json::parse(reply.body, nullptr, false);
            FUZZ_REQUIRE(answer.is_object() && answer.contains("error"), reply.body);
        }
    }
    // Only the cab's own files, and backups of those that existed.
    for (const std::string& name : FilesIn(folder)) {
        const bool backup = name.size() > 4 && name.compare(name.size() - 4, 4, ".bak") == 0;
        const std::string of = backup ? name.substr(0, name.size() - 4) : name;
        FUZZ_REQUIRE(before.count(of) > 0 ||
                         (!backup && (of == "a.csv" || of == "b.csv" || of == "Mirevane.csv")),
                     name);
    }
    return 0;
}
