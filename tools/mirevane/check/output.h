// The check report as text for a person or as JSON for a program; the same content.
#pragma once

#include "check/check.h"

#include <string>

namespace mirevane::tool {

// Raised when a field of the JSON report changes meaning or goes away. 2: a diagnostic's
// absent line or column is null, and diagnostics carry a column. 3: a diagnostic's severity
// may be "note", counted apart from errors and warnings; the panel file checked.
constexpr int kCheckJsonSchemaVersion = 3;

std::string CheckText(const CheckReport& report);
std::string CheckJson(const CheckReport& report);

} // namespace mirevane::tool
