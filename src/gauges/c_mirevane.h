// The gauge set: every configured gauge as one index into six parallel sequences, one per
// stage a value passes on its way to the panel.
#pragma once

#include "config/settings_model.h"
#include "dynamics/ellipse_gauge.h"
#include "dynamics/needle_scale.h"
#include "dynamics/needle_vibration.h"
#include "gauges/load_observer.h"
#include "gauges/subject.h"
#include "plugin/host_records.h"
#include "plugin/panel_value.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mirevane {

class CMirevane {
public:
    // Per frame: subject -> vibration -> scale -> needle entry or elliptic render, gauge by
    // gauge in order. Allocates nothing.
    void Elapse(const AtsVehicleState& state, int32_t* panel, const int32_t* sound) noexcept;
    // Elapse with a look at each gauge's stages, for the companion tool: after gauge i has
    // written its entries, observer(i, value, vibrated, angleDegrees) runs. Elapse passes an
    // observer that does nothing, so the plug-in pays nothing for it.
    template <class Observer>
    void ElapseObserved(const AtsVehicleState& state, int32_t* panel, const int32_t* sound,
                        Observer&& observer) noexcept;
    // Asks every elliptic gauge to park all its images on the next frame; resets nothing else.
    void Initialize() noexcept;
    // Runs every developer action bound to this key on every gauge's scale.
    void KeyDown(int32_t key);

    // Reads the profiles beside the library and appends the gauges they describe, telling the
    // observer, if there is one, what it found and built.
    void Load(const std::string& libraryPath, LoadObserver* observer = nullptr);
    // Appends one gauge built from a read profile, to all six sequences or to none.
    void AddGauge(const SettingsModel& settings, const std::string& tablePath);

    int32_t gaugeCount() const noexcept { return gaugeCount_; }
    const std::array<int32_t, kDeveloperKeyCount>& keyBindings() const noexcept {
        return keyBindings_;
    }
    const std::vector<Subject>& subjects() const noexcept { return subjects_; }
    const std::vector<CNeedleVibration>& vibrations() const noexcept { return vibrations_; }
    const std::vector<NeedleScale>& scales() const noexcept { return scales_; }
    const std::vector<CEllipseGauge>& ellipses() const noexcept { return ellipses_; }
    const std::vector<bool>& isElliptic() const noexcept { return isElliptic_; }
    const std::vector<int32_t>& needlePanelIndex() const noexcept { return needlePanelIndex_; }

private:
    int32_t gaugeCount_ = 0;
    std::array<int32_t, kDeveloperKeyCount> keyBindings_{};
    std::vector<Subject> subjects_;
    std::vector<CNeedleVibration> vibrations_;
    std::vector<NeedleScale> scales_;
    std::vector<CEllipseGauge> ellipses_;
    std::vector<bool> isElliptic_;
    std::vector<int32_t> needlePanelIndex_;
};

template <class Observer>
void CMirevane::ElapseObserved(const AtsVehicleState& state, int32_t* panel, const int32_t* sound,
                               Observer&& observer) noexcept {
    for (int32_t i = 0; i < gaugeCount_; ++i) {
        const double value = subjects_[i].Value(state, panel, sound);
        const double vibrated = vibrations_[i].Apply(value, state.location);
        const double angle = scales_[i].ToAngle(vibrated);
        if (isElliptic_[i]) {
            ellipses_[i].Render(angle, state.time, panel);
        } else if (IsHostArrayIndex(needlePanelIndex_[i])) {
            panel[needlePanelIndex_[i]] = ToPanelValue(angle);
        }
        observer(i, value, vibrated, angle);
    }
}

} // namespace mirevane
