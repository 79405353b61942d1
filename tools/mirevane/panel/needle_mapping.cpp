#include "panel/panel_file.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {

// The host maps linearly: angle = InitialAngle + (value - Minimum) * (LastAngle - InitialAngle)
// / (Maximum - Minimum), extrapolated, then held between the two angles with Backstop.
double NeedleMapping::DegreesPerUnit() const noexcept {
    return (lastAngle - initialAngle) / (maximum - minimum);
}

double NeedleMapping::ScreenDegrees(double value) const noexcept {
    if (maximum == minimum) {
        return initialAngle;
    }
    const double angle = initialAngle + (value - minimum) * DegreesPerUnit();
    if (!backstop) {
        return angle;
    }
    return std::clamp(angle, std::min(initialAngle, lastAngle), std::max(initialAngle, lastAngle));
}

std::optional<double> NeedleMapping::ValueAt(double screenDegrees) const noexcept {
    if (maximum == minimum || lastAngle == initialAngle) {
        return std::nullopt;
    }
    return minimum + (screenDegrees - initialAngle) / DegreesPerUnit();
}

bool NeedleMapping::TurnsOneDegreePerThousand() const noexcept {
    const double perThousand = std::fabs(DegreesPerUnit() * 1000.0);
    return std::isfinite(perThousand) && std::fabs(perThousand - 1.0) <= 1e-9;
}

} // namespace mirevane::tool
