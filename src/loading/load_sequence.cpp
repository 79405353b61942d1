// The only code that creates gauges: Load reads the profiles beside the library and
// AddGauge turns one read profile into one gauge.
#include "gauges/c_mirevane.h"
#include "loading/key_names.h"
#include "loading/library_path.h"

#include <utility>

namespace mirevane {

void CMirevane::Load(const std::string& libraryPath, LoadObserver* observer) {
    const LibraryPath parts = LibraryPath::Split(libraryPath);
    const std::string moduleDirectory = parts.ModuleDirectory();

    SettingsModel main;
    const bool fallbackFound = main.ReadProfile(SettingsModel::kFallbackProfile);
    const bool mainFound = main.ReadProfile(parts.MainProfile());
    if (observer != nullptr) {
        observer->FallbackProfile(SettingsModel::kFallbackProfile, fallbackFound);
        observer->MainProfile(parts.MainProfile(), mainFound);
    }
    if (!mainFound) {
        return; // no main profile: no gauge, bindings as they were
    }
    for (std::size_t action = 0; action < keyBindings_.size(); ++action) {
        keyBindings_[action] = KeyNameToNumber(main.DeveloperKeys[action]);
    }
    AddGauge(main, parts.MainTable());
    if (observer != nullptr) {
        observer->GaugeBuilt(gaugeCount_ - 1, main, parts.MainProfile(), parts.MainTable());
    }

    for (int key = 0; key < kFurtherGaugeCount; ++key) {
        const std::string& name = main.Gauge[static_cast<std::size_t>(key)];
        const std::string basePath = moduleDirectory + name;
        SettingsModel further;
        further.ReadProfile(SettingsModel::kFallbackProfile);
        const bool found = further.ReadProfile(basePath + ".ini");
        if (found) {
            AddGauge(further, basePath + ".csv");
        }
        if (observer != nullptr) {
            observer->FurtherGaugeFile(key, name, basePath + ".ini", found);
            if (found) {
                observer->GaugeBuilt(gaugeCount_ - 1, further, basePath + ".ini",
                                     basePath + ".csv");
            }
        }
    }

    // Steps and the developer switch are global: the main profile's win on every gauge.
    for (std::size_t i = 1; i < scales_.size(); ++i) {
        scales_[i].SetValueStep(main.Value);
        scales_[i].SetAngleStep(main.Angle);
        scales_[i].SetRotateStep(main.Rotate);
        scales_[i].SetDeveloperEnabled(main.Enabled);
    }
}

void CMirevane::AddGauge(const SettingsModel& s, const std::string& tablePath) {
    Subject subject;
    subject.Parse(s.Subject);
    // The parse always bounds indices by 255; the setting may only narrow what is read.
    if (s.MaxArrayIndex >= 0) {
        subject.SetMaxIndex(s.MaxArrayIndex);
    }

    CNeedleVibration vibration;
    vibration.SetAmplitude(s.Amplitude);
    vibration.SetPeriod(s.Period);
    vibration.SetThreshold(s.Threshold);

    NeedleScale scale;
    scale.LoadTable(tablePath);
    scale.SetValueStep(s.Value);
    scale.SetAngleStep(s.Angle);
    scale.SetRotateStep(s.Rotate);
    scale.SetDeveloperEnabled(s.Enabled);

    CEllipseGauge ellipse;
    for (int32_t panelIndex : s.Ellipse) {
        ellipse.AddPanelIndex(panelIndex);
    }
    ellipse.Setup(s.Division, s.Flattening, s.RotateAngle, s.StandbyAngle);
    ellipse.SetDamping(s.NaturalFreq, s.DampingRatio);

    // A gauge is in all six sequences or in none. Once all six are reserved no append
    // reallocates, and each element is copied or moved without allocating (the scale's and
    // the ellipse's tables are moved), so no append can fail; should a change ever make one
    // able to, what was already appended is taken back.
    const std::size_t before = static_cast<std::size_t>(gaugeCount_);
    subjects_.reserve(before + 1);
    vibrations_.reserve(before + 1);
    scales_.reserve(before + 1);
    ellipses_.reserve(before + 1);
    isElliptic_.reserve(before + 1);
    needlePanelIndex_.reserve(before + 1);
    try {
        subjects_.push_back(subject);
        vibrations_.push_back(vibration);
        scales_.push_back(std::move(scale));
        ellipses_.push_back(std::move(ellipse));
        isElliptic_.push_back(s.Division >= 2);
        needlePanelIndex_.push_back(s.Needle);
    } catch (...) {
        subjects_.resize(before);
        vibrations_.resize(before);
        scales_.resize(before);
        ellipses_.resize(before);
        isElliptic_.resize(before);
        needlePanelIndex_.resize(before);
        throw;
    }
    ++gaugeCount_;
}

} // namespace mirevane
