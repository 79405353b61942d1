// The in-memory image of one profile: one field per key of the format, each with its
// built-in default. Filled in layers: defaults, the fallback profile ./Ats.ini, a profile.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mirevane {

// Indices of the nine developer key names, in dispatch order.
enum DeveloperKey : int {
    kCopyValueToClipboard,
    kAdjustIncrementSmall,
    kAdjustDecrementSmall,
    kAdjustIncrementMedium,
    kAdjustDecrementMedium,
    kAdjustIncrementLarge,
    kAdjustDecrementLarge,
    kSwitchAdjustMode,
    kResetAdjustValue,
    kDeveloperKeyCount
};

constexpr int kFurtherGaugeCount = 16;
constexpr int kEllipsePanelCount = 64;

class SettingsModel {
public:
    // Defaults, then ReadProfile(path) with its result ignored (the empty path reads the
    // fallback profile).
    explicit SettingsModel(const std::string& path);
    SettingsModel(const SettingsModel&) = delete;
    SettingsModel& operator=(const SettingsModel&) = delete;

    // Lays the profile over what the model holds; false when no file-system entry is there.
    bool ReadProfile(const std::string& path);

    // [SubjectKey]
    std::string Subject = "kmph";
    // [FileName] Gauge0..Gauge15
    std::array<std::string, kFurtherGaugeCount> Gauge;
    // [PanelIndex]
    int32_t Needle = -1;
    std::array<int32_t, kEllipsePanelCount> Ellipse;
    // [Vibration]
    double Period = 0.0;
    double Amplitude = 0.0;
    double Threshold = 0.0;
    // [Damping]
    double NaturalFreq = 0.0;
    double DampingRatio = 0.0;
    // [Ellipse]
    double Flattening = 0.0;
    double RotateAngle = 0.0;
    int32_t Division = 0;
    double StandbyAngle = 180.0;
    // [DeveloperMode]
    int32_t Enabled = 0;
    // [KeyIndex], in DeveloperKey order
    std::array<std::string, kDeveloperKeyCount> DeveloperKeys;
    // [StepValue]
    double Angle = 1.0;
    double Value = 10.0;
    double Rotate = 1.0;
    // [Advanced]
    int32_t MaxArrayIndex = 255;

    const std::string defaultPath = "./Ats.ini";
};

} // namespace mirevane
