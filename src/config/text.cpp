#include "config/text.h"

#include "platform/platform.h"

#include <cstdio>

namespace mirevane {

bool SameName(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) noexcept {
    while (!text.empty() && IsProfileBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsProfileBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Unquoted(const std::string& text) {
    return IsQuoted(text) ? text.substr(1, text.size() - 2) : text;
}

IntegerText SplitInteger(std::string_view text) noexcept {
    IntegerText split;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        split.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.size() >= 2 && text[0] == '0') {
        split.base = text[1] == 'x' ? 16 : text[1] == 'o' ? 8 : text[1] == 'b' ? 2 : 10;
        if (split.base != 10) {
            text.remove_prefix(2);
        }
    }
    split.rest = text;
    return split;
}

int DigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return -1;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::size_t limit) {
    content.clear();
    std::FILE* file = std::fopen(platform::FilePath(path).c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char chunk[4096];
    std::size_t count = 0;
    while (content.size() <= limit && (count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content.append(chunk, count);
    }
    const bool read = std::ferror(file) == 0;
    std::fclose(file);
    return read;
}

} // namespace mirevane
