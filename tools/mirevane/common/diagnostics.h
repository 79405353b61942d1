// Every diagnostic the tool can report, once: its code, severity, a one-line summary, a short
// example of what causes it, the fix and the command that reports it. `check` and `run` report
// by code, `mirevane explain CODE` prints an entry, and the diagnostics sections of
// docs/tool.md are generated from this table.
#pragma once

#include "common/diagnostic_line.h"

#include <string>
#include <vector>

namespace mirevane::tool {

struct DiagnosticKind {
    const char* code; // short and stable: scripts match on it
    Severity severity;
    const char* summary;
    const char* example; // what causes it, in the file's own words
    const char* fix;
    const char* command = "check";
};

// In the order the reference lists them: errors first, then warnings by the file they concern,
// then notes.
const std::vector<DiagnosticKind>& Diagnostics();
// The entry of a code, or nullptr.
const DiagnosticKind* FindDiagnostic(const std::string& code);
// The entry of a code the tool itself reports; one without an entry is a fault of the tool
// (std::logic_error).
const DiagnosticKind& DiagnosticOf(const std::string& code);

} // namespace mirevane::tool
