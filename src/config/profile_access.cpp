#include "config/profile_access.h"

#include "platform/platform.h"

#include <clocale>
#include <cstdlib>

namespace mirevane {

void ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t& value) {
    // Taken as signed: a value written as -1 comes back as -1.
    const uint32_t raw = platform::ProfileInt(path, section, key, value);
    value = raw <= 0x7FFFFFFFu ? static_cast<int32_t>(raw)
                               : static_cast<int32_t>(raw - 0x80000000u) - 0x7FFFFFFF - 1;
}

void ReadProfileText(const std::string& path, const std::string& section, const std::string& key,
                     std::string& value) {
    value = platform::ProfileText(path, section, key, value);
}

void ReadProfileDouble(const std::string& path, const std::string& section, const std::string& key,
                       double& value) {
    std::string text;
    ReadProfileText(path, section, key, text);
    ParseWholeDouble(text, value);
}

bool ParseWholeDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    // strtod follows the C locale's decimal point (which may be more than one byte). Spell the
    // text's "." that way, so that a process running under a decimal-comma locale still reads
    // "2.5"; a text that already holds the locale's point ("2,5") is no number here.
    const std::string point = std::localeconv()->decimal_point;
    std::string local;
    if (point == ".") {
        local = text;
    } else {
        if (text.find(point) != std::string::npos) {
            return false;
        }
        for (const char c : text) {
            if (c == '.') {
                local += point;
            } else {
                local += c;
            }
        }
    }
    const char* begin = local.c_str();
    char* end = nullptr;
    const double converted = std::strtod(begin, &end);
    if (end != begin + local.size()) {
        return false;
    }
    value = converted;
    return true;
}

} // namespace mirevane
