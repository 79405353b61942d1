// The profile format as the check needs it: every section and key the settings model reads,
// with its type, for spotting what a profile holds that the model never looks up.
#pragma once

#include "config/settings_model.h"

#include <functional>
#include <string>
#include <vector>

namespace mirevane::tool {

enum class KeyType { kText, kInt, kDouble };

struct KnownKey {
    std::string section;
    std::string key;
    KeyType type;
    // The field's value in a read model, as text ("2.5", "-1", "kmph").
    std::function<std::string(const SettingsModel&)> current;
};

// The ten sections and their 105 keys, in the order the model reads them.
const std::vector<KnownKey>& ProfileFormat();
const std::vector<std::string>& ProfileSections();

// Sections whose keys the plug-in takes from the main profile only.
bool IsMainProfileSection(const std::string& section);

// The known name nearest to `name` (letter case ignored), or "" when none is near enough to
// be a likely typo: NaturalFrequency -> NaturalFreq, Flatening -> Flattening.
std::string NearestName(const std::string& name, const std::vector<std::string>& known);

} // namespace mirevane::tool
