#include "loading/library_path.h"

#include "platform/platform.h"

namespace mirevane {

LibraryPath LibraryPath::Split(const std::string& path) {
    LibraryPath parts;
    std::size_t rest = 0;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = path.substr(0, 2);
        rest = 2;
    }
    // On a double-byte code page the trail byte of a character may equal '\\' or '.': step
    // over whole characters so that only real separators and dots count.
    std::size_t directoryEnd = rest; // one past the last separator
    std::size_t lastDot = std::string::npos;
    for (std::size_t i = rest; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (platform::IsLeadByte(byte) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (byte == '\\' || byte == '/') {
            directoryEnd = i + 1;
            lastDot = std::string::npos;
        } else if (byte == '.') {
            lastDot = i;
        }
    }
    parts.directory = path.substr(rest, directoryEnd - rest);
    parts.baseName = lastDot == std::string::npos
                         ? path.substr(directoryEnd)
                         : path.substr(directoryEnd, lastDot - directoryEnd);
    return parts;
}

} // namespace mirevane
