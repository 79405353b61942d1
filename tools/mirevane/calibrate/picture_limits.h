// What a dial picture cannot tell: a mark's direction where it is clicked on the hub, which
// of two marks of one value is meant (both refused), and the angles to the thousandth when
// the dial is small or the rim points cover little of the ellipse (warnings).
#pragma once

#include "calibrate/calibration_notes.h"
#include "calibrate/mark_angles.h"

#include <vector>

namespace mirevane::tool {

// Closer to the hub, half a pixel of the click turns the direction by ten degrees or more.
constexpr double kLeastMarkPixels = 3.0;
// Under this radius a pixel at the rim spans more than 1.4 degrees.
constexpr double kLeastDialPixels = 40.0;
// Rim points within less than half a turn about the hub leave the fit free to turn degrees
// while its residual stays small.
constexpr double kLeastRimCoverDegrees = 180.0;

// Throws CalibrationRefused (calibrate-mark).
void RefuseUnusableMarks(Point hub, const std::vector<DialMark>& marks);

// rim: picture pixels; the cover is judged only from five points on, where a fit is made.
std::vector<CalibrationNote> PictureWarnings(Point hub, const std::vector<DialMark>& marks,
                                             const std::vector<Point>& rim);

} // namespace mirevane::tool
