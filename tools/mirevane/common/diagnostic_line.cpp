#include "common/diagnostic_line.h"

#include "common/number_text.h"

namespace mirevane::tool {

const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::kError:
        return "error";
    case Severity::kWarning:
        return "warning";
    case Severity::kNote:
        break;
    }
    return "note";
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

std::string DiagnosticCounts(int errors, int warnings, int notes) {
    return Counted(errors, "error") + ", " + Counted(warnings, "warning") +
           (notes > 0 ? ", " + Counted(notes, "note") : "");
}

} // namespace mirevane::tool
