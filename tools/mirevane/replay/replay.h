// Runs a scenario through the plug-in the way a host does: the library path, Load once, then
// per frame Initialize, the handles, the host's array entries, key presses and Elapse; every
// frame goes to the consumers as it is made.
#pragma once

#include "common/frame_consumer.h"
#include "replay/scenario.h"

#include <string>
#include <vector>

namespace mirevane::tool {

// pluginPath: the library or its main profile, as the host would pass the library's path.
// observe: record every gauge's stages (for --detail and --plot). Returns the number of
// gauges Load built.
int Replay(const std::string& pluginPath, Scenario& scenario, bool observe,
           const std::vector<FrameConsumer*>& consumers);

} // namespace mirevane::tool
