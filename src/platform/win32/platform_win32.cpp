// The platform seam on Windows: the profile functions, the file system and the code page.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace mirevane::platform {

uint32_t ProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t defaultValue) {
    return GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, path.c_str());
}

std::string ProfileText(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& defaultText) {
    char buffer[256] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer,
                             sizeof buffer, path.c_str());
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsLeadByte(unsigned char byte) noexcept {
    return IsDBCSLeadByte(byte) != FALSE;
}

} // namespace mirevane::platform
