// The options that say how the dials of a page look, shared by the commands that draw them:
// --angles (run, the studio, calibrate) and --dial (run --html, the studio).
#pragma once

#include "dial/page.h"

#include <CLI/CLI.hpp>

#include <string>

namespace mirevane::tool {

// --angles: how the host turns the panel's angles on the screen.
void AddAnglesOption(CLI::App* command, std::string& angles);

// --dial and --angles: what the dials of a page show.
void AddDialOptions(CLI::App* command, DialPageRequest& page);

} // namespace mirevane::tool
