// Letter case as the configuration compares it: ASCII A-Z only, every other byte unchanged
// (names may hold bytes of the ANSI code page).
#pragma once

#include <string>

namespace mirevane {

inline char ToLowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline void ToLowerAscii(std::string& text) noexcept {
    for (char& c : text) {
        c = ToLowerAscii(c);
    }
}

} // namespace mirevane
