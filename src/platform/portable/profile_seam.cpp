// The platform seam's profile lookups in the portable build: the direct reader.
#include "platform/platform.h"
#include "platform/portable/profile_reader.h"

namespace mirevane::platform {

uint32_t ProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t defaultValue) {
    return portable::ProfileInt(path, section, key, defaultValue);
}

std::string ProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& defaultText) {
    return portable::ProfileText(path, section, key, defaultText);
}

} // namespace mirevane::platform
