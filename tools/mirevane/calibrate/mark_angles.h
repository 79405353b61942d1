// The table angles that point a gauge's needle at the marks of its dial picture: the direction
// from the hub to each mark, seen through the host's angle convention, and for an oval gauge
// through the gauge's own elliptic mapping (DialGeometry::AngleDrawnAt).
#pragma once

#include "calibrate/scale_sense.h"
#include "dial/angle_convention.h"
#include "dial/geometry.h"

#include <cstdint>
#include <optional>
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

struct MarkReading {
    std::vector<MarkAngle> angles; // in ascending value order
    SenseChoice sense;
};

// A direction gives an angle only up to whole turns: the first mark takes the angle nearest
// the gauge's present table at its value, and every later one lies a step on from the one
// before, all steps in the sense the marks themselves take (ChooseSense; the present table
// only breaks an exact tie). Marks of one value each, away from the hub (RefuseUnusableMarks).
MarkReading AnglesForMarks(const DialGeometry& dial, const AngleConvention& convention, Point hub,
                           std::vector<DialMark> marks, std::optional<double> turns);

} // namespace mirevane::tool
