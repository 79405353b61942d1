// `mirevane run`: checks the paths, reads the scenario, replays it through the plug-in and
// writes the trace, the plot and the dial page, never over a file it did not make.
#pragma once

#include "dial/page.h"
#include "panel/panel_discovery.h"

#include <optional>
#include <string>

namespace mirevane::tool {

struct RunOptions {
    std::string argument;   // PATH as given, for messages
    std::string pluginPath; // the path the host would hand the plug-in
    std::string scenario;   // "-": standard input
    std::string out;        // empty: standard output
    std::string plot;       // empty: no plot
    std::optional<double> fps;
    bool detail = false;
    DialPageRequest page; // --html, --dial, --angles
    PanelOptions panel;   // --panel, --no-panel
};

// Returns the exit status; throws InputError for anything it refuses (exit status 2).
int RunCommand(const RunOptions& options);

} // namespace mirevane::tool
