// A scenario: the frames a host would run, read from a CSV file with a header row. Columns
// are the vehicle state, the handles, host key presses, Initialize, and panel and sound
// entries the host sets; every row is one frame, or, with --fps, a key frame between which
// frames are generated at a fixed rate. The rows are read and checked whole first; the frames
// are then made one at a time. A scenario of many rows is not held: each run reads its file
// again, row by row, so a long scenario costs no more memory than a short one.
#pragma once

#include "replay/scenario_columns.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirevane::tool {

// Everything the tool hands the plug-in in one frame, in the order it hands it over.
struct Frame {
    int32_t time = 0; // host milliseconds, as the host sends them
    // The run's time axis, ms: the first frame's host time plus every step since as the
    // damping takes it (32-bit, a jump back counting 0). It never goes back, and equals the
    // host time unless the time jumped back or wrapped.
    int64_t axis = 0;
    bool jumpedBack = false; // the host time went back from the frame before's
    int32_t timeBefore = 0;  // that frame's host time
    double location = 0.0;   // metres
    double speed = 0.0;      // km/h
    double bc = 0.0;         // kPa
    double mr = 0.0;
    double er = 0.0;
    double bp = 0.0;
    double sap = 0.0;
    double current = 0.0; // A, signed
    std::optional<int32_t> brake;
    std::optional<int32_t> power;
    std::optional<int32_t> reverser;
    bool initialize = false;
    std::vector<int32_t> keys;
    std::vector<std::pair<int32_t, int32_t>> panel; // (entry, value) written before Elapse
    std::vector<std::pair<int32_t, int32_t>> sound;
};

class Scenario {
public:
    // Reads the file ("-": standard input) and checks every row. framesPerSecond empty: one
    // frame per row. Throws InputError naming file, line and column on anything it cannot
    // read.
    // Standard input is held in memory, a file is not.
    static Scenario Read(const std::string& path, std::optional<double> framesPerSecond);
    // The same from text already in memory; path names it in messages.
    static Scenario Parse(const std::string& text, const std::string& path,
                          std::optional<double> framesPerSecond);

    const std::string& path() const noexcept { return path_; }
    // Host times of the first and the last row; the run's time axis from the first frame to
    // the last.
    int32_t firstTime() const noexcept { return firstTime_; }
    int32_t lastTime() const noexcept { return lastTime_; }
    int64_t firstAxis() const noexcept { return firstTime_; }
    int64_t lastAxis() const noexcept { return lastAxis_; }
    // Rows whose time is earlier than the row before's (a wrap past 2147483647 is a step
    // forward), the first of them, and whether the axis anywhere differs from the host time.
    std::size_t timeJumps() const noexcept { return timeJumps_; }
    int firstJumpLine() const noexcept { return firstJumpLine_; }
    int32_t firstJumpFrom() const noexcept { return firstJumpFrom_; }
    int32_t firstJumpTo() const noexcept { return firstJumpTo_; }
    bool axisIsHostTime() const noexcept { return axisIsHostTime_; }
    // The number of frames Next will give.
    std::size_t frameCount() const noexcept { return frameCount_; }
    // The widest gap between two consecutive rows, in ms, and the line of the later row.
    int64_t widestRowGap() const noexcept { return widestGap_; }
    int widestRowGapLine() const noexcept { return widestGapLine_; }

    // True when a column sets this field of the vehicle state.
    bool Sets(float AtsVehicleState::*field) const noexcept;

    // Starts the frames again from the first.
    void Rewind() noexcept;
    // The next frame into `frame` (its storage reused); false after the last. Throws
    // InputError when the file no longer reads as it did.
    bool Next(Frame& frame);

    // Scenarios of at most this many rows are kept in memory once read (about 200 bytes a
    // row); longer ones are read from their file on every run.
    static constexpr std::size_t kRowsKept = 100'000;

private:
    struct Column {
        const ColumnDefinition* definition = nullptr;
        int32_t entry = 0; // of a panelN or soundN column
        std::string name;  // as written, in lower case
    };
    // One data row with every empty cell already filled from the row before.
    struct Row {
        int line = 0;
        int timeCell = 0; // column of its time cell
        int64_t axis = 0; // the run's time axis at this row
        bool jumpedBack = false;
        std::vector<double> values; // per column; integer columns hold exact integers
        std::vector<bool> given;    // the cell was not empty
        std::vector<int32_t> keys;
        bool initialize = false;
    };

    // One reading of the lines, from the start: of the file, or of the text held.
    struct Lines {
        std::unique_ptr<std::istream> in;
        int number = 0; // of the last line read, 1-based
        bool NextLine(std::string& line);
    };

    Scenario() = default;
    // Reads `file`, or `text` when file is empty; path names it in messages.
    static Scenario FromSource(const std::string& path, const std::string& file,
                               const std::string& text, std::optional<double> framesPerSecond);
    Lines Open() const;
    // The next line that is not blank; false at the end. Throws when the file cannot be read.
    bool NextFilledLine(Lines& lines, std::string& line) const;
    // The header, on the first reading: the columns. Returns the lines after it.
    Lines ReadHeader();
    // The next data row; `previous` fills its empty cells. False at the end.
    bool ReadRow(Lines& lines, const std::vector<double>& previous, Row& row) const;
    void ReadRows();
    // The next row of the run, from the rows kept or from the file.
    bool NextRow(Row& row);
    int64_t TimeOf(const Row& row) const noexcept;
    void Fill(const std::vector<double>& values, const std::vector<bool>* given,
              Frame& frame) const;
    // The frames --fps makes from `start` to `end` (ms on the time axis), `step` ms apart.
    static std::size_t FramesOver(int64_t start, int64_t end, double step);
    // The row's place on the time axis after the row before (`first`: none).
    void Place(Row& row, bool first, int32_t& previousTime, int64_t& previousAxis) const;
    // The next frame --fps makes, into `frame`; false after the last.
    bool NextGenerated(Frame& frame);
    // The step from one host time to the next as the host's 32-bit arithmetic gives it: past
    // 2147483647 the time wraps to -2147483648, a step forward; a negative step goes back.
    static int32_t HostStep(int32_t from, int32_t to) noexcept {
        return static_cast<int32_t>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from));
    }

    std::string path_;
    std::string file_; // the file read again on each run; empty: text_ is
    std::string text_;
    std::optional<double> stepMs_; // --fps: ms between generated frames
    std::vector<Column> columns_;
    std::vector<Row> rows_; // all of them, when at most kRowsKept
    bool rowsKept_ = false;
    std::size_t rowCount_ = 0;
    int32_t firstTime_ = 0;
    int32_t lastTime_ = 0;
    int64_t lastAxis_ = 0;
    std::size_t timeJumps_ = 0;
    int firstJumpLine_ = 0;
    int32_t firstJumpFrom_ = 0;
    int32_t firstJumpTo_ = 0;
    bool axisIsHostTime_ = true;
    int timeColumn_ = -1;
    bool hasLocation_ = false;
    std::size_t frameCount_ = 0;
    int64_t widestGap_ = 0;
    int widestGapLine_ = 0;

    // Where Next stands.
    std::size_t next_ = 0;               // frame (one per row) or step number (--fps)
    std::size_t rowRead_ = 0;            // rows taken by NextRow
    std::optional<Lines> lines_;         // the rows not kept, as the run reads them
    std::vector<double> previousValues_; // of the row lines_ gave last, and its place
    int32_t previousRowTime_ = 0;
    int64_t previousRowAxis_ = 0;
    Row current_;   // one frame per row: the row; --fps: the last row at or
    Row following_; // before the frame's time, and the row after it
    bool hasFollowing_ = false;
    // --fps: frames every step from a segment's first row (the first, or one the time jumped
    // back to) to its last, the last closing the segment even between two steps.
    int64_t segmentStart_ = 0; // axis
    std::size_t step_ = 0;     // within the segment
    int64_t lastAxisGiven_ = 0;
    bool segmentStarted_ = false;
    bool segmentClosed_ = false; // its closing frame given: the next row jumped back
    bool done_ = false;
    std::vector<double> values_; // --fps: the interpolated row
    double previousLocation_ = 0.0;
    double previousSpeed_ = 0.0;
    int32_t previousTime_ = 0; // host time of the frame before
    int64_t previousAxis_ = 0;
};

} // namespace mirevane::tool
