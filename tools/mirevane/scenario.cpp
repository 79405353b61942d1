#include "scenario.h"

#include "config/profile_access.h"
#include "config/text.h"
#include "loading/key_names.h"
#include "tool_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace mirevane::tool {
namespace {

enum class Kind {
    kTime,
    kLocation,
    kSpeed,
    kBc,
    kMr,
    kEr,
    kBp,
    kSap,
    kCurrent,
    kBrake,
    kPower,
    kReverser,
    kKeys,
    kInitialize,
    kPanel,
    kSound
};

struct Column {
    Kind kind;
    int32_t index = 0; // the entry of a panelN or soundN column
    std::string name;
};

constexpr std::pair<const char*, Kind> kNamedColumns[] = {
    {"time", Kind::kTime},       {"location", Kind::kLocation},
    {"speed", Kind::kSpeed},     {"bc", Kind::kBc},
    {"mr", Kind::kMr},           {"er", Kind::kEr},
    {"bp", Kind::kBp},           {"sap", Kind::kSap},
    {"current", Kind::kCurrent}, {"brake", Kind::kBrake},
    {"power", Kind::kPower},     {"reverser", Kind::kReverser},
    {"keys", Kind::kKeys},       {"initialize", Kind::kInitialize},
};

bool IsIntegerColumn(Kind kind) {
    return kind == Kind::kTime || kind == Kind::kBrake || kind == Kind::kPower ||
           kind == Kind::kReverser || kind == Kind::kPanel || kind == Kind::kSound;
}

std::string Trim(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = line.find(',', begin);
        cells.push_back(Trim(line.substr(begin, comma - begin)));
        if (comma == std::string::npos) {
            return cells;
        }
        begin = comma + 1;
    }
}

// "panel12" -> 12 when the name is the prefix followed by an entry number 0..255.
bool ParseArrayColumn(const std::string& name, const char* prefix, int32_t& index) {
    const std::string p = prefix;
    if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0) {
        return false;
    }
    const char* first = name.data() + p.size();
    const char* last = name.data() + name.size();
    const auto result = std::from_chars(first, last, index);
    return result.ec == std::errc() && result.ptr == last && *first != '-' && index >= 0 &&
           index <= 255;
}

Column ParseColumn(const std::string& cell, const std::string& path, int line) {
    std::string name = cell;
    ToLowerAscii(name);
    for (const auto& [known, kind] : kNamedColumns) {
        if (name == known) {
            return {kind, 0, name};
        }
    }
    int32_t index = 0;
    if (ParseArrayColumn(name, "panel", index)) {
        return {Kind::kPanel, index, name};
    }
    if (ParseArrayColumn(name, "sound", index)) {
        return {Kind::kSound, index, name};
    }
    throw InputError(path, line,
                     "unknown column '" + cell +
                         "' (known: time, location, speed, bc, mr, er, bp, sap, current, brake, "
                         "power, reverser, keys, initialize, panel0..panel255, "
                         "sound0..sound255)");
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
std::vector<int32_t> ParseKeys(const std::string& cell, const std::string& path, int line) {
    std::vector<int32_t> keys;
    std::string word;
    std::string spaced = cell;
    std::replace(spaced.begin(), spaced.end(), ';', ' ');
    std::istringstream words(spaced);
    while (words >> word) {
        int32_t key = 0;
        if (!ParseInteger(word, key)) {
            key = KeyNameToNumber(word);
            if (key < 0) {
                throw InputError(path, line,
                                 "keys: '" + word +
                                     "' is neither a key number nor a key name (S, A1, A2, B1, "
                                     "B2, C1, C2, D, E, F, G, H, I, J, K, L)");
            }
        }
        keys.push_back(key);
    }
    return keys;
}

// One data row with every empty cell already filled from the row before.
struct Row {
    int line = 0;
    std::vector<double> values; // per column; integer columns hold exact integers
    std::vector<bool> given;    // the cell was not empty
    std::vector<int32_t> keys;
    bool initialize = false;
};

struct Table {
    std::vector<Column> columns;
    std::vector<Row> rows;
    int timeColumn = -1;
    int locationColumn = -1;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    // A spreadsheet may save the file with a UTF-8 byte order mark; it is not part of a name.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        begin = 3;
    }
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

Table ReadTable(const std::string& text, const std::string& path) {
    Table table;
    const std::vector<std::string> lines = SplitLines(text);
    std::size_t at = 0;
    while (at < lines.size() && Trim(lines[at]).empty()) {
        ++at;
    }
    if (at == lines.size()) {
        throw InputError(path, 0, "no header row: the file is empty");
    }
    const int headerLine = static_cast<int>(at) + 1;
    for (const std::string& cell : SplitCells(lines[at])) {
        if (cell.empty()) {
            throw InputError(path, headerLine, "empty column name in the header");
        }
        Column column = ParseColumn(cell, path, headerLine);
        for (const Column& earlier : table.columns) {
            if (earlier.name == column.name) {
                throw InputError(path, headerLine, "column '" + cell + "' appears twice");
            }
        }
        if (column.kind == Kind::kTime) {
            table.timeColumn = static_cast<int>(table.columns.size());
        } else if (column.kind == Kind::kLocation) {
            table.locationColumn = static_cast<int>(table.columns.size());
        }
        table.columns.push_back(column);
    }
    if (table.timeColumn < 0) {
        throw InputError(path, headerLine, "the header has no 'time' column");
    }

    const std::size_t width = table.columns.size();
    std::vector<double> previous(width, 0.0); // the first row's empty cells are 0
    for (++at; at < lines.size(); ++at) {
        if (Trim(lines[at]).empty()) {
            continue;
        }
        const int line = static_cast<int>(at) + 1;
        const std::vector<std::string> cells = SplitCells(lines[at]);
        if (cells.size() != width) {
            throw InputError(path, line,
                             "row has " + std::to_string(cells.size()) + " cells, the header " +
                                 std::to_string(width));
        }
        Row row;
        row.line = line;
        row.values = previous;
        row.given.assign(width, false);
        for (std::size_t c = 0; c < width; ++c) {
            const Column& column = table.columns[c];
            const std::string& cell = cells[c];
            if (cell.empty()) {
                continue;
            }
            row.given[c] = true;
            if (column.kind == Kind::kKeys) {
                row.keys = ParseKeys(cell, path, line);
                continue;
            }
            double number = 0.0;
            if (IsIntegerColumn(column.kind)) {
                int32_t integer = 0;
                if (!ParseInteger(cell, integer)) {
                    throw InputError(path, line,
                                     column.name + ": '" + cell + "' is not a 32-bit integer");
                }
                number = integer;
            } else if (!ParseWholeDouble(cell, number)) {
                throw InputError(path, line, column.name + ": '" + cell + "' is not a number");
            }
            if (column.kind == Kind::kInitialize) {
                row.initialize = number != 0.0;
            } else {
                row.values[c] = number;
            }
        }
        previous = row.values;
        table.rows.push_back(std::move(row));
    }
    if (table.rows.empty()) {
        throw InputError(path, headerLine, "the header is followed by no row");
    }
    return table;
}

// Values of one frame, before the location is known.
void FillFrame(const Table& table, const std::vector<double>& values,
               const std::vector<bool>* given, Frame& frame) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        const Column& column = table.columns[c];
        const double v = values[c];
        const bool set = given == nullptr || (*given)[c];
        // Integer columns hold whole numbers in a row; between key frames they are rounded.
        const auto integer = [v] { return static_cast<int32_t>(std::llround(v)); };
        switch (column.kind) {
        case Kind::kTime:
            frame.time = integer();
            break;
        case Kind::kLocation:
            frame.location = v;
            break;
        case Kind::kSpeed:
            frame.speed = v;
            break;
        case Kind::kBc:
            frame.bc = v;
            break;
        case Kind::kMr:
            frame.mr = v;
            break;
        case Kind::kEr:
            frame.er = v;
            break;
        case Kind::kBp:
            frame.bp = v;
            break;
        case Kind::kSap:
            frame.sap = v;
            break;
        case Kind::kCurrent:
            frame.current = v;
            break;
        case Kind::kBrake:
            if (set) {
                frame.brake = integer();
            }
            break;
        case Kind::kPower:
            if (set) {
                frame.power = integer();
            }
            break;
        case Kind::kReverser:
            if (set) {
                frame.reverser = integer();
            }
            break;
        case Kind::kPanel:
            frame.panel.emplace_back(column.index, integer());
            break;
        case Kind::kSound:
            frame.sound.emplace_back(column.index, integer());
            break;
        case Kind::kKeys:
        case Kind::kInitialize:
            break;
        }
    }
}

// Without a location column the train moves at the previous frame's speed.
void IntegrateLocation(std::vector<Frame>& frames) {
    for (std::size_t k = 1; k < frames.size(); ++k) {
        const double stepSeconds =
            static_cast<double>(static_cast<int64_t>(frames[k].time) - frames[k - 1].time) / 1000.0;
        frames[k].location = frames[k - 1].location + frames[k - 1].speed / 3.6 * stepSeconds;
    }
}

std::vector<Frame> FramePerRow(const Table& table) {
    std::vector<Frame> frames;
    frames.reserve(table.rows.size());
    for (const Row& row : table.rows) {
        Frame frame;
        FillFrame(table, row.values, &row.given, frame);
        frame.keys = row.keys;
        frame.initialize = row.initialize;
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Key frames -> frames every 1000/fps ms from the first row's time to the last row's time
// (which closes the range even when it falls between two steps).
std::vector<Frame> GeneratedFrames(const Table& table, double fps, const std::string& path) {
    const auto timeOf = [&table](const Row& row) {
        return static_cast<int64_t>(row.values[table.timeColumn]);
    };
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        if (timeOf(table.rows[r]) < timeOf(table.rows[r - 1])) {
            throw InputError(path, table.rows[r].line,
                             "with --fps the key frames must be in time order");
        }
    }
    const int64_t first = timeOf(table.rows.front());
    const int64_t last = timeOf(table.rows.back());
    const double stepMs = 1000.0 / fps;
    constexpr double kMaxFrames = 10'000'000;
    if (static_cast<double>(last - first) / stepMs > kMaxFrames) {
        throw InputError(path, 0, "--fps would generate more than ten million frames");
    }
    std::vector<int64_t> times;
    for (int64_t k = 0;; ++k) {
        const int64_t t = first + std::llround(static_cast<double>(k) * stepMs);
        if (t > last) {
            break;
        }
        if (times.empty() || t > times.back()) {
            times.push_back(t);
        }
    }
    if (times.back() != last) {
        times.push_back(last);
    }

    std::vector<Frame> frames(times.size());
    std::vector<double> values(table.columns.size());
    std::size_t r = 0; // the last key frame at or before the frame's time
    for (std::size_t k = 0; k < times.size(); ++k) {
        const int64_t t = times[k];
        while (r + 1 < table.rows.size() && timeOf(table.rows[r + 1]) <= t) {
            ++r;
        }
        const Row& a = table.rows[r];
        if (r + 1 == table.rows.size()) {
            values = a.values;
        } else {
            const Row& b = table.rows[r + 1];
            const double fraction =
                static_cast<double>(t - timeOf(a)) / static_cast<double>(timeOf(b) - timeOf(a));
            for (std::size_t c = 0; c < values.size(); ++c) {
                values[c] = a.values[c] + (b.values[c] - a.values[c]) * fraction;
            }
        }
        values[table.timeColumn] = static_cast<double>(t);
        FillFrame(table, values, nullptr, frames[k]);
    }
    // Events fire once, at the first generated frame at or after their row's time.
    for (const Row& row : table.rows) {
        const auto at = std::lower_bound(times.begin(), times.end(), timeOf(row));
        Frame& frame = frames[static_cast<std::size_t>(at - times.begin())];
        frame.keys.insert(frame.keys.end(), row.keys.begin(), row.keys.end());
        frame.initialize = frame.initialize || row.initialize;
    }
    return frames;
}

} // namespace

std::vector<Frame> ParseScenario(const std::string& text, const std::string& path,
                                 std::optional<double> framesPerSecond) {
    const Table table = ReadTable(text, path);
    std::vector<Frame> frames =
        framesPerSecond ? GeneratedFrames(table, *framesPerSecond, path) : FramePerRow(table);
    if (table.locationColumn < 0) {
        IntegrateLocation(frames);
    }
    return frames;
}

std::vector<Frame> ReadScenario(const std::string& path, std::optional<double> framesPerSecond) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw InputError(path, 0, "is a folder, not a scenario file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw InputError(path, 0, "cannot open the scenario file");
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        throw InputError(path, 0, "cannot read the scenario file");
    }
    return ParseScenario(text.str(), path, framesPerSecond);
}

} // namespace mirevane::tool
