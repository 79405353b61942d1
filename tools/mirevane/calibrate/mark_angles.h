// The table angles that point a gauge's needle at the marks of its dial picture: the direction
// from the hub to each mark, seen through the host's angle convention, and for an oval gauge
// through the gauge's own elliptic mapping (DialGeometry::AngleDrawnAt).
#pragma once

#include "dial/angle_convention.h"
#include "dial/geometry.h"

#include <cstdint>
#include <vector>

namespace mirevane::tool {

struct DialMark {
    double value = 0.0;
    Point picture; // pixels, x right, y down
};

struct MarkAngle {
    double value = 0.0;
    double angle = 0.0; // the table's angle (before the scale's +180)
    int32_t entry = -1; // the panel entry whose image draws it
};

// In ascending value order. A direction gives an angle only up to whole turns; the turn is
// chosen so that the scale runs on as it began: the first mark takes the angle nearest the
// gauge's present table at its value, and every later one continues the sense of the marks
// before it (at the second mark, the present table's sense), so a scale that sweeps past the
// top, or more than half a turn between two marks, stays one continuous run of angles.
std::vector<MarkAngle> AnglesForMarks(const DialGeometry& dial, const AngleConvention& convention,
                                      Point hub, std::vector<DialMark> marks);

} // namespace mirevane::tool
