// A calibration table's rows changed as a careful hand would change them: comment lines, blank
// lines and line ends stay where they are; the rows are rewritten in ascending value order
// into the places rows held, a row that did not change keeping its text as written; rows
// beyond the old count follow the last row, and places left over are removed.
#pragma once

#include <string>
#include <vector>

namespace mirevane::tool {

struct TableRow {
    double value = 0.0;
    double angle = 0.0; // degrees, as the table writes it (before the scale's +180)
    bool operator==(const TableRow& o) const { return value == o.value && angle == o.angle; }
};

// The rows the plug-in reads from the text, in file order.
std::vector<TableRow> TableRows(const std::string& text);

// rows: finite numbers; they are sorted by value (stably) before they are written.
std::string SetTableRows(const std::string& text, std::vector<TableRow> rows);

// A row as the table file writes it: "100,57.2".
std::string TableRowText(const TableRow& row);

} // namespace mirevane::tool
