// The trace as a picture: one chart per gauge of the needle angle the cab shows over time,
// with the gauge's source value on a second axis, drawn as plain SVG.
#pragma once

#include "replay.h"

#include <string>
#include <vector>

namespace mirevane::tool {

// trace must be observed. gaugeTitles: one short title per gauge (its file and what it
// drives); title: one line above all charts.
std::string PlotSvg(const Trace& trace, const std::string& title,
                    const std::vector<std::string>& gaugeTitles);

} // namespace mirevane::tool
