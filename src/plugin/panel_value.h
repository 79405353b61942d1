// Converts a needle angle in degrees to the panel entry the cab draws: thousandths of a
// degree, truncated toward zero.
#pragma once

#include "dynamics/angle_units.h"

#include <cstdint>
#include <limits>

namespace mirevane {

// The host reads a needle entry as a 32-bit int. A plain cast is undefined for NaN and for
// values outside the int range; those give INT32_MIN, which is also what the x86 conversion
// instruction yields for them. Inline and without a call to trunc: it runs for every needle
// image on every frame.
inline int32_t ToPanelValue(double angleDegrees) noexcept {
    const double thousandths = angleDegrees * kPanelUnitsPerDegree;
    // Exactly the values whose truncation is an int pass; NaN fails both tests. The cast
    // truncates toward zero.
    if (!(thousandths > -2147483649.0 && thousandths < 2147483648.0)) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(thousandths);
}

} // namespace mirevane
