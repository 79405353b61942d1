#include "calibrate/table_from_marks.h"

#include "common/number_text.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {

double RowAngle(double degrees) {
    return std::round(degrees * 1000.0) / 1000.0 + 0.0;
}

TableFromMarks MakeTableFromMarks(const std::vector<TableRow>& present,
                                  const std::vector<MarkAngle>& marks, bool replace) {
    TableFromMarks table;
    for (const MarkAngle& m : marks) {
        table.rows.push_back({m.value, RowAngle(m.angle)});
    }
    if (!replace) {
        for (const TableRow& row : present) {
            const bool marked = std::any_of(marks.begin(), marks.end(), [&](const MarkAngle& m) {
                return m.value == row.value;
            });
            if (!marked) {
                table.kept.push_back(row);
                table.rows.push_back(row);
            }
        }
    }
    std::stable_sort(table.rows.begin(), table.rows.end(),
                     [](const TableRow& a, const TableRow& b) { return a.value < b.value; });
    return table;
}

std::optional<CalibrationNote> KeptRowsNote(const TableFromMarks& table) {
    if (table.kept.empty()) {
        return std::nullopt;
    }
    // A few rows name the case; the count says the rest.
    constexpr std::size_t kListed = 6;
    std::string rows;
    for (std::size_t i = 0; i < table.kept.size() && i < kListed; ++i) {
        rows += (i == 0 ? "" : "; ") + TableRowText(table.kept[i]);
    }
    if (table.kept.size() > kListed) {
        rows += "; and " + std::to_string(table.kept.size() - kListed) + " more";
    }
    return CalibrationNote{"--mark", "calibrate-kept-rows",
                           (table.kept.size() == 1 ? std::string("1 row of the present table stays")
                                                   : std::to_string(table.kept.size()) +
                                                         " rows of the present table stay") +
                               ", not from the picture (" + rows +
                               "): between the marks they may turn the table back; replacing "
                               "the whole table by the marks (--replace) drops them"};
}

} // namespace mirevane::tool
