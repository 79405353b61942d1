// The portable profile reader on any file and any lookup. Every answer must equal that of a
// second, plain reading of the same bytes written here from the reading rules of the Windows
// profile functions (text values, defaults, and above all the integer parse).
//
// Input: the profile's bytes, then lookups, each after a line "%%"; a lookup is a section
// name and a key name separated by a tab (no tab: the key alone, in the nameless section).
// Besides these, every section and key the file holds is looked up, also in other letter
// case and padded with blanks as the settings reader pads its key names. The lookups work on
// the bytes; one of them also goes through the file, which costs a thousand times more.
#include "fuzz_check.h"
#include "platform/portable/profile_reader.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirevane {
namespace {

bool IsBlank(unsigned char c) {
    return c == ' ' || c == 0x1A || (c >= 0x09 && c <= 0x0D);
}

std::string Trimmed(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && IsBlank(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    return std::string(text.substr(first, last - first));
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The file as the rules read it: sections in file order, each with its key lines in order.
struct Key {
    std::string name;
    bool hasValue = false;
    std::string value;
};
struct Section {
    std::string name;
    std::vector<Key> keys;
};

class PlainProfile {
public:
    explicit PlainProfile(std::string_view bytes) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            bytes.remove_prefix(3);
        }
        sections_.push_back(Section{}); // lines above the first header
        std::string line;
        for (std::size_t i = 0; i <= bytes.size(); ++i) {
            if (i == bytes.size() || bytes[i] == '\r' || bytes[i] == '\n') {
                Take(Trimmed(line));
                line.clear();
            } else {
                line += bytes[i];
            }
        }
    }

    const std::vector<Section>& sections() const { return sections_; }

    // The value of the key, if the first section of that name holds the key with an '='.
    std::optional<std::string> Find(const std::string& section, const std::string& key) const {
        const std::string wantedSection = Trimmed(section);
        const std::string wantedKey = Trimmed(key);
        for (const Section& s : sections_) {
            if (!SameName(s.name, wantedSection)) {
                continue;
            }
            for (const Key& k : s.keys) {
                if (SameName(k.name, wantedKey)) {
                    return k.hasValue ? std::optional<std::string>(k.value) : std::nullopt;
                }
            }
            return std::nullopt; // later sections of the same name are not searched
        }
        return std::nullopt;
    }

private:
    void Take(const std::string& line) {
        if (line.empty()) {
            return;
        }
        const std::size_t close = line.find_last_of(']');
        if (line[0] == '[' && close != std::string::npos) {
            sections_.push_back(Section{Trimmed(std::string_view(line).substr(1, close - 1)), {}});
            return;
        }
        Key key;
        const std::size_t equals = line.find('=');
        key.name = Trimmed(std::string_view(line).substr(0, equals));
        if (equals != std::string::npos) {
            key.hasValue = true;
            key.value = Trimmed(std::string_view(line).substr(equals + 1));
        }
        sections_.back().keys.push_back(key);
    }

    std::vector<Section> sections_;
};

std::string Unquoted(const std::string& text) {
    const bool quoted =
        text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text[text.size() - 1] == text[0];
    return quoted ? text.substr(1, text.size() - 2) : text;
}

// The integer rule: skip everything up to and including blanks (bytes up to 0x20), an
// optional sign, a lower-case 0x, 0o or 0b for base 16, 8 or 2, then digits of that base;
// the lowest 32 bits kept, a '-' negating them.
uint32_t PlainInteger(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && static_cast<unsigned char>(text[at]) <= 0x20) {
        ++at;
    }
    const bool minus = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        ++at;
    }
    unsigned base = 10;
    if (text.compare(at, 2, "0x") == 0) {
        base = 16;
    } else if (text.compare(at, 2, "0o") == 0) {
        base = 8;
    } else if (text.compare(at, 2, "0b") == 0) {
        base = 2;
    }
    if (base != 10) {
        at += 2;
    }
    const std::string digits = "0123456789abcdef";
    unsigned long long total = 0;
    for (; at < text.size(); ++at) {
        const std::size_t digit = digits.find(Lower(text[at]));
        if (digit == std::string::npos || digit >= base) {
            break;
        }
        total = (total * base + digit) % 4294967296ull;
    }
    return minus ? static_cast<uint32_t>((4294967296ull - total) % 4294967296ull)
                 : static_cast<uint32_t>(total);
}

std::string Swapped(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

void CheckLookup(std::string_view bytes, const PlainProfile& plain, const std::string& section,
                 const std::string& key) {
    const std::string shown = "[" + section + "] " + key;
    const std::optional<std::string> value = plain.Find(section, key);
    const std::string defaultText = "\x01-default";
    const int32_t defaultNumber = -123457;

    const std::string text = portable::ProfileTextIn(bytes, section, key, defaultText);
    FUZZ_REQUIRE(text.size() <= 255, shown);
    FUZZ_REQUIRE(text == (value ? Unquoted(*value).substr(0, 255) : defaultText), shown);

    const uint32_t number = portable::ProfileIntIn(bytes, section, key, defaultNumber);
    const std::string numberText = value ? Unquoted(*value).substr(0, 29) : "";
    const uint32_t expected =
        numberText.empty() ? static_cast<uint32_t>(defaultNumber) : PlainInteger(numberText);
    FUZZ_REQUIRE(number == expected, shown + " = " + numberText + ": " + std::to_string(number) +
                                         ", expected " + std::to_string(expected));
}

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    static const test::TempDir folder;
    const std::vector<std::string_view> parts =
        fuzz::SplitInput(std::string_view(reinterpret_cast<const char*>(data), size), "\n%%\n");
    const std::string path = folder.Write("profile.ini", std::string(parts[0]));
    const PlainProfile plain(parts[0]);

    std::vector<std::pair<std::string, std::string>> lookups;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t tab = parts[i].find('\t');
        if (tab == std::string_view::npos) {
            lookups.emplace_back("", std::string(parts[i]));
        } else {
            lookups.emplace_back(std::string(parts[i].substr(0, tab)),
                                 std::string(parts[i].substr(tab + 1)));
        }
    }
    // The names the file holds; six of them are plenty to reach every kind of line.
    std::size_t named = 0;
    for (const Section& section : plain.sections()) {
        for (const Key& key : section.keys) {
            if (++named > 6) {
                break;
            }
            lookups.emplace_back(section.name, key.name);
            lookups.emplace_back(Swapped(section.name), " " + Swapped(key.name) + "          ");
        }
    }
    for (const auto& [section, key] : lookups) {
        CheckLookup(parts[0], plain, section, key);
    }
    // Through the file too, once per input: the rules are the same, the reading is not.
    if (!lookups.empty()) {
        const auto& [section, key] = lookups.front();
        FUZZ_REQUIRE(portable::ProfileText(path, section, key, "d") ==
                         portable::ProfileTextIn(parts[0], section, key, "d"),
                     "file and bytes differ");
        FUZZ_REQUIRE(portable::ProfileInt(path, section, key, 5) ==
                         portable::ProfileIntIn(parts[0], section, key, 5),
                     "file and bytes differ");
    }
    return 0;
}
