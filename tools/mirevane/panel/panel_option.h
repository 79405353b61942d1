// The --panel FILE and --no-panel options, the same on every command that reads the panel.
#pragma once

#include "panel/panel_discovery.h"

namespace CLI {
class App;
}

namespace mirevane::tool {

void AddPanelOptions(CLI::App* command, PanelOptions& options);

} // namespace mirevane::tool
