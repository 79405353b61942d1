#include "config/text.h"

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

bool ReadWholeFile(const std::string& path, std::string& content, std::size_t limit) {
    content.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
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
