// The platform seam on Windows: the profile functions, the file system and the code page.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace mirevane::platform {

uint32_t ProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t defaultValue) {
    return GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, path.c_str());
}

std::string ProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& defaultText) {
    char buffer[256] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer,
                             sizeof buffer, path.c_str());
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

namespace {

// Windows keeps the names CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (and COM and LPT with the
// superscript digits of code page 1252) for devices in every folder and with any extension:
// D:\Train\COM1.ini is the serial port. The attribute query and the file search both
// report such a path as present, and the profile functions then read the device, which on a
// serial port waits for ever. Only a Gauge name can lead here.
bool NamesDevice(const std::string& path) {
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < path.size()) {
            ++i; // a trail byte is never a separator
        } else if (byte == '\\' || byte == '/' || byte == ':') {
            nameStart = i + 1;
        }
    }
    // The device name is what stands before the first dot, without trailing blanks.
    std::string name = path.substr(nameStart, path.find('.', nameStart) - nameStart);
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    for (char& c : name) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL" || name == "CONIN$" ||
        name == "CONOUT$") {
        return true;
    }
    if (name.size() != 4 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const auto digit = static_cast<unsigned char>(name[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

} // namespace

std::string FilePath(const std::string& path) {
    return path;
}

bool PathExists(const std::string& path) {
    return !NamesDevice(path) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsLeadByte(unsigned char byte) noexcept {
    return IsDBCSLeadByte(byte) != FALSE;
}

} // namespace mirevane::platform
