#include "cli/help_text.h"

namespace mirevane::tool {
namespace {

// Where a description starts on an indented table line: after the last gap of two or more
// blanks within the name column. 0 for running text.
std::size_t HangingIndent(const std::string& line) {
    constexpr std::size_t kNameColumn = 34;
    if (line.empty() || line[0] != ' ') {
        return 0;
    }
    std::size_t indent = 0;
    for (std::size_t i = 2; i + 1 < line.size() && i < kNameColumn; ++i) {
        if (line[i] == ' ' && line[i - 1] == ' ' && line[i + 1] != ' ') {
            indent = i + 1;
        }
    }
    return indent;
}

} // namespace

std::string WrapHelp(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(begin, end - begin);
        const std::size_t indent = HangingIndent(line);
        while (line.size() > width) {
            const std::size_t cut = line.rfind(' ', width);
            if (cut == std::string::npos || cut <= indent) {
                break; // one word longer than the line: leave it whole
            }
            std::size_t keep = cut;
            while (keep > 0 && line[keep - 1] == ' ') {
                --keep;
            }
            out += line.substr(0, keep) + "\n";
            std::size_t rest = cut;
            while (rest < line.size() && line[rest] == ' ') {
                ++rest;
            }
            line = std::string(indent, ' ') + line.substr(rest);
        }
        out += line;
        if (end == text.size()) {
            break;
        }
        out += '\n';
        begin = end + 1;
    }
    return out;
}

} // namespace mirevane::tool
