#include "gauges/c_mirevane.h"

namespace mirevane {

void CMirevane::Elapse(const AtsVehicleState& state, int32_t* panel,
                       const int32_t* sound) noexcept {
    ElapseObserved(state, panel, sound, [](int32_t, double, double, double) noexcept {});
}

void CMirevane::Initialize() noexcept {
    for (CEllipseGauge& ellipse : ellipses_) {
        ellipse.RequestStandby();
    }
}

void CMirevane::KeyDown(int32_t key) {
    for (NeedleScale& scale : scales_) {
        for (std::size_t action = 0; action < kDeveloperActions.size(); ++action) {
            if (keyBindings_[action] == key) {
                kDeveloperActions[action].run(scale);
            }
        }
    }
}

} // namespace mirevane
