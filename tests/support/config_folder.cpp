#include "support/config_folder.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace mirevane::test {
namespace {

constexpr const char* kRecipe = "make.txt";

std::string Unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char code = text[++i];
        switch (code) {
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 't':
            bytes += '\t';
            break;
        case '\\':
            bytes += '\\';
            break;
        case 'x':
            if (i + 2 >= text.size()) {
                throw std::runtime_error("make.txt: \\x needs two hex digits");
            }
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
            break;
        default:
            throw std::runtime_error(std::string("make.txt: unknown escape \\") + code);
        }
    }
    return bytes;
}

std::string Fill(const std::string& pattern, long up, long down) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 3, "{i}") == 0) {
            out += std::to_string(up);
            i += 2;
        } else if (pattern.compare(i, 3, "{r}") == 0) {
            out += std::to_string(down);
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

void FollowRecipe(const std::filesystem::path& recipe, const std::filesystem::path& target) {
    std::ifstream in(recipe);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        std::string command;
        std::string name;
        words >> command >> name;
        if (command == "dir") {
            std::filesystem::create_directories(target / name);
        } else if (command == "repeat") {
            long count = 0;
            words >> count;
            std::string text;
            if (words.get() == ' ') {
                std::getline(words, text);
            }
            const bool counted = text.find('{') != std::string::npos;
            const std::string pattern = Unescape(text);
            std::ofstream out(target / name, std::ios::binary | std::ios::app);
            std::string chunk;
            for (long i = 0; i < count; ++i) {
                chunk += counted ? Fill(pattern, i, count - 1 - i) : pattern;
                if (chunk.size() > (1 << 20)) {
                    out << chunk;
                    chunk.clear();
                }
            }
            out << chunk;
            if (!out) {
                throw std::runtime_error("make.txt: cannot write " + name);
            }
        } else {
            throw std::runtime_error("make.txt: unknown command: " + line);
        }
    }
}

} // namespace

std::vector<std::filesystem::path> CorpusCases(const std::filesystem::path& corpus) {
    std::vector<std::filesystem::path> cases;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.is_directory()) {
            cases.push_back(entry.path());
        }
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

void LayOutConfiguration(const std::filesystem::path& caseFolder,
                         const std::filesystem::path& target) {
    for (const auto& entry : std::filesystem::directory_iterator(caseFolder)) {
        if (entry.path().filename() != kRecipe) {
            std::filesystem::copy(entry.path(), target / entry.path().filename(),
                                  std::filesystem::copy_options::recursive);
        }
    }
    const std::filesystem::path recipe = caseFolder / kRecipe;
    if (std::filesystem::exists(recipe)) {
        FollowRecipe(recipe, target);
    }
}

} // namespace mirevane::test
