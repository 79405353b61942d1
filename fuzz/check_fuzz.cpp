// `mirevane check` on a fuzzed cab folder (fuzz_cab.h). The check must finish with a report whose
// every diagnostic has a registry entry, a sane position and one line of its own, and whose counts
// add up.
#include "check/check.h"
#include "check/output.h"
#include "fuzz_cab.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace mirevane {
namespace {

void RequireSound(const tool::CheckReport& report) {
    int errors = 0;
    for (const tool::Diagnostic& d : report.diagnostics) {
        FUZZ_REQUIRE(d.kind != nullptr && tool::FindDiagnostic(d.kind->code) == d.kind, d.message);
        FUZZ_REQUIRE(std::string(d.kind->command) == "check", d.kind->code);
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
    const std::string head =
        "{\n  \"schemaVersion\": " + std::to_string(tool::kCheckJsonSchemaVersion) + ",";
    FUZZ_REQUIRE(json.rfind(head, 0) == 0, json);
    FUZZ_REQUIRE(json.size() >= 2 && json.compare(json.size() - 2, 2, "}\n") == 0, json);
}

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    RequireSound(tool::RunCheck(fuzz::LayCab(data, size).cab.library()));
    return 0;
}
