// A gauge's calibration table as a curve: value to angle through the plug-in's own
// interpolation, each calibration point marked, the ends beyond the first and the last point
// (where the needle follows the outermost segment) dashed, and the values the run reached
// shaded.
#pragma once

#include "common/frame_consumer.h"
#include "plot/svg_document.h"

namespace mirevane::tool {

struct Box {
    double left;
    double top;
    double right;
    double bottom;
};

// runLo..runHi: the subject's values in the run (lo > hi: none).
void DrawTableCurve(Svg& svg, const GaugeInfo& gauge, double runLo, double runHi, const Box& box);

} // namespace mirevane::tool
