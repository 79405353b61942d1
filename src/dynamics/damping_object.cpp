// STUB: replaced by the damping model.
#include "dynamics/damping_object.h"

namespace mirevane {

void CDampingObject::SetParameters(double naturalFrequency, double dampingRatio) noexcept {
    naturalFrequency_ = naturalFrequency;
    dampingRatio_ = dampingRatio;
}

void CDampingObject::Step(double, double&) noexcept {}

} // namespace mirevane
