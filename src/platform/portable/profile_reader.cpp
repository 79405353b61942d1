// STUB: replaced by the direct profile reader.
#include "platform/platform.h"

namespace mirevane::platform {

uint32_t ProfileInt(const std::string&, const std::string&, const std::string&,
                    int32_t defaultValue) {
    return static_cast<uint32_t>(defaultValue);
}

std::string ProfileText(const std::string&, const std::string&, const std::string&,
                        const std::string& defaultText) {
    return defaultText;
}

} // namespace mirevane::platform
