#include "run/progress_line.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace mirevane::tool {
namespace {

constexpr auto kQuietFor = std::chrono::seconds(2);
constexpr auto kEvery = std::chrono::milliseconds(250);
// The clock is read once per this many frames: a frame takes a microsecond or two.
constexpr std::size_t kFramesPerLook = 4096;

} // namespace

bool ProgressLine::StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressLine::Begin(const RunHeader& run) {
    start_ = Clock::now();
    shown_ = start_;
    frames_ = run.frameCount;
}

void ProgressLine::Take(const FrameRecord& frame) {
    if (frame.index % kFramesPerLook != 0) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuietFor || now - shown_ < kEvery) {
        return;
    }
    shown_ = now;
    showing_ = true;
    const std::size_t percent = frames_ > 0 ? frame.index * 100 / frames_ : 0;
    const std::string line = "\rmirevane run: frame " + std::to_string(frame.index) + " of " +
                             std::to_string(frames_) + " (" + std::to_string(percent) + "%) ";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void ProgressLine::End() {
    if (showing_) {
        // Blank the line out and return to its start, so the next message begins at column 0.
        std::fprintf(stderr, "\r%60s\r", "");
        std::fflush(stderr);
    }
}

} // namespace mirevane::tool
