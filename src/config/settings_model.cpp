#include "config/settings_model.h"

#include "config/profile_access.h"
#include "platform/platform.h"

namespace mirevane {
namespace {

// Key names go to the lookup padded with trailing blanks, as the profile functions have
// always been called; they match keys written without them.
std::string Padded(std::string name, std::size_t width) {
    if (name.size() < width) {
        name.append(width - name.size(), ' ');
    }
    return name;
}

constexpr std::size_t kWide = 17;

} // namespace

SettingsModel::SettingsModel(const std::string& path) {
    Gauge.fill("null");
    Ellipse.fill(-1);
    DeveloperKeys = {"S", "A1", "A2", "B1", "B2", "C1", "C2", "D", "L"};
    ReadProfile(path);
}

bool SettingsModel::ReadProfile(const std::string& requestedPath) {
    const std::string& path = requestedPath.empty() ? defaultPath : requestedPath;
    if (!platform::PathExists(path)) {
        return false;
    }
    ReadProfileText(path, "SubjectKey", Padded("Subject", kWide), Subject);
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        ReadProfileText(path, "FileName", Padded("Gauge" + std::to_string(k), 14), Gauge[k]);
    }
    ReadProfileInt(path, "PanelIndex", Padded("Needle", kWide), Needle);
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        ReadProfileInt(path, "PanelIndex", Padded("Ellipse" + std::to_string(k), kWide),
                       Ellipse[k]);
    }
    ReadProfileDouble(path, "Vibration", Padded("Period", kWide), Period);
    ReadProfileDouble(path, "Vibration", Padded("Amplitude", kWide), Amplitude);
    ReadProfileDouble(path, "Vibration", Padded("Threshold", kWide), Threshold);
    ReadProfileDouble(path, "Damping", Padded("NaturalFreq", kWide), NaturalFreq);
    ReadProfileDouble(path, "Damping", Padded("DampingRatio", kWide), DampingRatio);
    ReadProfileDouble(path, "Ellipse", Padded("Flattening", kWide), Flattening);
    ReadProfileDouble(path, "Ellipse", Padded("RotateAngle", kWide), RotateAngle);
    ReadProfileInt(path, "Ellipse", Padded("Division", 10), Division);
    ReadProfileDouble(path, "Ellipse", Padded("StandbyAngle", kWide), StandbyAngle);
    ReadProfileInt(path, "DeveloperMode", Padded("Enabled", kWide), Enabled);
    static const char* const kKeyNames[kDeveloperKeyCount] = {
        "CopyValueToClipboard",  "AdjustIncrementSmall",  "AdjustDecrementSmall",
        "AdjustIncrementMedium", "AdjustDecrementMedium", "AdjustIncrementLarge",
        "AdjustDecrementLarge",  "SwitchAdjustMode ",     "ResetAdjustValue "};
    for (int k = 0; k < kDeveloperKeyCount; ++k) {
        ReadProfileText(path, "KeyIndex", kKeyNames[k], DeveloperKeys[k]);
    }
    ReadProfileDouble(path, "StepValue", Padded("Angle", kWide), Angle);
    ReadProfileDouble(path, "StepValue", Padded("Value", kWide), Value);
    ReadProfileDouble(path, "StepValue", Padded("Rotate", kWide), Rotate);
    ReadProfileInt(path, "Advanced", Padded("MaxArrayIndex", kWide), MaxArrayIndex);
    return true;
}

} // namespace mirevane
