// A line on standard error that tells how far a long run has come, rewritten in place. Only
// for a person watching: it appears when standard error is a terminal and the run has taken
// longer than two seconds, and it is erased when the run ends.
#pragma once

#include "common/frame_consumer.h"

#include <chrono>

namespace mirevane::tool {

class ProgressLine : public FrameConsumer {
public:
    void Begin(const RunHeader& run) override;
    void Take(const FrameRecord& frame) override;
    void End() override;

    static bool StandardErrorIsTerminal();

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_;
    Clock::time_point shown_;
    std::size_t frames_ = 0;
    bool showing_ = false;
};

} // namespace mirevane::tool
