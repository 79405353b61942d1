#include "workspace/profile_edit.h"

#include "config/text.h"
#include "profile/profile_scan.h"

namespace mirevane::tool {
namespace {

std::string Joined(const std::vector<EditorLine>& lines, const std::string& prefix) {
    std::string text = prefix;
    for (const EditorLine& line : lines) {
        text += line.text + line.end;
    }
    return text;
}

// The line's text with what follows its first '=' replaced by the value; a key line without
// '=' gets one.
std::string WithValue(const std::string& line, const std::string& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        const std::string_view kept = TrimBlanks(line);
        const std::size_t start = line.find(kept.front());
        return line.substr(0, start + kept.size()) + " = " + value;
    }
    const std::string after = line.substr(equals + 1);
    const std::string_view old = TrimBlanks(after);
    if (old.empty()) {
        return line.substr(0, equals + 1) + " " + value;
    }
    const std::size_t start = equals + 1 + after.find(old.front());
    return line.substr(0, start) + value + line.substr(start + old.size());
}

} // namespace

std::string LineEndOf(const std::string& text) {
    const std::vector<EditorLine> lines = SplitEditorLines(text);
    return lines.empty() || lines.front().end.empty() ? "\r\n" : lines.front().end;
}

std::string SetProfileValue(const std::string& text, const std::string& section,
                            const std::string& key, const std::string& value) {
    const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string body = bom ? text.substr(3) : text;
    const std::string prefix = bom ? text.substr(0, 3) : "";
    std::vector<EditorLine> lines = SplitEditorLines(body);
    const std::string end = LineEndOf(body);
    const ProfileScan scan = ScanProfileText(body);

    if (const ProfileKeyLine* found = scan.Find(section, key)) {
        std::string& line = lines[static_cast<std::size_t>(found->line - 1)].text;
        line = WithValue(line, value);
        return Joined(lines, prefix);
    }
    // The first section of that name: the only one a lookup searches.
    int header = 0;
    for (const ProfileSectionLine& s : scan.sections) {
        if (s.line == s.firstLine && SameName(s.name, section)) {
            header = s.line;
            break;
        }
    }
    const std::string added = key + " = " + value;
    if (header == 0) {
        if (!lines.empty() && lines.back().end.empty()) {
            lines.back().end = end;
        }
        if (!lines.empty() && !TrimBlanks(lines.back().text).empty()) {
            lines.push_back({"", end});
        }
        lines.push_back({"[" + section + "]", end});
        lines.push_back({added, end});
        return Joined(lines, prefix);
    }
    // After the last key line of the section, or after its header when it has none. A comment
    // is a key line to the lookup, but the one that closes a section belongs to what follows.
    int after = header;
    for (const ProfileKeyLine& k : scan.keys) {
        if (k.sectionLine == header && k.key.front() != ';' && k.key.front() != '#') {
            after = k.line;
        }
    }
    EditorLine& before = lines[static_cast<std::size_t>(after - 1)];
    const std::string lineEnd = before.end.empty() ? end : before.end;
    if (before.end.empty()) {
        before.end = lineEnd;
        lines.insert(lines.begin() + after, {added, ""});
    } else {
        lines.insert(lines.begin() + after, {added, lineEnd});
    }
    return Joined(lines, prefix);
}

} // namespace mirevane::tool
