// One gauge's dial as inline SVG for the dial page: its outline, the calibration points with
// their values, the calibrated range and, where the run went beyond it, the extrapolated
// range; for an oval dial the division sectors with their panel entries; every needle image
// at its length, for the page's script to turn; and under it all, optionally, the user's
// picture of the real dial face.
#pragma once

#include "dial/angle_convention.h"
#include "dial/geometry.h"

#include <optional>
#include <string>

namespace mirevane::tool {

// A picture of the dial face and where its hub and radius are, in the picture's pixels.
struct DialFace {
    std::string dataUri; // the picture itself, as a data: URI
    double width = 0.0;  // its size in pixels
    double height = 0.0;
    double hubX = 0.0;
    double hubY = 0.0;
    double radius = 1.0;
};

// lowest/highest: the values the run reached (infinite when it read none).
std::string DialSvg(const DialGeometry& dial, const AngleConvention& convention, int32_t gauge,
                    double lowest, double highest, const std::optional<DialFace>& face);

} // namespace mirevane::tool
