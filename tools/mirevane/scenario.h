// A scenario: the frames a host would run, read from a CSV file with a header row. Columns
// are the vehicle state, the handles, host key presses, Initialize, and panel and sound
// entries the host sets; every row is one frame, or, with --fps, a key frame between which
// frames are generated at a fixed rate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirevane::tool {

// Everything the tool hands the plug-in in one frame, in the order it hands it over.
struct Frame {
    int32_t time = 0; // host milliseconds
    double location = 0.0;
    double speed = 0.0;
    double bc = 0.0;
    double mr = 0.0;
    double er = 0.0;
    double bp = 0.0;
    double sap = 0.0;
    double current = 0.0;
    std::optional<int32_t> brake;
    std::optional<int32_t> power;
    std::optional<int32_t> reverser;
    bool initialize = false;
    std::vector<int32_t> keys;
    std::vector<std::pair<int32_t, int32_t>> panel; // (entry, value) written before Elapse
    std::vector<std::pair<int32_t, int32_t>> sound;
};

// Reads the file and expands it into frames. framesPerSecond empty: one frame per row.
// Throws InputError naming the file and line on anything it cannot read.
std::vector<Frame> ReadScenario(const std::string& path, std::optional<double> framesPerSecond);

// The same from text already in memory; path names it in messages.
std::vector<Frame> ParseScenario(const std::string& text, const std::string& path,
                                 std::optional<double> framesPerSecond);

} // namespace mirevane::tool
