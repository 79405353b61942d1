// check: a gauge's table file, line by line, and the calibration points the plug-in kept.
#include "check/context.h"

#include "common/number_text.h"
#include "common/utf16_text.h"
#include "dynamics/scale_table_file.h"

#include <map>
#include <regex>

namespace mirevane::tool {

namespace {

// Built field by field: GCC 12 for Windows warns of a string it thinks uninitialised when the
// finding is a braced temporary.
void Note(std::vector<LineFinding>& findings, const char* code, const std::string& file, int line,
          int column, std::string message) {
    LineFinding finding;
    finding.code = code;
    finding.where.file = file;
    finding.where.line = line;
    finding.where.column = column;
    finding.message = std::move(message);
    findings.push_back(std::move(finding));
}

// The field of `line` that starts at or before `offset` and ends at the next comma.
std::string FieldAt(const std::string& line, std::size_t offset) {
    const std::size_t comma = line.find(',', offset);
    return line.substr(offset, comma == std::string::npos ? std::string::npos : comma - offset);
}

// Where the third field starts, or npos.
std::size_t ThirdField(const std::string& line) {
    const std::size_t first = line.find(',');
    const std::size_t second = first == std::string::npos ? first : line.find(',', first + 1);
    return second == std::string::npos ? second : second + 1;
}

// "0;30,0": numbers with decimal commas, separated by semicolons, as a spreadsheet set to a
// European locale saves CSV. Two or more fields, each a number whose decimals (if any)
// follow a comma.
bool SemicolonSeparated(const std::string& line) {
    static const std::regex kRow(
        R"(\s*[-+]?[0-9]+(,[0-9]+)?\s*(;\s*[-+]?[0-9]+(,[0-9]+)?\s*)+;?\s*)");
    return line.find(';') != std::string::npos && std::regex_match(line, kRow);
}

// Lines saved by a spreadsheet in a European locale: one cause for the whole table, reported
// once; what the plug-in makes of each such line follows from it and is not listed line by line.
struct SemicolonRows {
    int count = 0;
    int first = 0; // the first such line's number
    std::string firstText;
    std::string readAs; // what the plug-in reads from the first

    void Take(int number, const std::string& text, const TableLine& parsed) {
        if (count++ > 0) {
            return;
        }
        first = number;
        firstText = text;
        readAs = parsed.outcome == TableLine::kPoint
                     ? "value " + Shortest(parsed.value) + ", angle " + Shortest(parsed.angle)
                     : "no point";
    }

    std::string Message() const {
        return "semicolons separate the fields and commas are decimal points: save as CSV with a "
               "point as decimal separator (the plug-in reads " +
               Quoted(Shortened(firstText)) + " as " + readAs + "; " + std::to_string(count) +
               (count == 1 ? " line is" : " lines are") + " written so)";
    }
};

} // namespace

TableLines Checker::CheckTable(GaugeSummary& gauge) {
    TableLines lines;
    if (!CheckTableReadable(gauge)) {
        gauge.table.found = true;
        lines.unreadable = true;
        return lines;
    }
    std::vector<LineFinding> findings;
    SemicolonRows semicolons;
    const bool found = ForEachTableLine(
        gauge.tableFile, [&](int number, const std::string& text, const TableLine& parsed) {
            const bool mark = number == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
            if (mark) {
                Add("byte-order-mark", gauge.tableFile, 1,
                    "the file starts with a UTF-8 byte order mark, which spoils the first "
                    "line: save it without the mark");
            }
            if (parsed.outcome != TableLine::kPoint && lines.firstSkipped == 0 &&
                text.find_first_not_of(" \t\r") != std::string::npos) {
                lines.firstSkipped = number;
            }
            if (SemicolonSeparated(text)) {
                semicolons.Take(number, text, parsed);
                if (parsed.outcome == TableLine::kPoint) {
                    lines.lineOfValue[parsed.value] = number;
                }
                return;
            }
            CheckTableRow(gauge.tableFile, number, text, parsed, mark, lines.lineOfValue, findings);
        });
    if (semicolons.count > 0) {
        lines.unreadable = true;
        Add("table-semicolons", gauge.tableFile, semicolons.first, semicolons.Message());
    }
    AddCollapsed(findings);
    gauge.table.found = found;
    if (!found) {
        Add("table-missing", gauge.tableFile, 0,
            "table file not found: the needle stands at 180 degrees whatever the value" +
                NotFoundHint(gauge.tableFile));
    }
    return lines;
}

bool Checker::CheckTableReadable(const GaugeSummary& gauge) {
    if (IsFolder(gauge.tableFile)) {
        Add("is-a-folder", gauge.tableFile, 0,
            "is a folder, not a table: the needle stands at 180 degrees whatever the value");
        return false;
    }
    if (FileLooksLikeUtf16(gauge.tableFile)) {
        Add("utf16-text", gauge.tableFile, 0,
            "the table is saved as UTF-16 (\"Unicode\"): the plug-in reads no calibration "
            "point from it; save it as ANSI or UTF-8 without a byte order mark");
        return false;
    }
    return true;
}

void Checker::CheckTableRow(const std::string& file, int number, const std::string& text,
                            const TableLine& parsed, bool mark, std::map<double, int>& lineOfValue,
                            std::vector<LineFinding>& findings) {
    switch (parsed.outcome) {
    case TableLine::kPoint: {
        const auto [at, fresh] = lineOfValue.emplace(parsed.value, number);
        if (!fresh) {
            Note(findings, "table-duplicate-value", file, number, 0,
                 "value " + Shortest(parsed.value) + " again (first at line " +
                     std::to_string(at->second) + "): this row's angle replaces it");
            at->second = number;
        }
        CheckPartlyRead(file, number, text, parsed, findings);
        break;
    }
    case TableLine::kTooFewFields:
        if (text.find_first_not_of(" \t\r") != std::string::npos) {
            Note(findings, "table-line-skipped", file, number, 0,
                 "line skipped: " + Quoted(Shortened(text)) +
                     " holds fewer than two comma-separated numbers");
        }
        break;
    case TableLine::kNotANumber:
        Note(findings, "table-line-skipped", file, number, 0,
             "line skipped: field " + std::to_string(parsed.badField) + " of " +
                 Quoted(Shortened(text)) + " is not a number" +
                 (mark ? " (the byte order mark stands before it)" : ""));
        break;
    }
}

// A row the plug-in reads only in part: it keeps the first two numbers and passes over the
// rest without a word.
void Checker::CheckPartlyRead(const std::string& file, int number, const std::string& text,
                              const TableLine& parsed, std::vector<LineFinding>& findings) {
    const std::size_t third = ThirdField(text);
    if (parsed.ignoredText != std::string::npos && parsed.ignoredText < third) {
        Note(findings, "table-text-ignored", file, number, static_cast<int>(parsed.ignoredText) + 1,
             Quoted(Shortened(FieldAt(text, parsed.ignoredText))) + " after a number is ignored: " +
                 "the row reads as value " + Shortest(parsed.value) + ", angle " +
                 Shortest(parsed.angle) + " (units and notes do not belong in a table row)");
    }
    if (parsed.fields > 2) {
        Note(findings, "table-extra-fields", file, number, static_cast<int>(third) + 1,
             Quoted(Shortened(text)) + " has " + std::to_string(parsed.fields) +
                 " fields: the row reads as value " + Shortest(parsed.value) + ", angle " +
                 Shortest(parsed.angle) +
                 " and the rest is ignored (decimals take a point, not a comma)");
    }
}

void Checker::AddCollapsed(const std::vector<LineFinding>& findings) {
    constexpr int kShown = 3; // of each kind in full, when a fourth line stands for the rest
    std::map<std::string, std::vector<const LineFinding*>> kinds;
    for (const LineFinding& f : findings) {
        kinds[f.code].push_back(&f);
    }
    for (const auto& [code, found] : kinds) {
        const int count = static_cast<int>(found.size());
        const int shown = count <= kShown + 1 ? count : kShown;
        for (int i = 0; i < shown; ++i) {
            Add(found[i]->code, found[i]->where, found[i]->message);
        }
        if (shown < count) {
            const Where& first = found[shown]->where;
            Add(found[shown]->code, Where{first.file, first.line, 0},
                "the same on " + std::to_string(count - shown) + " more lines (lines " +
                    std::to_string(first.line) + " to " + std::to_string(found.back()->where.line) +
                    ")");
        }
    }
}

// Its calibration points.
void Checker::CheckTablePoints(const GaugeUnderCheck& c, const TableLines& lines,
                               const std::vector<std::pair<double, double>>& points) {
    const GaugeSummary& gauge = c.summary;
    const auto lineOf = [&lines](double value) {
        const auto it = lines.lineOfValue.find(value);
        return it == lines.lineOfValue.end() ? 0 : it->second;
    };
    if (lines.unreadable) {
        return; // its one error says it all
    }
    if (gauge.table.found && points.empty()) {
        Add("table-empty", c.profile.table, lines.firstSkipped,
            std::string(lines.firstSkipped > 0 ? "no line of the table holds a"
                                               : "the table holds no") +
                " calibration point: the needle stands at 180 degrees whatever the value");
    } else if (points.size() == 1) {
        Add("table-single-point", c.profile.table, lineOf(points[0].first),
            "the table holds a single calibration point: at least two are needed, the needle "
            "stands at 180 degrees whatever the value");
    } else if (points.size() > 2) {
        int direction = 0; // of the first step that turns the needle
        for (std::size_t i = 1; i < points.size(); ++i) {
            const double step = points[i].second - points[i - 1].second;
            const int turn = step > 0.0 ? 1 : step < 0.0 ? -1 : 0;
            if (direction == 0) {
                direction = turn;
            } else if (turn == -direction) {
                Add("table-not-monotonic", c.profile.table, lineOf(points[i].first),
                    "the angles rise and fall as the value grows: the needle turns back at "
                    "value " +
                        Shortest(points[i].first) + " inside the table");
                break;
            }
        }
    }
}

} // namespace mirevane::tool
