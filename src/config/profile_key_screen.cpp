#include "config/profile_key_screen.h"

#include "config/text.h"

#include <algorithm>

namespace mirevane {
namespace {

// Profiles are small; a larger file is read by the profile functions alone.
constexpr std::size_t kScreenLimit = 64 * 1024;

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
    const bool complete =
        ReadWholeFile(path, content_, kScreenLimit) && content_.size() <= kScreenLimit;
    // The profile functions also read UTF-16, whose ASCII characters hold NUL bytes and whose
    // other characters may fold to ASCII letters: such a file is not screened.
    const bool wide = content_.rfind("\xFF\xFE", 0) == 0 || content_.rfind("\xFE\xFF", 0) == 0 ||
                      content_.find('\0') != std::string::npos;
    screens_ = complete && !wide;
    if (!screens_) {
        content_.clear();
    }
    ToLowerAscii(content_);
    asciiOnly_ = std::all_of(content_.begin(), content_.end(), IsAscii);
}

bool ProfileKeyScreen::MayHold(std::string_view key) const {
    key = TrimBlanks(key);
    // A name beyond ASCII may fold onto ASCII letters of the file in the ANSI code page.
    if (!screens_ || key.empty() || !std::all_of(key.begin(), key.end(), IsAscii)) {
        return true;
    }
    const std::string name = LowerAscii(std::string(key));
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
