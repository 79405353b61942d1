// The studio's requests on a fuzzed cab folder (fuzz_cab.h): after the cab's parts, each part is
// one request, "METHOD PATH" on its first line and the body after it. Every request must get
// an answer of a known status with a JSON body, nothing may escape as an exception, and
// nothing may be written but the cab's own files and their backups.
#include "fuzz_cab.h"
#include "fuzz_check.h"
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
    for (const std::string_view part : laid.own) {
        const std::size_t newline = part.find('\n');
        const std::string head(part.substr(0, newline));
        const std::string body(newline == std::string_view::npos ? std::string_view()
                                                                 : part.substr(newline + 1));
        const std::size_t blank = head.find(' ');
        const std::string method = head.substr(0, blank);
        const std::string path = blank == std::string::npos ? "" : head.substr(blank + 1);
        const tool::ApiReply reply = tool::HandleApi(*session, method, path, body);
        FUZZ_REQUIRE(KnownStatus(reply.status), std::to_string(reply.status) + " " + reply.body);
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
