// A damped needle's answer to a sudden change of its target, computed by the plug-in's own
// damping object: what the studio draws beside the damping settings.
#pragma once

#include <utility>
#include <vector>

namespace mirevane::tool {

// The time every step response covers, whatever the settings: two settings drawn one after
// the other are then read on the same time axis. A needle that settles within about a second
// (the example cab's) is seen to settle; a sluggish one is seen to lag.
constexpr double kStepResponseSeconds = 5.0;

// (seconds, fraction of the step) at the host's 60 frames a second, from rest at 0 towards a
// target of 1, over kStepResponseSeconds. Empty when the damping is off (naturalFrequency <=
// 0): the needle follows at once.
std::vector<std::pair<double, double>> StepResponse(double naturalFrequency, double dampingRatio);

} // namespace mirevane::tool
