// Every diagnostic `check` can report, once: its code, severity, a one-line summary, a short
// example of what causes it and the fix. The check reports by code, `mirevane explain CODE`
// prints an entry, and the diagnostics section of docs/tool.md is generated from this table.
#pragma once

#include "diagnostic_line.h"

#include <string>
#include <vector>

namespace mirevane::tool {

struct DiagnosticKind {
    const char* code; // short and stable: scripts match on it
    Severity severity;
    const char* summary;
    const char* example; // what causes it, in the file's own words
    const char* fix;
};

// In the order the reference lists them: errors first, then warnings by the file they concern.
const std::vector<DiagnosticKind>& Diagnostics();
// The entry of a code, or nullptr.
const DiagnosticKind* FindDiagnostic(const std::string& code);

} // namespace mirevane::tool
