#include "profile_format.h"

#include "config/ascii_case.h"
#include "number_text.h"
#include "profile_scan.h"

#include <algorithm>

namespace mirevane::tool {
namespace {

std::vector<KnownKey> BuildFormat() {
    std::vector<KnownKey> keys;
    const auto text = [&keys](const char* section, std::string key,
                              std::function<std::string(const SettingsModel&)> get) {
        keys.push_back({section, std::move(key), KeyType::kText, std::move(get)});
    };
    const auto integer = [&keys](const char* section, std::string key,
                                 std::function<int32_t(const SettingsModel&)> get) {
        keys.push_back({section, std::move(key), KeyType::kInt,
                        [get](const SettingsModel& m) { return std::to_string(get(m)); }});
    };
    const auto real = [&keys](const char* section, const char* key, double SettingsModel::*field) {
        keys.push_back({section, key, KeyType::kDouble,
                        [field](const SettingsModel& m) { return Shortest(m.*field); }});
    };

    text("SubjectKey", "Subject", [](const SettingsModel& m) { return m.Subject; });
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        text("FileName", "Gauge" + std::to_string(k),
             [k](const SettingsModel& m) { return m.Gauge[k]; });
    }
    integer("PanelIndex", "Needle", [](const SettingsModel& m) { return m.Needle; });
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        integer("PanelIndex", "Ellipse" + std::to_string(k),
                [k](const SettingsModel& m) { return m.Ellipse[k]; });
    }
    real("Vibration", "Period", &SettingsModel::Period);
    real("Vibration", "Amplitude", &SettingsModel::Amplitude);
    real("Vibration", "Threshold", &SettingsModel::Threshold);
    real("Damping", "NaturalFreq", &SettingsModel::NaturalFreq);
    real("Damping", "DampingRatio", &SettingsModel::DampingRatio);
    real("Ellipse", "Flattening", &SettingsModel::Flattening);
    real("Ellipse", "RotateAngle", &SettingsModel::RotateAngle);
    integer("Ellipse", "Division", [](const SettingsModel& m) { return m.Division; });
    real("Ellipse", "StandbyAngle", &SettingsModel::StandbyAngle);
    integer("DeveloperMode", "Enabled", [](const SettingsModel& m) { return m.Enabled; });
    static const char* const kActions[kDeveloperKeyCount] = {
        "CopyValueToClipboard",  "AdjustIncrementSmall",  "AdjustDecrementSmall",
        "AdjustIncrementMedium", "AdjustDecrementMedium", "AdjustIncrementLarge",
        "AdjustDecrementLarge",  "SwitchAdjustMode",      "ResetAdjustValue"};
    for (int a = 0; a < kDeveloperKeyCount; ++a) {
        text("KeyIndex", kActions[a], [a](const SettingsModel& m) { return m.DeveloperKeys[a]; });
    }
    real("StepValue", "Angle", &SettingsModel::Angle);
    real("StepValue", "Value", &SettingsModel::Value);
    real("StepValue", "Rotate", &SettingsModel::Rotate);
    integer("Advanced", "MaxArrayIndex", [](const SettingsModel& m) { return m.MaxArrayIndex; });
    return keys;
}

std::string Lower(std::string text) {
    ToLowerAscii(text);
    return text;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

const std::vector<KnownKey>& ProfileFormat() {
    static const std::vector<KnownKey> format = BuildFormat();
    return format;
}

const std::vector<std::string>& ProfileSections() {
    static const std::vector<std::string> sections = {
        "SubjectKey", "FileName",      "PanelIndex", "Vibration", "Damping",
        "Ellipse",    "DeveloperMode", "KeyIndex",   "StepValue", "Advanced"};
    return sections;
}

bool IsMainProfileSection(const std::string& section) {
    for (const char* name : {"FileName", "KeyIndex", "StepValue", "DeveloperMode"}) {
        if (SameName(section, name)) {
            return true;
        }
    }
    return false;
}

std::string NearestName(const std::string& name, const std::vector<std::string>& known) {
    const std::string lower = Lower(name);
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& candidate : known) {
        const std::string other = Lower(candidate);
        std::size_t distance = EditDistance(lower, other);
        // A name cut short or run on (NaturalFrequency for NaturalFreq) counts as near.
        const std::size_t shorter = std::min(lower.size(), other.size());
        if (shorter >= 4 && (lower.compare(0, shorter, other, 0, shorter) == 0)) {
            distance = std::min<std::size_t>(distance, 1);
        }
        if (best.empty() || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    const std::size_t allowed = std::max<std::size_t>(2, lower.size() / 3);
    return bestDistance <= allowed ? best : "";
}

} // namespace mirevane::tool
