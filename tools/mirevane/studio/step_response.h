// A damped needle's answer to a sudden change of its target, computed by the plug-in's own
// damping object: what the studio draws beside the damping settings.
#pragma once

#include <utility>
#include <vector>

namespace mirevane::tool {

// (seconds, fraction of the step) at the host's 60 frames a second, from rest at 0 towards a
// target of 1, long enough to show the needle settle (at least 0.5 s, at most 10 s). Empty
// when the damping is off (naturalFrequency <= 0): the needle follows at once.
std::vector<std::pair<double, double>> StepResponse(double naturalFrequency, double dampingRatio);

} // namespace mirevane::tool
