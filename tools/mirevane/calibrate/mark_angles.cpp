#include "calibrate/mark_angles.h"

#include <algorithm>

namespace mirevane::tool {

std::vector<MarkAngle> AnglesForMarks(const DialGeometry& dial, const AngleConvention& convention,
                                      Point hub, std::vector<DialMark> marks) {
    std::stable_sort(marks.begin(), marks.end(),
                     [](const DialMark& a, const DialMark& b) { return a.value < b.value; });
    std::vector<MarkAngle> angles;
    for (const DialMark& mark : marks) {
        const double direction =
            convention.FrameDegrees(Point{mark.picture.x - hub.x, mark.picture.y - hub.y});
        // Panel angles (the scale's 180 included) until the end.
        if (angles.empty()) {
            const double panel = dial.AngleDrawnAt(direction, dial.AngleOf(mark.value));
            angles.push_back({mark.value, panel, dial.Locate(panel).entry});
            continue;
        }
        const double previous = angles.back().angle;
        double sense = 0.0;
        if (angles.size() >= 2) {
            sense = previous - angles[angles.size() - 2].angle;
        } else {
            sense = dial.AngleOf(mark.value) - dial.AngleOf(angles.back().value);
        }
        double panel = dial.AngleDrawnAt(direction, previous);
        if (sense > 0.0) {
            while (panel < previous) {
                panel += 360.0;
            }
        } else if (sense < 0.0) {
            while (panel > previous) {
                panel -= 360.0;
            }
        }
        angles.push_back({mark.value, panel, dial.Locate(panel).entry});
    }
    for (MarkAngle& a : angles) {
        a.angle -= 180.0;
    }
    return angles;
}

} // namespace mirevane::tool
