#include "common/diagnostic_line.h"

#include "common/number_text.h"

namespace mirevane::tool {

const char* SeverityName(Severity severity) {
    return severity == Severity::kError ? "error" : "warning";
}

std::string DiagnosticLine(const Located& d) {
    std::string out = d.file + ":";
    if (d.line > 0) {
        out += std::to_string(d.line) + ":";
        if (d.column > 0) {
            out += std::to_string(d.column) + ":";
        }
    }
    return out + " " + SeverityName(d.severity) + ": " + d.message + " [" + d.code + "]";
}

std::string DiagnosticCounts(int errors, int warnings) {
    return Counted(errors, "error") + ", " + Counted(warnings, "warning");
}

} // namespace mirevane::tool
