#include "workspace/table_edit.h"

#include "common/number_text.h"
#include "dynamics/scale_table_file.h"

#include <algorithm>

namespace mirevane::tool {
namespace {

// A table's lines as its reader sees them: a line ends at LF, a CR before the LF belongs to
// the line end (a lone CR does not end a line).
struct TableTextLine {
    std::string text;
    std::string end;
};

std::vector<TableTextLine> SplitTableLines(const std::string& text) {
    std::vector<TableTextLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back({text.substr(start), ""});
            break;
        }
        const bool cr = lf > start && text[lf - 1] == '\r';
        lines.push_back({text.substr(start, lf - start - (cr ? 1 : 0)), cr ? "\r\n" : "\n"});
        start = lf + 1;
    }
    return lines;
}

} // namespace

std::string TableRowText(const TableRow& row) {
    return Shortest(row.value) + "," + Shortest(row.angle);
}

std::vector<TableRow> TableRows(const std::string& text) {
    std::vector<TableRow> rows;
    for (const TableTextLine& line : SplitTableLines(text)) {
        const TableLine parsed = ParseTableLine(line.text);
        if (parsed.outcome == TableLine::kPoint) {
            rows.push_back({parsed.value, parsed.angle});
        }
    }
    return rows;
}

std::string SetTableRows(const std::string& text, std::vector<TableRow> rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TableRow& a, const TableRow& b) { return a.value < b.value; });
    std::vector<TableTextLine> lines = SplitTableLines(text);
    std::string end = "\r\n";
    for (const TableTextLine& line : lines) {
        if (!line.end.empty()) {
            end = line.end;
            break;
        }
    }
    std::vector<TableTextLine> out;
    std::size_t next = 0;
    std::size_t afterLastRow = 0; // in `out`
    for (const TableTextLine& line : lines) {
        const TableLine parsed = ParseTableLine(line.text);
        if (parsed.outcome != TableLine::kPoint) {
            out.push_back(line);
            continue;
        }
        if (next < rows.size()) {
            const TableRow& row = rows[next++];
            const bool same = parsed.value == row.value && parsed.angle == row.angle;
            out.push_back({same ? line.text : TableRowText(row), line.end});
        }
        afterLastRow = out.size();
    }
    std::vector<TableTextLine> more;
    for (; next < rows.size(); ++next) {
        more.push_back({TableRowText(rows[next]), end});
    }
    if (!more.empty()) {
        // After the last row, or at the end of a file that had none.
        const std::size_t at = afterLastRow > 0 ? afterLastRow : out.size();
        if (at > 0 && out[at - 1].end.empty()) {
            out[at - 1].end = end;
            more.back().end.clear(); // the file still ends without a line end
        }
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), more.begin(), more.end());
    }
    std::string result;
    for (const TableTextLine& line : out) {
        result += line.text + line.end;
    }
    return result;
}

} // namespace mirevane::tool
