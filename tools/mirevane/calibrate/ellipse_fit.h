// An oval dial's ellipse from points a cab builder clicked on its rim: the ellipse centred on
// the needle's hub that fits them best, as the gauge's Flattening and RotateAngle.
#pragma once

#include "dial/angle_convention.h"

#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

struct EllipseFit {
    double flattening = 0.0;    // 1 - minor / major semi-axis
    double rotateDegrees = 0.0; // the major axis in the angle frame, 0..180
    double majorPixels = 0.0;   // the semi-axes, in the picture's pixels
    double minorPixels = 0.0;
    double residualPixels = 0.0; // root mean square of each point's radial distance to it
};

// points: picture pixels relative to the hub (x right, y down). Least squares on the conic
//   a x^2 + b x y + c y^2 = 1
// (linear in a, b, c), whose principal axes give the semi-axes and the major axis's
// direction. Nothing when fewer than three points are given or they lie on no ellipse about
// the hub (the conic is not positive definite).
std::optional<EllipseFit> FitEllipse(const std::vector<Point>& points,
                                     const AngleConvention& convention);

// The fit as the profile's values are written: Flattening to 0.0001, RotateAngle to the
// thousandth of a degree (below what the picture's pixels tell).
struct EllipseSettingsText {
    std::string flattening;
    std::string rotateAngle;
};
EllipseSettingsText SettingsText(const EllipseFit& fit);

} // namespace mirevane::tool
