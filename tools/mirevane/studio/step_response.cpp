#include "studio/step_response.h"

#include "dynamics/damping_object.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {

std::vector<std::pair<double, double>> StepResponse(double naturalFrequency, double dampingRatio) {
    std::vector<std::pair<double, double>> points;
    CDampingObject damping;
    damping.SetParameters(naturalFrequency, dampingRatio);
    if (!(naturalFrequency > 0.0) || !std::isfinite(naturalFrequency)) {
        return points;
    }
    // The slowest part of the response decays as e^(-r t), r = zeta omega up to critical
    // damping and omega (zeta - sqrt(zeta^2 - 1)) beyond; it is below 2 % by t = 4 / r. A
    // needle without damping is shown for the longest time.
    const double zeta = std::isfinite(dampingRatio) ? std::max(dampingRatio, 0.0) : 0.0;
    const double rate = zeta <= 1.0 ? zeta * naturalFrequency
                                    : naturalFrequency * (zeta - std::sqrt(zeta * zeta - 1.0));
    const double settle = rate > 0.0 ? 4.0 / rate : 10.0;
    const double seconds = std::clamp(settle * 1.25, 0.5, 10.0);
    constexpr double kFrame = 1.0 / 60.0;
    const int frames = static_cast<int>(std::ceil(seconds / kFrame));
    points.reserve(static_cast<std::size_t>(frames) + 1);
    for (int i = 0; i <= frames; ++i) {
        double value = 1.0;
        damping.Step(i == 0 ? 0.0 : kFrame, value);
        points.emplace_back(i * kFrame, value);
    }
    return points;
}

} // namespace mirevane::tool
