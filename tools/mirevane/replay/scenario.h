// A scenario: the frames a host would run, read from a CSV file with a header row. Columns
// are the vehicle state, the handles, host key presses, Initialize, and panel and sound
// entries the host sets; every row is one frame, or, with --fps, a key frame between which
// frames are generated at a fixed rate. The rows are read and checked whole; the frames are
// made one at a time, so a long run holds none of them.
#pragma once

#include "replay/scenario_columns.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirevane::tool {

// Everything the tool hands the plug-in in one frame, in the order it hands it over.
struct Frame {
    int32_t time = 0;      // host milliseconds
    double location = 0.0; // metres
    double speed = 0.0;    // km/h
    double bc = 0.0;       // kPa
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
    static Scenario Read(const std::string& path, std::optional<double> framesPerSecond);
    // The same from text already in memory; path names it in messages.
    static Scenario Parse(const std::string& text, const std::string& path,
                          std::optional<double> framesPerSecond);

    const std::string& path() const noexcept { return path_; }
    int32_t firstTime() const noexcept;
    int32_t lastTime() const noexcept;
    // The number of frames Next will give.
    std::size_t frameCount() const noexcept { return frameCount_; }
    // The widest gap between two consecutive rows, in ms, and the line of the later row.
    int64_t widestRowGap() const noexcept { return widestGap_; }
    int widestRowGapLine() const noexcept { return widestGapLine_; }

    // Starts the frames again from the first.
    void Rewind() noexcept;
    // The next frame into `frame` (its storage reused); false after the last.
    bool Next(Frame& frame);

private:
    struct Column {
        const ColumnDefinition* definition = nullptr;
        int32_t entry = 0; // of a panelN or soundN column
        std::string name;  // as written, in lower case
    };
    // One data row with every empty cell already filled from the row before.
    struct Row {
        int line = 0;
        std::vector<double> values; // per column; integer columns hold exact integers
        std::vector<bool> given;    // the cell was not empty
        std::vector<int32_t> keys;
        bool initialize = false;
    };

    Scenario() = default;
    void ReadRows(const std::string& text);
    int64_t TimeOf(const Row& row) const noexcept;
    void Fill(const std::vector<double>& values, const std::vector<bool>* given,
              Frame& frame) const;
    void CountFrames();
    bool NextTime(int64_t& time) noexcept;

    std::string path_;
    std::optional<double> stepMs_; // --fps: ms between generated frames
    std::vector<Column> columns_;
    std::vector<Row> rows_;
    int timeColumn_ = -1;
    bool hasLocation_ = false;
    std::size_t frameCount_ = 0;
    int64_t widestGap_ = 0;
    int widestGapLine_ = 0;

    // Where Next stands.
    std::size_t next_ = 0;      // row (one frame per row) or step number (--fps)
    std::size_t keyRow_ = 0;    // --fps: the last row at or before the frame's time
    std::size_t eventRow_ = 0;  // --fps: the first row whose keys have not fired yet
    int64_t lastTimeGiven_ = 0; // --fps
    bool done_ = false;
    bool started_ = false;
    std::vector<double> values_; // --fps: the interpolated row
    double previousLocation_ = 0.0;
    double previousSpeed_ = 0.0;
    int32_t previousTime_ = 0;
};

} // namespace mirevane::tool
