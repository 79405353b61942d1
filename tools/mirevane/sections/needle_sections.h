// The [Needle] sections a cab's panel file needs for the entries the plug-in writes, ready to
// paste: what `mirevane panel` prints. Where the panel is known its needles' places, pictures
// and offsets are kept; a mapping that does not turn 1 degree per 1000 units is replaced.
#pragma once

#include "dial/angle_convention.h"
#include "panel/panel_file.h"

#include <optional>
#include <string>

namespace mirevane::tool {

struct SectionsRequest {
    std::string pluginPath;         // as the host would hand it
    std::string cabName;            // as the user named it, for the heading
    AngleConvention convention;     // the offset of a needle the panel does not map
    std::string conventionName;     // as given, for the heading
    std::optional<PanelFile> panel; // the cab's panel, when known
};

// The sections as text: a heading comment, then per gauge a comment on what it writes and one
// section per entry, in the gauges' order.
std::string NeedleSections(const SectionsRequest& request);

} // namespace mirevane::tool
