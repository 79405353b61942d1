#include "config/profile_key_screen.h"

#include <algorithm>
#include <cstdio>

namespace mirevane {
namespace {

// Profiles are small; a larger file is read by the profile functions alone.
constexpr std::size_t kScreenLimit = 64 * 1024;

char LowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The blanks the profile functions trim from names: control characters 9 to 13, 26, space.
bool IsNameBlank(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x09 && byte <= 0x0D) || byte == 0x1A || byte == 0x20;
}

bool IsAscii(char c) noexcept {
    return static_cast<unsigned char>(c) < 0x80;
}

// Both already lowered.
bool SameAt(std::string_view content, std::size_t at, std::string_view name) noexcept {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = content[at + i];
        if (IsAscii(c) && c != name[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

ProfileKeyScreen::ProfileKeyScreen(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return;
    }
    char chunk[4096];
    std::size_t count = 0;
    while (content_.size() <= kScreenLimit &&
           (count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        content_.append(chunk, count);
    }
    const bool complete = std::ferror(file) == 0 && content_.size() <= kScreenLimit;
    std::fclose(file);
    // The profile functions also read UTF-16, whose ASCII characters hold NUL bytes and whose
    // other characters may fold to ASCII letters: such a file is not screened.
    const bool wide = content_.rfind("\xFF\xFE", 0) == 0 || content_.rfind("\xFE\xFF", 0) == 0 ||
                      content_.find('\0') != std::string::npos;
    screens_ = complete && !wide;
    if (!screens_) {
        content_.clear();
    }
    for (char& c : content_) {
        c = LowerAscii(c);
    }
    asciiOnly_ = std::all_of(content_.begin(), content_.end(), IsAscii);
}

bool ProfileKeyScreen::MayHold(std::string_view key) const {
    while (!key.empty() && IsNameBlank(key.front())) {
        key.remove_prefix(1);
    }
    while (!key.empty() && IsNameBlank(key.back())) {
        key.remove_suffix(1);
    }
    // A name beyond ASCII may fold onto ASCII letters of the file in the ANSI code page.
    if (!screens_ || key.empty() || !std::all_of(key.begin(), key.end(), IsAscii)) {
        return true;
    }
    std::string name(key);
    for (char& c : name) {
        c = LowerAscii(c);
    }
    if (asciiOnly_) {
        return content_.find(name) != std::string::npos;
    }
    for (std::size_t at = 0; at + name.size() <= content_.size(); ++at) {
        if (SameAt(content_, at, name)) {
            return true;
        }
    }
    return false;
}

} // namespace mirevane
