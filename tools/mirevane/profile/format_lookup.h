// What the check reads off the profile format (config/profile_format.h): a key's current
// value as text, and which sections a further gauge file may leave out.
#pragma once

#include "config/profile_format.h"

#include <string>

namespace mirevane::tool {

// The field's value in a read model, as text ("2.5", "-1", "kmph").
std::string CurrentText(const SettingsModel& model, const SettingKey& key);

// Sections whose keys the plug-in takes from the main profile only.
bool IsMainProfileSection(const std::string& section);

} // namespace mirevane::tool
