// The reference pages, generated from the tables the plug-in and the tool read: the profile
// format, the subject keywords, the developer actions and host key names, the diagnostics.
// `make docs` writes them into docs/; a test fails when the committed pages differ.
#pragma once

#include "common/diagnostics.h"

#include <string>

namespace mirevane::tool {

// docs/configuration.md, whole.
std::string ConfigurationReference();
// The diagnostics section of `check` in docs/tool.md.
std::string DiagnosticsReference();
// The table of `run`'s own diagnostics in docs/tool.md.
std::string RunDiagnosticsReference();
// One diagnostic as `mirevane explain CODE` prints it.
std::string ExplainText(const DiagnosticKind& kind);

} // namespace mirevane::tool
