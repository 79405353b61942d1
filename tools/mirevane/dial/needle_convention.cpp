#include "dial/needle_convention.h"

#include <cmath>

namespace mirevane::tool {

std::optional<AngleConvention> ConventionOfNeedle(const NeedleMapping& mapping) {
    if (!mapping.TurnsOneDegreePerThousand()) {
        return std::nullopt;
    }
    AngleConvention convention;
    // Up is -90 degrees clockwise from right; f = 0 is drawn at ScreenDegrees(0) from up.
    const double zeroFromUp = mapping.initialAngle - mapping.minimum * mapping.DegreesPerUnit();
    convention.zeroDegrees = std::remainder(zeroFromUp - 90.0, 360.0);
    convention.sense = mapping.DegreesPerUnit() > 0.0 ? 1 : -1;
    return convention;
}

} // namespace mirevane::tool
