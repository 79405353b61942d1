#include "dynamics/scale_table_file.h"

#include "platform/platform.h"

#include <algorithm>
#include <fstream>
#include <locale>
#include <sstream>

namespace mirevane {
namespace {

// A number as formatted extraction of a double reads it in the classic locale: leading
// white space skipped, whatever follows the number ignored. `used`: the characters read.
bool ParseField(const std::string& field, double& number, std::size_t& used) {
    std::istringstream in(field);
    in.imbue(std::locale::classic());
    in >> number;
    used = in.eof() ? field.size() : static_cast<std::size_t>(in.tellg());
    return !in.fail();
}

} // namespace

TableLine ParseTableLine(const std::string& line) {
    TableLine result;
    int count = 0;
    // A comma at the very end starts no field; one at the start or after another gives an
    // empty field, which holds no number.
    for (std::size_t begin = 0; begin < line.size();) {
        const std::size_t comma = std::min(line.find(',', begin), line.size());
        double number = 0.0;
        std::size_t used = 0;
        const std::string field = line.substr(begin, comma - begin);
        if (!ParseField(field, number, used)) {
            result.outcome = TableLine::kNotANumber;
            result.badField = count + 1;
            return result;
        }
        if (count == 0) {
            result.value = number;
        } else if (count == 1) {
            result.angle = number;
        }
        const std::size_t text = field.find_first_not_of(" \t\r\n\v\f", used);
        if (text != std::string::npos && result.ignoredText == std::string::npos) {
            result.ignoredText = begin + text;
        }
        ++count;
        begin = comma + 1;
    }
    result.fields = count;
    result.outcome = count >= 2 ? TableLine::kPoint : TableLine::kTooFewFields;
    return result;
}

bool ForEachTableLine(
    const std::string& path,
    const std::function<void(int, const std::string&, const TableLine&)>& onLine) {
    std::ifstream in(platform::FilePath(path), std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r' && !in.eof()) {
            line.pop_back();
        }
        onLine(number, line, ParseTableLine(line));
    }
    return true;
}

void LoadTableFile(const std::string& path, std::vector<std::pair<double, double>>& table) {
    std::vector<std::pair<double, double>> rows;
    const bool opened =
        ForEachTableLine(path, [&rows](int, const std::string&, const TableLine& row) {
            if (row.outcome == TableLine::kPoint) {
                rows.emplace_back(row.value, row.angle);
            }
        });
    if (!opened || rows.empty()) {
        return;
    }
    // Sorted once, not inserted row by row: a big table written in descending order would
    // otherwise move the whole table for every row. As with inserting, the first row of equal
    // values keeps its value (0 or -0) and the last one gives the angle; the sort is stable,
    // so that is the last row of each run.
    const auto byValue = [](const std::pair<double, double>& a,
                            const std::pair<double, double>& b) { return a.first < b.first; };
    std::stable_sort(rows.begin(), rows.end(), byValue);
    std::vector<std::pair<double, double>> merged;
    merged.reserve(table.size() + rows.size());
    auto old = table.begin();
    for (auto first = rows.begin(); first != rows.end();) {
        auto last = first;
        while (last + 1 != rows.end() && last[1].first == first->first) {
            ++last;
        }
        while (old != table.end() && old->first < first->first) {
            merged.push_back(*old++);
        }
        const bool known = old != table.end() && old->first == first->first;
        merged.emplace_back(known ? (old++)->first : first->first, last->second);
        first = last + 1;
    }
    merged.insert(merged.end(), old, table.end());
    table.swap(merged);
}

} // namespace mirevane
