// One calibration from a dial picture, as both the command and the studio make it: the marks
// checked and read through the gauge's drawing, the table they make with the present one, and
// what the picture cannot support. The oval's fit is made apart (ellipse_fit), since the
// command reads the marks through the fitted ellipse and the studio through the gauge's own.
#pragma once

#include "calibrate/calibration_notes.h"
#include "calibrate/mark_angles.h"
#include "calibrate/table_from_marks.h"

#include <optional>
#include <vector>

namespace mirevane::tool {

struct CalibrationRequest {
    Point hub;                   // picture pixels
    std::vector<DialMark> marks; // any order
    std::vector<Point> rim;      // picture pixels
    bool replace = false;        // the marks make the whole table
    std::optional<double> turns; // the scale's sweep, when the marks cannot tell it
};

struct Calibration {
    MarkReading reading;
    TableFromMarks table;                  // written only when asked: see KeptRowsNote
    std::vector<CalibrationNote> warnings; // about the picture
};

// Throws CalibrationRefused.
Calibration Calibrate(const DialGeometry& dial, const AngleConvention& convention,
                      const std::vector<TableRow>& present, const CalibrationRequest& request);

} // namespace mirevane::tool
