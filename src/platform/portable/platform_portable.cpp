// The platform seam without an operating system of its own: the file system through the
// standard library, and single-byte text.
#include "platform/platform.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace mirevane::platform {

std::string FilePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(FilePath(path)), error);
}

bool IsLeadByte(unsigned char) noexcept {
    return false;
}

} // namespace mirevane::platform
