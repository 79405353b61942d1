#include "run/trace_csv.h"

#include "common/number_text.h"

namespace mirevane::tool {
namespace {

// Copied text is a number in practice; quote it anyway should it ever hold a separator.
void AppendCell(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

// Written in pieces of about this size: few writes, little memory.
constexpr std::size_t kFlushBytes = 1 << 16;

} // namespace

void TraceCsvWriter::Begin(const RunHeader& run) {
    // The run's time axis beside the host time only where they differ: after a jump back
    // or a wrap.
    runTime_ = !run.axisIsHostTime;
    std::string header = runTime_ ? "time,run_time" : "time";
    for (int32_t entry : run.panelColumns) {
        header += ",panel" + std::to_string(entry);
    }
    header += ",clipboard";
    columns_ = run.panelColumns.size();
    detail_ = detail_ && run.observed;
    if (detail_) {
        for (std::size_t g = 0; g < run.gauges.size(); ++g) {
            const std::string k = "g" + std::to_string(g) + "_";
            header += "," + k + "value," + k + "vibrated," + k + "angle";
            if (run.gauges[g].elliptic) {
                header += "," + k + "damped," + k + "entry";
            }
            elliptic_.push_back(run.gauges[g].elliptic);
        }
    }
    header += '\n';
    out_.Write(header);
    buffer_.reserve(kFlushBytes + 4096);
}

void TraceCsvWriter::Take(const FrameRecord& frame) {
    buffer_ += std::to_string(frame.time);
    if (runTime_) {
        buffer_ += ',';
        buffer_ += std::to_string(frame.axis);
    }
    for (std::size_t c = 0; c < columns_; ++c) {
        buffer_ += ',';
        buffer_ += std::to_string(frame.panel[c]);
    }
    buffer_ += ',';
    AppendCell(buffer_, frame.clipboard);
    if (detail_) {
        for (std::size_t g = 0; g < elliptic_.size(); ++g) {
            const GaugeSample& s = frame.samples[g];
            buffer_ += ',';
            buffer_ += Digits17(s.value);
            buffer_ += ',';
            buffer_ += Digits17(s.vibrated);
            buffer_ += ',';
            buffer_ += Digits17(s.angle);
            if (elliptic_[g]) {
                buffer_ += ',';
                buffer_ += Digits17(s.damped);
                buffer_ += ',';
                buffer_ += std::to_string(s.entry);
            }
        }
    }
    buffer_ += '\n';
    if (buffer_.size() >= kFlushBytes) {
        out_.Write(buffer_);
        buffer_.clear();
    }
}

void TraceCsvWriter::End() {
    out_.Write(buffer_);
    buffer_.clear();
}

} // namespace mirevane::tool
