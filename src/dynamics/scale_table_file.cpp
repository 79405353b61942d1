#include "dynamics/scale_table_file.h"

#include <algorithm>
#include <fstream>
#include <locale>
#include <sstream>

namespace mirevane {
namespace {

// A number as formatted extraction of a double reads it in the classic locale: leading
// white space skipped, whatever follows the number ignored.
bool ParseField(const std::string& field, double& number) {
    std::istringstream in(field);
    in.imbue(std::locale::classic());
    in >> number;
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
        if (!ParseField(line.substr(begin, comma - begin), number)) {
            result.outcome = TableLine::kNotANumber;
            result.badField = count + 1;
            return result;
        }
        if (count == 0) {
            result.value = number;
        } else if (count == 1) {
            result.angle = number;
        }
        ++count;
        begin = comma + 1;
    }
    result.outcome = count >= 2 ? TableLine::kPoint : TableLine::kTooFewFields;
    return result;
}

bool ForEachTableLine(const std::string& path,
                      const std::function<void(int, const std::string&, const TableLine&)>& onLine) {
    std::ifstream in(path, std::ios::binary);
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
    ForEachTableLine(path, [&table](int, const std::string&, const TableLine& row) {
        if (row.outcome != TableLine::kPoint) {
            return;
        }
        const auto at = std::lower_bound(
            table.begin(), table.end(), row.value,
            [](const std::pair<double, double>& point, double value) { return point.first < value; });
        if (at != table.end() && at->first == row.value) {
            at->second = row.angle;
        } else {
            table.insert(at, {row.value, row.angle});
        }
    });
}

} // namespace mirevane
