// The profile format, once: every section and key with its name as written, the name the
// lookup passes, type, default, unit, meaning and which gauges it applies to. The settings
// model reads by walking it; the tool's key checks and the generated reference read it too.
#pragma once

#include "config/settings_model.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace mirevane {

// The unit of a value measured like the gauge's subject (km/h, kPa, A, or none).
inline constexpr const char* kSubjectUnit = "subject's unit";

enum class SettingType { kText, kKeyName, kInt, kDouble };

enum class SettingScope {
    kOwnGauge,    // each profile sets its own gauge
    kEveryGauge,  // the main profile's value, on every gauge
    kMainProfile, // read from the main profile only; further gauge files' values are ignored
};

using SettingField = std::variant<std::string*, int32_t*, double*>;

// One row of the format: a key, or a numbered family of keys (Gauge0..Gauge15). The row of
// type kKeyName stands for one key per developer action, named after the action, with the
// action's default key as its default.
struct SettingRow {
    const char* section;
    std::string name;  // as a profile writes it; a family's stem
    int count;         // 1, or the number of keys in the family, numbered from 0
    std::size_t padTo; // the lookup's name is padded with blanks to this width (see below)
    SettingType type;
    std::string defaultText;
    const char* unit; // "" when the value has none
    std::string meaning;
    SettingScope scope;
    SettingField (*field)(SettingsModel& model, int k);
};

// One key: a row, with its number in the family.
struct SettingKey {
    const SettingRow* row;
    int k;
    std::string name;       // "Ellipse12"
    std::string lookupName; // "Ellipse12        "
    std::string defaultText;
};

// The ten sections' rows, in the order the settings model reads them.
const std::vector<SettingRow>& ProfileFormatRows();
// The 105 keys, in reading order.
const std::vector<SettingKey>& ProfileFormat();
// The ten section names, in reading order.
const std::vector<std::string>& ProfileSections();

} // namespace mirevane
