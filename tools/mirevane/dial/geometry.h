// Where the parts of a gauge's dial lie, from the gauge as Load built it: the calibration
// points on the dial's outline, the needle images with their lengths and, for an oval dial,
// the ellipse and the sectors of its divisions. Angles are panel angles (the scale's 180
// included) in the angle frame, where angle a points along (cos a, sin a); lengths are
// fractions of the dial's radius (an oval's major semi-axis). AngleConvention puts the frame
// on the screen.
#pragma once

#include "dial/angle_convention.h"
#include "dynamics/ellipse_gauge.h"
#include "dynamics/needle_scale.h"

#include <cstdint>
#include <vector>

namespace mirevane {
class CMirevane;
}

namespace mirevane::tool {

struct ScaleMark {
    double value = 0.0;
    double angleDegrees = 0.0; // the scale's angle for it, 180 added
};

struct NeedleImage {
    int32_t entry = -1;  // the panel entry that turns it
    double length = 1.0; // fraction of the radius
};

// Part of an oval dial drawn by one division's image: the ellipse points whose parameter
// angles run from `fromDegrees` to `toDegrees` (panel angles, before the ellipse bends them).
struct DivisionSector {
    int32_t entry = -1;
    double fromDegrees = 0.0;
    double toDegrees = 0.0;
};

// Where an undamped angle is drawn: the direction and the image that shows it.
struct NeedlePlace {
    double foldedDegrees = 0.0; // oval: from the major axis, 0..90
    double drawnDegrees = 0.0;
    int32_t entry = -1;
};

class DialGeometry {
public:
    DialGeometry(const CMirevane& gauges, int32_t gauge);

    bool elliptic() const noexcept { return elliptic_; }
    double minorAxis() const noexcept { return elliptic_ ? 1.0 - ellipse_.flattening() : 1.0; }
    double rotateDegrees() const noexcept { return elliptic_ ? ellipse_.rotateAngle() : 0.0; }
    double standbyDegrees() const noexcept { return ellipse_.standbyAngle(); }
    const std::vector<ScaleMark>& marks() const noexcept { return marks_; }
    const std::vector<NeedleImage>& images() const noexcept { return images_; }
    const std::vector<DivisionSector>& sectors() const noexcept { return sectors_; }

    // The angle the scale gives for a value (its table, 180 added).
    double AngleOf(double value) const noexcept { return scale_.Interpolate(value) + 180.0; }
    // Direction and image for an angle as the scale gives it, without damping.
    NeedlePlace Locate(double angleDegrees) const noexcept;
    // The panel angle (the scale's, 180 included) nearest to `nearDegrees` whose needle is
    // drawn in the direction `frameDegrees` of the angle frame: the inverse of Locate's
    // direction, found numerically on an oval dial (its direction grows with the angle).
    double AngleDrawnAt(double frameDegrees, double nearDegrees) const noexcept;
    // The dial's outline at a panel angle: the circle, or the ellipse point with that
    // parameter angle (in the direction Locate draws it).
    Point OnOutline(double angleDegrees) const noexcept;

private:
    bool elliptic_ = false;
    NeedleScale scale_;
    CEllipseGauge ellipse_;
    std::vector<ScaleMark> marks_;
    std::vector<NeedleImage> images_;
    std::vector<DivisionSector> sectors_;
};

} // namespace mirevane::tool
