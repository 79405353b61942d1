// `mirevane check` on a fuzzed cab folder. The input is split at lines "%%" into the main
// profile and table, two further gauge files with their tables (a.ini, a.csv, b.ini, b.csv)
// and the fallback profile ./Ats.ini; a part that is absent leaves its file absent. The check
// must finish with a report whose every diagnostic has a registry entry, a sane position and
// one line of its own, and whose counts add up.
#include "check.h"
#include "check_output.h"
#include "fuzz_check.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirevane {
namespace {

const char* const kFiles[] = {"Mirevane.ini", "Mirevane.csv", "a.ini", "a.csv", "b.ini", "b.csv"};
constexpr std::size_t kFallbackPart = 6;

struct Folders {
    Folders() {
        // No stray ./Ats.ini: the working directory is a folder of this target's own.
        std::filesystem::current_path(work.path());
    }
    test::TempDir library;
    test::TempDir work;
};

void RequireSound(const tool::CheckReport& report) {
    int errors = 0;
    for (const tool::Diagnostic& d : report.diagnostics) {
        FUZZ_REQUIRE(d.kind != nullptr && tool::FindDiagnostic(d.kind->code) == d.kind, d.message);
        FUZZ_REQUIRE(!d.file.empty() && d.line >= 0 && d.column >= 0, d.message);
        FUZZ_REQUIRE(d.line > 0 || d.column == 0, d.message);
        // One diagnostic, one line: a message never breaks the report's lines.
        FUZZ_REQUIRE(d.message.find_first_of("\r\n") == std::string::npos, d.message);
        errors += d.kind->severity == tool::Severity::kError ? 1 : 0;
    }
    FUZZ_REQUIRE(report.errors() == errors, std::to_string(errors));
    // The main profile and at most sixteen further ones (a name may repeat).
    FUZZ_REQUIRE(report.gauges.size() <= 17, std::to_string(report.gauges.size()));

    const std::string text = tool::CheckText(report);
    const std::string json = tool::CheckJson(report);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_REQUIRE(lines >= report.diagnostics.size(), text);
    FUZZ_REQUIRE(json.rfind("{\n  \"schemaVersion\": 2,", 0) == 0, json);
    FUZZ_REQUIRE(json.size() >= 2 && json.compare(json.size() - 2, 2, "}\n") == 0, json);
}

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    static const Folders folders;
    const std::vector<std::string_view> parts =
        fuzz::SplitInput(std::string_view(reinterpret_cast<const char*>(data), size), "\n%%\n");

    std::error_code ignored;
    for (std::size_t i = 0; i < std::size(kFiles); ++i) {
        std::filesystem::remove(folders.library.path() / kFiles[i], ignored);
        if (i < parts.size()) {
            folders.library.Write(kFiles[i], std::string(parts[i]));
        }
    }
    std::filesystem::remove(folders.work.path() / "Ats.ini", ignored);
    if (kFallbackPart < parts.size()) {
        folders.work.Write("Ats.ini", std::string(parts[kFallbackPart]));
    }
    RequireSound(tool::RunCheck((folders.library.path() / "Mirevane.dll").string()));
    return 0;
}
