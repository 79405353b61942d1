// `mirevane panel` on the command line: its options and help, and what it runs.
#pragma once

#include "common/subcommand.h"

namespace mirevane::tool {

Subcommand AddPanelSubcommand(CLI::App& app);

} // namespace mirevane::tool
