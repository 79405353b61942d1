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
            // -1 is the binding of a name that names no key: it never fires.
            if (keyBindings_[action] >= 0 && keyBindings_[action] == key) {
                kDeveloperActions[action].run(scale);
            }
        }
    }
}

} // namespace mirevane
