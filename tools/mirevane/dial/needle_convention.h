// The screen convention of a gauge whose needle the host draws through the panel file: where
// a panel is known, each needle's own mapping says where angle 0 points and which way angles
// grow, so no --angles guess is needed.
#pragma once

#include "dial/angle_convention.h"
#include "panel/panel_file.h"

#include <optional>

namespace mirevane::tool {

// The plug-in writes an angle of f degrees as the value 1000 f; the host draws it at
// InitialAngle + (1000 f - Minimum) * k degrees from up, clockwise. With k = +-1/1000 that is a
// fixed turn plus +-f: a convention. Nothing for a needle that turns otherwise.
std::optional<AngleConvention> ConventionOfNeedle(const NeedleMapping& mapping);

} // namespace mirevane::tool
