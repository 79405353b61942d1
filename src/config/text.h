// The text rules the configuration files are read by, in one place: letter case (ASCII A-Z
// only; names may hold bytes of the ANSI code page), the blank set, trimming, the quote rule
// and the whole-file read. The profile reader, the key screen, the table reader and the tool
// all use these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mirevane {

inline char ToLowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline void ToLowerAscii(std::string& text) noexcept {
    for (char& c : text) {
        c = ToLowerAscii(c);
    }
}

inline std::string LowerAscii(std::string text) {
    ToLowerAscii(text);
    return text;
}

// Names compare without regard to ASCII letter case; other bytes must be equal.
bool SameName(std::string_view a, std::string_view b) noexcept;

// The blanks the profile functions trim from lines and names: 0x09-0x0D, 0x1A and space.
inline bool IsProfileBlank(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x09 && byte <= 0x0D) || byte == 0x1A || byte == 0x20;
}

std::string_view TrimBlanks(std::string_view text) noexcept;

// A text of two or more characters that starts and ends with the same quote, ' or ": the
// profile functions drop that one pair.
inline bool IsQuoted(std::string_view text) noexcept {
    return text.size() > 1 && (text.front() == '"' || text.front() == '\'') &&
           text.back() == text.front();
}

std::string Unquoted(const std::string& text);

// The integer grammar of the profile functions: an optional sign, then a lower-case 0x, 0o
// or 0b for base 16, 8 or 2, then the digits of that base.
struct IntegerText {
    bool negative = false;
    int base = 10;
    std::string_view rest; // after the sign and the base prefix
};
IntegerText SplitInteger(std::string_view text) noexcept;
// 0-9, then a-z and A-Z as 10-35; -1 for any other byte.
int DigitValue(char c) noexcept;

// The whole file, or its first `limit` bytes and a little more when it is longer. False when
// it cannot be opened or a read fails; a directory either cannot be opened or reads as empty.
bool ReadWholeFile(const std::string& path, std::string& content,
                   std::size_t limit = std::string::npos);

} // namespace mirevane
