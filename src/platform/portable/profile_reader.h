// A direct reader of profile (INI) files that answers as the Windows profile functions do.
// The portable build's platform seam forwards to it; the Windows test build links it beside
// the real functions so that the two can be compared.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mirevane::portable {

// As GetPrivateProfileIntA: the key's value as an integer, or the default when the file,
// the section or the key is absent, or the value is empty.
uint32_t ProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t defaultValue);
// As GetPrivateProfileStringA into a 256-character buffer: at most 255 characters.
std::string ProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& defaultText);

// The same two lookups on a profile's bytes already read, for tests and fuzzing that need
// the reading rules without the file system.
uint32_t ProfileIntIn(std::string_view content, const std::string& section, const std::string& key,
                      int32_t defaultValue);
std::string ProfileTextIn(std::string_view content, const std::string& section,
                          const std::string& key, const std::string& defaultText);

} // namespace mirevane::portable
