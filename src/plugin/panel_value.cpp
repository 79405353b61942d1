#include "plugin/panel_value.h"

#include <cmath>
#include <limits>

namespace mirevane {

int32_t ToPanelValue(double angleDegrees) noexcept {
    const double thousandths = std::trunc(angleDegrees * 1000.0);
    // After truncation every double in [-2^31, 2^31 - 1] is an exact int; NaN fails both tests.
    if (!(thousandths >= -2147483648.0 && thousandths <= 2147483647.0)) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(thousandths);
}

} // namespace mirevane
