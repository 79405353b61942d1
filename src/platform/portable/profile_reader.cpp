// The direct profile reader. It follows the Windows profile functions' reading rules, which
// the differential test checks against the real functions: the file is split into header and
// key lines, then one lookup walks them. Every lookup reads the file afresh, as the Windows
// functions do; lookups happen only while a profile loads.
#include "platform/portable/profile_reader.h"

#include "config/text.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace mirevane::portable {
namespace {

// The Windows functions copy a value into the caller's buffer: 256 characters for text, and
// 30 for the integer, which they read as text first.
constexpr std::size_t kTextLimit = 255;
constexpr std::size_t kIntegerTextLimit = 29;

// One meaningful line of a profile: a section header, or a key with or without a value.
struct Line {
    bool isHeader = false;
    std::string_view name;
    std::optional<std::string_view> value; // absent for a key line without '='
};

// Calls visit(line) for each meaningful line, in order, until it returns false.
template <class Visit> void ForEachLine(std::string_view content, Visit&& visit) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (content.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        content.remove_prefix(kByteOrderMark.size());
    }
    while (!content.empty()) {
        // Any CR or LF ends a line; the empty lines between a CR and an LF fall away below.
        const std::size_t end = std::min(content.find_first_of("\r\n"), content.size());
        const std::string_view text = TrimBlanks(content.substr(0, end));
        content.remove_prefix(std::min(end + 1, content.size()));
        if (text.empty()) {
            continue;
        }
        Line line;
        const std::size_t close = text.rfind(']');
        if (text.front() == '[' && close != std::string_view::npos) {
            // Whatever follows the last ']' is ignored. A '[' without ']' is a key line.
            line.isHeader = true;
            line.name = TrimBlanks(text.substr(1, close - 1));
        } else {
            const std::size_t equals = text.find('=');
            line.name = TrimBlanks(text.substr(0, equals));
            if (equals != std::string_view::npos) {
                line.value = TrimBlanks(text.substr(equals + 1));
            }
        }
        if (!visit(line)) {
            return;
        }
    }
}

// The whole file. One that cannot be opened answers as an empty one, without any key; a
// directory either cannot be opened or reads as empty.
std::string ReadFile(const std::string& path) {
    std::string content;
    ReadWholeFile(path, content);
    return content;
}

// The value text of the key, when the profile holds the key with an '='. Only the first
// section of the requested name is searched, and the first key of the name in it counts.
std::optional<std::string> FindValue(std::string_view content, const std::string& section,
                                     const std::string& key) {
    const std::string_view wantedSection = TrimBlanks(section);
    // An empty (or blank) key name finds a key line that starts with '='.
    const std::string_view wantedKey = TrimBlanks(key);
    // Keys above the first header belong to a section without a name.
    bool inside = wantedSection.empty();
    std::optional<std::string> found;
    ForEachLine(content, [&](const Line& line) {
        if (line.isHeader) {
            if (inside) {
                return false; // only the first section of the name counts
            }
            inside = SameName(line.name, wantedSection);
            return true;
        }
        if (inside && SameName(line.name, wantedKey)) {
            if (line.value) {
                found = std::string(*line.value);
            }
            return false; // the first key of the name counts, with or without '='
        }
        return true;
    });
    return found;
}

// The default text loses its trailing spaces (0x20 only), but never its first character.
std::string WithoutTrailingSpaces(std::string text) {
    const std::size_t last = text.find_last_not_of(' ');
    text.resize(last == std::string::npos ? std::min<std::size_t>(text.size(), 1) : last + 1);
    return text;
}

// Windows' integer reading: no overflow check, the lowest 32 bits kept, then negated.
uint32_t ParseInteger(std::string_view text) noexcept {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    const IntegerText split = SplitInteger(text);
    uint32_t total = 0;
    for (const char c : split.rest) {
        const int digit = DigitValue(c);
        if (digit < 0 || digit >= split.base) {
            break;
        }
        total = total * static_cast<uint32_t>(split.base) + static_cast<uint32_t>(digit);
    }
    return split.negative ? 0u - total : total;
}

} // namespace

uint32_t ProfileIntIn(std::string_view content, const std::string& section, const std::string& key,
                      int32_t defaultValue) {
    const std::optional<std::string> value = FindValue(content, section, key);
    const std::string text = value ? Unquoted(*value).substr(0, kIntegerTextLimit) : "";
    if (text.empty()) {
        return static_cast<uint32_t>(defaultValue);
    }
    return ParseInteger(text);
}

std::string ProfileTextIn(std::string_view content, const std::string& section,
                          const std::string& key, const std::string& defaultText) {
    const std::optional<std::string> value = FindValue(content, section, key);
    return Unquoted(value ? *value : WithoutTrailingSpaces(defaultText)).substr(0, kTextLimit);
}

uint32_t ProfileInt(const std::string& path, const std::string& section, const std::string& key,
                    int32_t defaultValue) {
    return ProfileIntIn(ReadFile(path), section, key, defaultValue);
}

std::string ProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& defaultText) {
    return ProfileTextIn(ReadFile(path), section, key, defaultText);
}

} // namespace mirevane::portable
