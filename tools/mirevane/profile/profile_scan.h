// A profile file read line by line, as the profile functions see it, keeping line numbers:
// what the settings model cannot tell (which line set a key, what it does not know).
#pragma once

#include "config/text.h"

#include <string>
#include <vector>

namespace mirevane::tool {

struct ProfileKeyLine {
    int line = 0;
    int column = 1;           // of the key, 1-based
    int valueColumn = 0;      // of the value, 1-based; 0: no value
    std::string section;      // as written, trimmed; empty before the first header
    int sectionLine = 0;      // 0 before the first header
    bool firstSection = true; // the first section of this name: the only one looked up
    std::string key;          // trimmed
    bool hasEquals = false;   // without '=' a lookup gives the default
    std::string value;        // trimmed, as written (quotes kept)
};

struct ProfileSectionLine {
    int line = 0;
    int column = 1; // of the '[', 1-based
    std::string name;
    int firstLine = 0; // the line of the first section of this name (== line for the first)
};

struct ProfileScan {
    bool byteOrderMark = false;
    // Saved as UTF-16 (a byte order mark FF FE or FE FF, or every other byte NUL): the host's
    // profile functions read it as bytes and find no section. Nothing else is scanned.
    bool utf16 = false;
    std::vector<ProfileSectionLine> sections;
    std::vector<ProfileKeyLine> keys;

    // The line a lookup of (section, key) reads: first section of that name, first key of
    // that name in it, both without regard to letter case; nullptr when there is none.
    const ProfileKeyLine* Find(const std::string& section, const std::string& key) const;
};

ProfileScan ScanProfile(const std::string& path);
// The same on a profile's bytes already read.
ProfileScan ScanProfileText(std::string text);

// One line as an editor numbers it (CR LF, LF and a lone CR each end one line), and its end:
// "" for a last line without one.
struct EditorLine {
    std::string text;
    std::string end;
};
std::vector<EditorLine> SplitEditorLines(const std::string& text);

} // namespace mirevane::tool
