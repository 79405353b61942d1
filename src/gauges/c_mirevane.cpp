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
    // One entry per binding, in dispatch order.
    static constexpr void (*kActions[kDeveloperKeyCount])(NeedleScale&) = {
        [](NeedleScale& s) { s.CopyValueToClipboard(); },
        [](NeedleScale& s) { s.AdjustIncrementSmall(); },
        [](NeedleScale& s) { s.AdjustDecrementSmall(); },
        [](NeedleScale& s) { s.AdjustIncrementMedium(); },
        [](NeedleScale& s) { s.AdjustDecrementMedium(); },
        [](NeedleScale& s) { s.AdjustIncrementLarge(); },
        [](NeedleScale& s) { s.AdjustDecrementLarge(); },
        [](NeedleScale& s) { s.SwitchAdjustMode(); },
        [](NeedleScale& s) { s.ResetAdjustValue(); },
    };
    for (NeedleScale& scale : scales_) {
        for (int action = 0; action < kDeveloperKeyCount; ++action) {
            // -1 is the binding of a name that names no key: it never fires.
            if (keyBindings_[action] >= 0 && keyBindings_[action] == key) {
                kActions[action](scale);
            }
        }
    }
}

} // namespace mirevane
