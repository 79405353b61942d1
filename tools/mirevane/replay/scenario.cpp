#include "replay/scenario.h"

#include "common/tool_error.h"
#include "config/profile_access.h"
#include "config/text.h"
#include "loading/key_names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace mirevane::tool {
namespace {

struct Cell {
    std::string text; // trimmed
    int column = 0;   // 1-based byte column of its first character
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<Cell> SplitCells(const std::string& line) {
    std::vector<Cell> cells;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = std::min(line.find(',', begin), line.size());
        std::size_t first = begin;
        std::size_t last = comma;
        while (first < last && IsBlank(line[first])) {
            ++first;
        }
        while (last > first && IsBlank(line[last - 1])) {
            --last;
        }
        cells.push_back({line.substr(first, last - first), static_cast<int>(first) + 1});
        if (comma == line.size()) {
            return cells;
        }
        begin = comma + 1;
    }
}

bool IsBlankLine(const std::string& line) {
    return std::all_of(line.begin(), line.end(), IsBlank);
}

bool ParseInteger(const std::string& text, int32_t& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto result = std::from_chars(first, last, value);
    return first != last && result.ec == std::errc() && result.ptr == last;
}

// Host key numbers as they stand, or the host's key names ("A1", "d").
std::vector<int32_t> ParseKeys(const Cell& cell, const std::string& path, int line) {
    std::vector<int32_t> keys;
    std::string word;
    std::string spaced = cell.text;
    std::replace(spaced.begin(), spaced.end(), ';', ' ');
    std::istringstream words(spaced);
    while (words >> word) {
        int32_t key = 0;
        if (!ParseInteger(word, key)) {
            key = KeyNameToNumber(word);
            if (key < 0) {
                throw InputError(path, line, cell.column,
                                 "keys: '" + word +
                                     "' is neither a key number nor a key name (S, A1, A2, B1, "
                                     "B2, C1, C2, D, E, F, G, H, I, J, K, L)",
                                 "scenario-bad-cell");
            }
        }
        keys.push_back(key);
    }
    return keys;
}

// A cell in quotes is how a spreadsheet protects a separator or a decimal comma; the reader
// takes none of that, and says so instead of calling the cell not a number.
void RefuseQuotes(const Cell& cell, const std::string& path, int line) {
    if (!cell.text.empty() && cell.text.front() == '"') {
        throw InputError(path, line, cell.column,
                         "quoted cells are not read: save the scenario without quotes, with "
                         "commas between cells and points in numbers",
                         "scenario-quoted");
    }
}

std::string ReadStandardInput() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
}

} // namespace

Scenario Scenario::Read(const std::string& path, std::optional<double> framesPerSecond) {
    if (path == "-") {
        return Parse(ReadStandardInput(), "<stdin>", framesPerSecond);
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw InputError(path, 0, 0, "is a folder, not a scenario file", "scenario-unreadable");
    }
    return FromSource(path, path, "", framesPerSecond);
}

Scenario Scenario::Parse(const std::string& text, const std::string& path,
                         std::optional<double> framesPerSecond) {
    return FromSource(path, "", text, framesPerSecond);
}

Scenario Scenario::FromSource(const std::string& path, const std::string& file,
                              const std::string& text, std::optional<double> framesPerSecond) {
    Scenario scenario;
    scenario.path_ = path;
    scenario.file_ = file;
    scenario.text_ = text;
    if (framesPerSecond) {
        scenario.stepMs_ = 1000.0 / *framesPerSecond;
    }
    scenario.ReadRows();
    return scenario;
}

bool Scenario::Lines::NextLine(std::string& line) {
    // Running out of memory in a line of hundreds of megabytes is not a read error: the
    // stream throws what it caught (Open sets badbit in its exceptions).
    try {
        if (!std::getline(*in, line)) {
            return false;
        }
    } catch (const std::ios_base::failure&) {
        return false; // bad(): the caller says the file cannot be read
    }
    ++number;
    // A spreadsheet may save the file with a UTF-8 byte order mark; it is not part of a name.
    if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        line.erase(0, 3);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

Scenario::Lines Scenario::Open() const {
    Lines lines;
    if (file_.empty()) {
        lines.in = std::make_unique<std::istringstream>(text_);
    } else {
        lines.in = std::make_unique<std::ifstream>(file_, std::ios::binary);
        if (!*lines.in) {
            throw InputError(path_, 0, 0, "cannot open the scenario file", "scenario-unreadable");
        }
    }
    lines.in->exceptions(std::ios::badbit);
    return lines;
}

bool Scenario::NextFilledLine(Lines& lines, std::string& line) const {
    do {
        if (!lines.NextLine(line)) {
            if (lines.in->bad()) {
                throw InputError(path_, 0, 0, "cannot read the scenario file",
                                 "scenario-unreadable");
            }
            return false;
        }
    } while (IsBlankLine(line));
    return true;
}

Scenario::Lines Scenario::ReadHeader() {
    Lines lines = Open();
    std::string text;
    if (!NextFilledLine(lines, text)) {
        throw InputError(path_, 0, 0, "no header row: the file is empty", "scenario-header");
    }
    if (timeColumn_ >= 0) {
        return lines; // read on the first reading
    }
    const int headerLine = lines.number;
    for (const Cell& cell : SplitCells(text)) {
        RefuseQuotes(cell, path_, headerLine);
        if (cell.text.find(';') != std::string::npos) {
            throw InputError(path_, headerLine, cell.column,
                             "the header is separated by semicolons: write commas between the "
                             "columns (a spreadsheet's comma-separated CSV)",
                             "scenario-separator");
        }
        if (cell.text.empty()) {
            throw InputError(path_, headerLine, cell.column, "empty column name in the header",
                             "scenario-header");
        }
        std::string name = cell.text;
        ToLowerAscii(name);
        Column column;
        column.definition = FindScenarioColumn(name, column.entry);
        column.name = name;
        if (column.definition == nullptr) {
            const std::string nearest = NearestScenarioColumn(name);
            throw InputError(path_, headerLine, cell.column,
                             "unknown column '" + cell.text + "'" +
                                 (nearest.empty() ? "" : ": did you mean " + nearest + "?") +
                                 " (run --help lists the columns)",
                             "scenario-header");
        }
        const auto same = [&name](const Column& earlier) { return earlier.name == name; };
        if (std::any_of(columns_.begin(), columns_.end(), same)) {
            throw InputError(path_, headerLine, cell.column,
                             "column '" + cell.text + "' appears twice", "scenario-header");
        }
        if (column.definition->kind == ColumnKind::kTime) {
            timeColumn_ = static_cast<int>(columns_.size());
        } else if (column.definition->kind == ColumnKind::kLocation) {
            hasLocation_ = true;
        }
        columns_.push_back(column);
    }
    if (timeColumn_ < 0) {
        throw InputError(path_, headerLine, 0,
                         "the header has no 'time' column (host time in milliseconds)",
                         "scenario-header");
    }

    return lines;
}

bool Scenario::ReadRow(Lines& lines, const std::vector<double>& previous, Row& row) const {
    std::string text;
    if (!NextFilledLine(lines, text)) {
        return false;
    }
    const std::size_t width = columns_.size();
    const int line = lines.number;
    const std::vector<Cell> cells = SplitCells(text);
    for (const Cell& cell : cells) {
        RefuseQuotes(cell, path_, line);
    }
    if (cells.size() != width) {
        const bool semicolons =
            cells.size() == 1 && width > 1 && cells[0].text.find(';') != std::string::npos;
        throw InputError(path_, line, cells.size() > width ? cells[width].column : 0,
                         "row has " + std::to_string(cells.size()) + " cells, the header " +
                             std::to_string(width) +
                             (semicolons ? ": separate the cells with commas, not semicolons" : ""),
                         semicolons ? "scenario-separator" : "scenario-bad-cell");
    }
    row.line = line;
    row.timeCell = cells[static_cast<std::size_t>(timeColumn_)].column;
    row.values = previous;
    row.given.assign(width, false);
    row.keys.clear();
    row.initialize = false;
    for (std::size_t c = 0; c < width; ++c) {
        const ColumnDefinition& def = *columns_[c].definition;
        const Cell& cell = cells[c];
        if (cell.text.empty()) {
            continue;
        }
        row.given[c] = true;
        if (def.kind == ColumnKind::kKeys) {
            row.keys = ParseKeys(cell, path_, line);
            continue;
        }
        double number = 0.0;
        if (def.integer) {
            int32_t integer = 0;
            if (!ParseInteger(cell.text, integer)) {
                const std::string what = def.kind == ColumnKind::kTime
                                             ? "a whole number of milliseconds"
                                             : "a 32-bit integer";
                throw InputError(path_, line, cell.column,
                                 columns_[c].name + ": '" + cell.text + "' is not " + what,
                                 "scenario-bad-cell");
            }
            number = integer;
        } else if (!ParseWholeDouble(cell.text, number)) {
            throw InputError(path_, line, cell.column,
                             columns_[c].name + ": '" + cell.text + "' is not a number",
                             "scenario-bad-cell");
        }
        if (def.kind == ColumnKind::kInitialize) {
            row.initialize = number != 0.0;
        } else {
            row.values[c] = number;
        }
    }
    return true;
}

void Scenario::Place(Row& row, bool first, int32_t& previousTime, int64_t& previousAxis) const {
    const auto time = static_cast<int32_t>(TimeOf(row));
    // A step back the damping takes as none.
    const int32_t step = HostStep(previousTime, time);
    row.jumpedBack = !first && step < 0;
    row.axis = first ? time : previousAxis + std::max<int32_t>(step, 0);
    previousTime = time;
    previousAxis = row.axis;
}

void Scenario::ReadRows() {
    Lines lines = ReadHeader();
    const int headerLine = lines.number;
    std::vector<double> previous(columns_.size(), 0.0); // the first row's empty cells are 0
    Row row;
    rowsKept_ = true;
    int32_t previousTime = 0;
    int64_t previousAxis = 0;
    int64_t segmentStart = 0;
    // With --fps, each run of rows between jumps back gets its frames.
    const auto countFrames = [&](int64_t start, int64_t end) {
        constexpr double kMaxFrames = 10'000'000;
        if (static_cast<double>(end - start) / *stepMs_ + static_cast<double>(frameCount_) >
            kMaxFrames) {
            throw InputError(path_, 0, 0, "--fps would generate more than ten million frames",
                             "scenario-too-long");
        }
        frameCount_ += FramesOver(start, end, *stepMs_);
    };
    while (ReadRow(lines, previous, row)) {
        const bool first = rowCount_ == 0;
        Place(row, first, previousTime, previousAxis);
        const auto now = static_cast<int32_t>(TimeOf(row));
        if (first) {
            firstTime_ = now;
            segmentStart = row.axis;
        } else {
            if (row.jumpedBack) {
                if (timeJumps_++ == 0) {
                    firstJumpLine_ = row.line;
                    firstJumpFrom_ = lastTime_;
                    firstJumpTo_ = now;
                }
                if (stepMs_) {
                    countFrames(segmentStart, lastAxis_);
                }
                segmentStart = row.axis;
            }
            if (row.axis - lastAxis_ > widestGap_) {
                widestGap_ = row.axis - lastAxis_;
                widestGapLine_ = row.line;
            }
        }
        axisIsHostTime_ = axisIsHostTime_ && row.axis == now;
        lastTime_ = now;
        lastAxis_ = row.axis;
        ++rowCount_;
        previous = row.values;
        if (rowsKept_ && rows_.size() < kRowsKept) {
            rows_.push_back(row);
        } else if (rowsKept_) {
            rowsKept_ = false;
            rows_.clear();
            rows_.shrink_to_fit();
        }
    }
    if (rowCount_ == 0) {
        throw InputError(path_, headerLine, 0, "the header is followed by no row",
                         "scenario-header");
    }
    if (stepMs_) {
        countFrames(segmentStart, lastAxis_);
    } else {
        frameCount_ = rowCount_;
    }
}

bool Scenario::NextRow(Row& row) {
    if (rowsKept_) {
        if (rowRead_ == rows_.size()) {
            return false;
        }
        row = rows_[rowRead_++];
        return true;
    }
    if (!lines_) {
        lines_ = ReadHeader();
        previousValues_.assign(columns_.size(), 0.0);
    }
    if (!ReadRow(*lines_, previousValues_, row)) {
        return false;
    }
    previousValues_ = row.values;
    Place(row, rowRead_ == 0, previousRowTime_, previousRowAxis_);
    ++rowRead_;
    return true;
}

int64_t Scenario::TimeOf(const Row& row) const noexcept {
    return static_cast<int64_t>(row.values[static_cast<std::size_t>(timeColumn_)]);
}

} // namespace mirevane::tool
