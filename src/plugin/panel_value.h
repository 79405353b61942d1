// Converts a needle angle in degrees to the panel entry the cab draws: thousandths of a
// degree, truncated toward zero.
#pragma once

#include <cstdint>

namespace mirevane {

// The host reads a needle entry as a 32-bit int. A plain cast is undefined for NaN and for
// values outside the int range; those give INT32_MIN, which is also what the x86 conversion
// instruction yields for them.
int32_t ToPanelValue(double angleDegrees) noexcept;

} // namespace mirevane
