#include "config/settings_model.h"

#include "config/profile_access.h"
#include "config/profile_key_screen.h"
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

// A text lookup that cannot find its key gives the default, but the profile functions trim
// and unquote a default first: only a default they would leave alone may skip the lookup.
bool DefaultPassesUnchanged(const std::string& text) {
    const bool quoted = text.size() > 1 && (text.front() == '"' || text.front() == '\'') &&
                        text.back() == text.front();
    return text.size() <= 255 && (text.empty() || text.back() != ' ') && !quoted;
}

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
    // Keys the file cannot hold keep their value without a lookup, as a lookup would leave it.
    const ProfileKeyScreen screen(path);
    auto readText = [&](const char* section, const std::string& key, std::string& value) {
        if (screen.MayHold(key) || !DefaultPassesUnchanged(value)) {
            ReadProfileText(path, section, key, value);
        }
    };
    auto readInt = [&](const char* section, const std::string& key, int32_t& value) {
        if (screen.MayHold(key)) {
            ReadProfileInt(path, section, key, value);
        }
    };
    auto readDouble = [&](const char* section, const std::string& key, double& value) {
        if (screen.MayHold(key)) {
            ReadProfileDouble(path, section, key, value);
        }
    };
    readText("SubjectKey", Padded("Subject", kWide), Subject);
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        readText("FileName", Padded("Gauge" + std::to_string(k), 14), Gauge[k]);
    }
    readInt("PanelIndex", Padded("Needle", kWide), Needle);
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        readInt("PanelIndex", Padded("Ellipse" + std::to_string(k), kWide), Ellipse[k]);
    }
    readDouble("Vibration", Padded("Period", kWide), Period);
    readDouble("Vibration", Padded("Amplitude", kWide), Amplitude);
    readDouble("Vibration", Padded("Threshold", kWide), Threshold);
    readDouble("Damping", Padded("NaturalFreq", kWide), NaturalFreq);
    readDouble("Damping", Padded("DampingRatio", kWide), DampingRatio);
    readDouble("Ellipse", Padded("Flattening", kWide), Flattening);
    readDouble("Ellipse", Padded("RotateAngle", kWide), RotateAngle);
    readInt("Ellipse", Padded("Division", 10), Division);
    readDouble("Ellipse", Padded("StandbyAngle", kWide), StandbyAngle);
    readInt("DeveloperMode", Padded("Enabled", kWide), Enabled);
    static const char* const kKeyNames[kDeveloperKeyCount] = {
        "CopyValueToClipboard",  "AdjustIncrementSmall",  "AdjustDecrementSmall",
        "AdjustIncrementMedium", "AdjustDecrementMedium", "AdjustIncrementLarge",
        "AdjustDecrementLarge",  "SwitchAdjustMode ",     "ResetAdjustValue "};
    for (int k = 0; k < kDeveloperKeyCount; ++k) {
        readText("KeyIndex", kKeyNames[k], DeveloperKeys[k]);
    }
    readDouble("StepValue", Padded("Angle", kWide), Angle);
    readDouble("StepValue", Padded("Value", kWide), Value);
    readDouble("StepValue", Padded("Rotate", kWide), Rotate);
    readInt("Advanced", Padded("MaxArrayIndex", kWide), MaxArrayIndex);
    return true;
}

} // namespace mirevane
