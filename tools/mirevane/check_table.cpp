// check: a gauge's table file, line by line, and the calibration points the plug-in kept.
#include "check_context.h"

#include "dynamics/scale_table_file.h"
#include "number_text.h"

#include <map>

namespace mirevane::tool {

void Checker::CheckTable(GaugeSummary& gauge) {
    std::map<double, int> lineOfValue;
    const bool found = ForEachTableLine(
        gauge.tableFile, [&](int number, const std::string& text, const TableLine& parsed) {
            const bool mark = number == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
            if (mark) {
                Add("byte-order-mark", gauge.tableFile, 1,
                    "the file starts with a UTF-8 byte order mark, which spoils the first "
                    "line: save it without the mark");
            }
            switch (parsed.outcome) {
            case TableLine::kPoint: {
                const auto [at, fresh] = lineOfValue.emplace(parsed.value, number);
                if (!fresh) {
                    Add("table-duplicate-value", gauge.tableFile, number,
                        "value " + Shortest(parsed.value) + " again (first at line " +
                            std::to_string(at->second) + "): this row's angle replaces it");
                    at->second = number;
                }
                break;
            }
            case TableLine::kTooFewFields:
                if (text.find_first_not_of(" \t\r") != std::string::npos) {
                    Add("table-line-skipped", gauge.tableFile, number,
                        "line skipped: " + Quoted(Shortened(text)) +
                            " holds fewer than two comma-separated numbers");
                }
                break;
            case TableLine::kNotANumber:
                Add("table-line-skipped", gauge.tableFile, number,
                    "line skipped: field " + std::to_string(parsed.badField) + " of " +
                        Quoted(Shortened(text)) + " is not a number" +
                        (mark ? " (the byte order mark stands before it)" : ""));
                break;
            }
        });
    gauge.table.found = found;
    if (!found) {
        Add("table-missing", gauge.tableFile, 0,
            "table file not found: the needle stands at 180 degrees whatever the value" +
                NotFoundHint(gauge.tableFile));
    }
}

// Its calibration points.
void Checker::CheckTablePoints(const GaugeUnderCheck& c,
                               const std::vector<std::pair<double, double>>& points) {
    const GaugeSummary& gauge = c.summary;
    if (gauge.table.found && points.empty()) {
        Add("table-empty", c.profile.table, 0,
            "the table holds no calibration point: the needle stands at 180 degrees whatever "
            "the value");
    } else if (points.size() == 1) {
        Add("table-single-point", c.profile.table, 0,
            "the table holds a single calibration point: at least two are needed, the needle "
            "stands at 180 degrees whatever the value");
    } else if (points.size() > 2) {
        bool rises = false;
        bool falls = false;
        for (std::size_t i = 1; i < points.size(); ++i) {
            rises = rises || points[i].second > points[i - 1].second;
            falls = falls || points[i].second < points[i - 1].second;
        }
        if (rises && falls) {
            Add("table-not-monotonic", c.profile.table, 0,
                "the angles rise and fall as the value grows: the needle turns back inside the "
                "table");
        }
    }
}

} // namespace mirevane::tool
