#include "gauges/c_mirevane.h"

#include "plugin/panel_value.h"

namespace mirevane {

void CMirevane::Elapse(const AtsVehicleState& state, int32_t* panel,
                       const int32_t* sound) noexcept {
    for (int32_t i = 0; i < gaugeCount_; ++i) {
        const double value = subjects_[i].Value(state, panel, sound);
        const double vibrated = vibrations_[i].Apply(value, state.location);
        const double angle = scales_[i].ToAngle(vibrated);
        if (isElliptic_[i]) {
            ellipses_[i].Render(angle, state.time, panel);
        } else if (IsHostArrayIndex(needlePanelIndex_[i])) {
            panel[needlePanelIndex_[i]] = ToPanelValue(angle);
        }
    }
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
            if (keyBindings_[action] == key) {
                kActions[action](scale);
            }
        }
    }
}

} // namespace mirevane
