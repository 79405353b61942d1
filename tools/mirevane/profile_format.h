// What the check adds to the profile format (config/profile_format.h): a key's current value
// as text, which sections a further gauge file may leave out, and did-you-mean for names.
#pragma once

#include "config/profile_format.h"

#include <string>
#include <vector>

namespace mirevane::tool {

// The field's value in a read model, as text ("2.5", "-1", "kmph").
std::string CurrentText(const SettingsModel& model, const SettingKey& key);

// Sections whose keys the plug-in takes from the main profile only.
bool IsMainProfileSection(const std::string& section);

// The known name nearest to `name` (letter case ignored), or "" when none is near enough to
// be a likely typo: NaturalFrequency -> NaturalFreq, Flatening -> Flattening.
std::string NearestName(const std::string& name, const std::vector<std::string>& known);

} // namespace mirevane::tool
