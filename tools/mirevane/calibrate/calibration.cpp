#include "calibrate/calibration.h"

#include "calibrate/picture_limits.h"
#include "common/number_text.h"

#include <cmath>

namespace mirevane::tool {

Calibration Calibrate(const DialGeometry& dial, const AngleConvention& convention,
                      const std::vector<TableRow>& present, const CalibrationRequest& request) {
    if (request.turns && !(std::isfinite(*request.turns) && *request.turns > 0.0)) {
        throw CalibrationRefused(
            {"--turns", "calibrate-option",
             "'" + Shortest(*request.turns) + "': the sweep is a number of turns above 0"});
    }
    if (!request.rim.empty() && !dial.elliptic()) {
        throw CalibrationRefused(
            {"--rim", "calibrate-option",
             "the gauge draws one plain needle, which turns on a circle: rim points give the "
             "Flattening and RotateAngle of an oval gauge (one with [Ellipse] Division 2 or "
             "more)"});
    }
    RefuseUnusableMarks(request.hub, request.marks);
    Calibration c;
    c.reading = AnglesForMarks(dial, convention, request.hub, request.marks, request.turns);
    c.table = MakeTableFromMarks(present, c.reading.angles, request.replace);
    c.warnings = PictureWarnings(request.hub, request.marks, request.rim);
    return c;
}

} // namespace mirevane::tool
