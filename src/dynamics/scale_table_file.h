// Reads a scale table file: comma-separated rows of value, angle (and optional further
// numbers); any line that is not such a row is skipped.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mirevane {

// What one line gave: a calibration point, or why it gave none.
struct TableLine {
    enum Outcome { kPoint, kTooFewFields, kNotANumber };
    Outcome outcome = kTooFewFields;
    double value = 0.0;
    double angle = 0.0;
    int badField = 0; // 1-based field that holds no number, for kNotANumber
    // What the reading passes over, for the check to tell: how many fields the line has, and
    // the first text after a number in its field ("100 km/h": " km/h"), as a 0-based offset
    // into the line; npos when every field is a number alone.
    int fields = 0;
    std::size_t ignoredText = std::string::npos;
};

// One line without its line end.
TableLine ParseTableLine(const std::string& line);

// Calls onLine(lineNumber, line, parsed) for each line, numbered from 1; false when the file
// cannot be opened. A CR directly before the LF belongs to the line end; a last line without
// a LF is still read.
bool ForEachTableLine(const std::string& path,
                      const std::function<void(int, const std::string&, const TableLine&)>& onLine);

// Inserts every point of the file into a table sorted by value; a later row replaces an
// earlier one of equal value. A file that cannot be opened leaves the table as it was.
void LoadTableFile(const std::string& path, std::vector<std::pair<double, double>>& table);

} // namespace mirevane
