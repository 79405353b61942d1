// The scenario reader of `mirevane run` on any file, one frame per row or with generated
// frames. It must either refuse the file with an InputError that points into it, or give
// exactly frameCount() frames in time order from the first row's time to the last's, with
// array entries in 0..255, and give the same frames again after Rewind.
#include "common/tool_error.h"
#include "fuzz_check.h"
#include "replay/scenario.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace mirevane::tool {
namespace {

// Longer runs are read and counted, but not walked frame by frame: the reader is what is
// fuzzed, not the patience of the machine.
constexpr std::size_t kMostFramesWalked = 20000;

bool SameFrame(const Frame& a, const Frame& b) {
    // A cell may read as NaN ("nan" is a number to strtod): NaN equals NaN here.
    const auto same = [](double x, double y) { return x == y || (x != x && y != y); };
    return a.time == b.time && same(a.location, b.location) && same(a.speed, b.speed) &&
           same(a.bc, b.bc) && same(a.mr, b.mr) && same(a.er, b.er) && same(a.bp, b.bp) &&
           same(a.sap, b.sap) && same(a.current, b.current) && a.brake == b.brake &&
           a.power == b.power && a.reverser == b.reverser && a.initialize == b.initialize &&
           a.keys == b.keys && a.panel == b.panel && a.sound == b.sound;
}

std::optional<double> RateFrom(uint8_t byte) {
    // Half the inputs one frame per row; the rest a rate from 0.5 to 1000 frames per second.
    if (byte < 128) {
        return std::nullopt;
    }
    static constexpr double kRates[] = {0.5, 1, 3, 7, 10, 20, 30, 60, 144, 1000};
    return kRates[byte % std::size(kRates)];
}

} // namespace
} // namespace mirevane::tool

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane::tool;
    if (size == 0) {
        return 0;
    }
    const std::optional<double> fps = RateFrom(data[0]);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;

    std::optional<Scenario> read;
    try {
        read.emplace(Scenario::Parse(text, "s.csv", fps));
    } catch (const InputError& e) {
        const std::string line = e.Line();
        FUZZ_REQUIRE(line.rfind("s.csv:", 0) == 0, line);
        FUZZ_REQUIRE(line.find(" error: ") != std::string::npos, line);
        FUZZ_REQUIRE(line.back() == ']', line);
        const int at = std::atoi(line.c_str() + 6);
        FUZZ_REQUIRE(at >= 0 && at <= lines, line);
        return 0;
    }
    Scenario& scenario = *read;
    FUZZ_REQUIRE(scenario.firstAxis() <= scenario.lastAxis(), "time range");
    FUZZ_REQUIRE(scenario.frameCount() >= 1, "no frame");
    if (scenario.frameCount() > kMostFramesWalked) {
        return 0;
    }

    // The time axis never goes back; the host time only where it jumps back, and then from
    // the frame before's.
    Frame frame;
    Frame again;
    std::size_t count = 0;
    std::size_t jumps = 0;
    int64_t previous = scenario.firstAxis();
    int32_t previousTime = scenario.firstTime();
    while (scenario.Next(frame)) {
        FUZZ_REQUIRE(count < scenario.frameCount(), "more frames than counted");
        FUZZ_REQUIRE(frame.axis >= previous,
                     "the axis goes back at frame " + std::to_string(count));
        FUZZ_REQUIRE(!fps || count == 0 || frame.jumpedBack || frame.axis > previous,
                     "two generated frames at one time");
        FUZZ_REQUIRE(!frame.jumpedBack ||
                         (frame.axis == previous && frame.timeBefore == previousTime),
                     "a jump back moves the axis");
        FUZZ_REQUIRE(!scenario.axisIsHostTime() || frame.axis == frame.time, "axis and time");
        if (count == 0) {
            FUZZ_REQUIRE(frame.time == scenario.firstTime() && !frame.jumpedBack, "first frame");
        }
        for (const auto& [entry, value] : frame.panel) {
            FUZZ_REQUIRE(entry >= 0 && entry <= 255, "panel entry");
        }
        for (const auto& [entry, value] : frame.sound) {
            FUZZ_REQUIRE(entry >= 0 && entry <= 255, "sound entry");
        }
        jumps += frame.jumpedBack ? 1 : 0;
        previous = frame.axis;
        previousTime = frame.time;
        ++count;
    }
    FUZZ_REQUIRE(count == scenario.frameCount(), std::to_string(count) + " frames, counted " +
                                                     std::to_string(scenario.frameCount()));
    FUZZ_REQUIRE(previous == scenario.lastAxis() && previousTime == scenario.lastTime(),
                 "last frame");
    // Every row that jumps back gives one frame that does (with --fps, the first of its run).
    FUZZ_REQUIRE(jumps == scenario.timeJumps(),
                 std::to_string(jumps) + " jumps, counted " + std::to_string(scenario.timeJumps()));
    FUZZ_REQUIRE(!scenario.Next(frame), "a frame after the end");

    // Rewind starts over: the frames are those of the same text read anew.
    scenario.Rewind();
    Scenario copy = Scenario::Parse(text, "s.csv", fps);
    while (scenario.Next(frame)) {
        FUZZ_REQUIRE(copy.Next(again) && SameFrame(frame, again), "rewound frames differ");
    }
    return 0;
}
