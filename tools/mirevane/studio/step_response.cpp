#include "studio/step_response.h"

#include "dynamics/damping_object.h"

#include <cmath>

namespace mirevane::tool {

std::vector<std::pair<double, double>> StepResponse(double naturalFrequency, double dampingRatio) {
    std::vector<std::pair<double, double>> points;
    CDampingObject damping;
    damping.SetParameters(naturalFrequency, dampingRatio);
    if (!(naturalFrequency > 0.0) || !std::isfinite(naturalFrequency)) {
        return points;
    }
    constexpr double kFrame = 1.0 / 60.0;
    const int frames = static_cast<int>(std::lround(kStepResponseSeconds / kFrame));
    points.reserve(static_cast<std::size_t>(frames) + 1);
    for (int i = 0; i <= frames; ++i) {
        double value = 1.0;
        damping.Step(i == 0 ? 0.0 : kFrame, value);
        points.emplace_back(i * kFrame, value);
    }
    return points;
}

} // namespace mirevane::tool
