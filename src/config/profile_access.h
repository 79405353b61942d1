// Typed reads of one key of one profile. The variable's current value is the default: a key
// the file lacks leaves it exactly as it was, which is what lets profiles be layered.
#pragma once

#include <cstdint>
#include <string>

namespace mirevane {

void ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t& value);
// At most 255 characters, as the 256-character buffer of the platform call allows.
void ReadProfileText(const std::string& path, const std::string& section, const std::string& key,
                     std::string& value);
// Changes value only when the whole, non-empty text converts ("2.5 m" and "1,5" do not),
// with "." as the decimal point whatever the process locale.
void ReadProfileDouble(const std::string& path, const std::string& section, const std::string& key,
                       double& value);

// The double conversion alone: strtod's grammar in the classic locale, whole text only.
bool ParseWholeDouble(const std::string& text, double& value);

} // namespace mirevane
