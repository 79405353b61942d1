// `mirevane explain CODE` and `mirevane docs PAGE`: the tool's reference, from the same tables
// the plug-in and the check read.
#pragma once

#include "common/subcommand.h"

namespace mirevane::tool {

// Exit status 2 for a code that is not a diagnostic.
Subcommand AddExplainSubcommand(CLI::App& app);
Subcommand AddDocsSubcommand(CLI::App& app);

} // namespace mirevane::tool
