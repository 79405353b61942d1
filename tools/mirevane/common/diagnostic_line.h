// One diagnostic as a line an editor can jump to: `FILE:LINE:COL: severity: message [code]`,
// with LINE and COL left out where they are not known (`FILE: severity: ...` when no line
// applies).
#pragma once

#include <string>

namespace mirevane::tool {

// An error means the gauge or the run cannot do what was meant; a warning that something is
// ignored, read otherwise than it looks, or easy to get wrong.
enum class Severity { kError, kWarning };

const char* SeverityName(Severity severity);

struct Located {
    std::string file;
    int line = 0;   // 1-based; 0: the whole file
    int column = 0; // 1-based byte column; 0: not known
    Severity severity = Severity::kError;
    std::string message;
    std::string code;
};

std::string DiagnosticLine(const Located& diagnostic);

// The tally under a list of diagnostics: "1 error, 2 warnings".
std::string DiagnosticCounts(int errors, int warnings);

} // namespace mirevane::tool
