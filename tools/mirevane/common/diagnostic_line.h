// One diagnostic as a line an editor can jump to: `FILE:LINE:COL: severity: message [code]`,
// with LINE and COL left out where they are not known (`FILE: severity: ...` when no line
// applies).
#pragma once

#include <string>

namespace mirevane::tool {

// An error means the gauge or the run cannot do what was meant; a warning that something is
// ignored, read otherwise than it looks, or easy to get wrong; a note that the tool cannot
// tell (a formula it does not evaluate, an entry another plug-in may write) and says so.
enum class Severity { kError, kWarning, kNote };

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

// The tally under a list of diagnostics: "1 error, 2 warnings", and ", 1 note" where there
// are notes.
std::string DiagnosticCounts(int errors, int warnings, int notes = 0);

} // namespace mirevane::tool
