#include "profile/profile_scan.h"

#include "common/utf16_text.h"
#include "config/text.h"

namespace mirevane::tool {
namespace {

std::string Trim(const std::string& text) {
    return std::string(TrimBlanks(text));
}

} // namespace

const ProfileKeyLine* ProfileScan::Find(const std::string& section, const std::string& key) const {
    for (const ProfileKeyLine& line : keys) {
        if (line.sectionLine > 0 && line.firstSection && SameName(line.section, section) &&
            SameName(line.key, key)) {
            return &line;
        }
    }
    return nullptr;
}

std::vector<EditorLine> SplitEditorLines(const std::string& text) {
    std::vector<EditorLine> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            const std::size_t end =
                c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? i + 2 : i + 1;
            lines.push_back({text.substr(start, i - start), text.substr(i, end - i)});
            start = end;
            i = end - 1;
        }
    }
    if (start < text.size()) {
        lines.push_back({text.substr(start), ""});
    }
    return lines;
}

ProfileScan ScanProfile(const std::string& path) {
    std::string text;
    ReadWholeFile(path, text);
    return ScanProfileText(std::move(text));
}

ProfileScan ScanProfileText(std::string text) {
    ProfileScan scan;
    if (LooksLikeUtf16(text)) {
        scan.utf16 = true;
        return scan;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        scan.byteOrderMark = true;
        text.erase(0, 3);
    }

    std::string section;
    int sectionLine = 0;
    bool firstSection = true;
    const std::vector<EditorLine> lines = SplitEditorLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string line = Trim(lines[i].text);
        if (line.empty()) {
            continue;
        }
        // Only blanks stand before the trimmed text.
        const int column = static_cast<int>(lines[i].text.find(line)) + 1;
        const std::size_t close = line.rfind(']');
        if (line.front() == '[' && close != std::string::npos) {
            ProfileSectionLine header;
            header.line = number;
            header.column = column;
            header.name = Trim(line.substr(1, close - 1));
            header.firstLine = number;
            for (const ProfileSectionLine& earlier : scan.sections) {
                if (SameName(earlier.name, header.name)) {
                    header.firstLine = earlier.firstLine;
                    break;
                }
            }
            section = header.name;
            sectionLine = number;
            firstSection = header.firstLine == number;
            scan.sections.push_back(header);
            continue;
        }
        ProfileKeyLine key;
        key.line = number;
        key.column = column;
        key.section = section;
        key.sectionLine = sectionLine;
        key.firstSection = firstSection;
        const std::size_t equals = line.find('=');
        key.hasEquals = equals != std::string::npos;
        key.key = Trim(line.substr(0, equals));
        if (key.hasEquals) {
            const std::string after = line.substr(equals + 1);
            key.value = Trim(after);
            if (!key.value.empty()) {
                key.valueColumn = column + static_cast<int>(equals + 1 + after.find(key.value));
            }
        }
        scan.keys.push_back(key);
    }
    return scan;
}

} // namespace mirevane::tool
