#include "diagnostic_line.h"

namespace mirevane::tool {

std::string DiagnosticLine(const Located& d) {
    std::string out = d.file + ":";
    if (d.line > 0) {
        out += std::to_string(d.line) + ":";
        if (d.column > 0) {
            out += std::to_string(d.column) + ":";
        }
    }
    out += d.severity == Severity::kError ? " error: " : " warning: ";
    return out + d.message + " [" + d.code + "]";
}

} // namespace mirevane::tool
