// The trace as CSV, written as the frames come: one row per frame after Elapse, the host
// time (and the run's time axis, run_time, when a jump back or a wrap made them differ), the
// panel entries the gauges can write, the text a copy put on the clipboard, and with detail
// every gauge's stages.
#pragma once

#include "common/frame_consumer.h"
#include "common/output_file.h"

#include <string>

namespace mirevane::tool {

// Lines end with a bare LF and doubles carry 17 significant digits, so that every build of
// the tool writes the same bytes for the same frames.
class TraceCsvWriter : public FrameConsumer {
public:
    // detail: the gauges' stages too (the run must be observed).
    TraceCsvWriter(OutputFile& out, bool detail) : out_(out), detail_(detail) {}

    void Begin(const RunHeader& run) override;
    void Take(const FrameRecord& frame) override;
    void End() override;

private:
    OutputFile& out_;
    bool detail_;
    bool runTime_ = false;
    std::vector<bool> elliptic_; // per gauge, with detail
    std::size_t columns_ = 0;
    std::string buffer_; // rows waiting to be written
};

} // namespace mirevane::tool
