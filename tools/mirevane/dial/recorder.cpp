#include "dial/recorder.h"

#include "common/number_text.h"
#include "loading/key_names.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace mirevane::tool {
namespace {

// Keeps rows 0, 2, 4, ... of a frame-major array with `width` entries per row.
template <class T> void KeepEvenRows(std::vector<T>& rows, std::size_t width) {
    const std::size_t count = width == 0 ? 0 : rows.size() / width;
    std::size_t kept = 0;
    for (std::size_t row = 0; row < count; row += 2, ++kept) {
        std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(row * width), width,
                    rows.begin() + static_cast<std::ptrdiff_t>(kept * width));
    }
    rows.resize(kept * width);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static const char* const kHex = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else if (c == '<') {
            // The JSON sits inside a <script> element, which "</script" would end.
            out += "\\u003c";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A number series as a JSON array in which a run of three or more equal texts is written
// [text, count]: parked images and resting needles shrink to a few characters.
class RunArray {
public:
    void Add(const std::string& text) {
        if (text == current_) {
            ++count_;
            return;
        }
        Flush();
        current_ = text;
        count_ = 1;
    }
    std::string Finish() {
        Flush();
        return "[" + out_ + "]";
    }

private:
    void Flush() {
        if (count_ == 0) {
            return;
        }
        std::string piece;
        if (count_ >= 3) {
            piece = "[" + current_ + "," + std::to_string(count_) + "]";
        } else {
            piece = current_;
            for (std::size_t i = 1; i < count_; ++i) {
                piece += "," + current_;
            }
        }
        out_ += (out_.empty() ? "" : ",") + piece;
        count_ = 0;
    }

    std::string out_;
    std::string current_;
    std::size_t count_ = 0;
};

// Seven digits: more than a dial can show, and JSON has no NaN.
std::string Number(double value) {
    return std::isfinite(value) ? Rounded(value, 7) : "null";
}

} // namespace

DialRecorder::DialRecorder(std::size_t frameBudget) : budget_(frameBudget) {
    if (budget_ < 2) {
        throw std::invalid_argument("DialRecorder: a budget of at least 2 frames");
    }
}

void DialRecorder::Begin(const RunHeader& run) {
    gauges_ = run.gauges;
    columns_ = run.panelColumns;
    seen_ = 0;
    stride_ = 1;
    lastIsExtra_ = false;
    times_.clear();
    samples_.clear();
    panel_.clear();
    lowest_.assign(gauges_.size(), std::numeric_limits<double>::infinity());
    highest_.assign(gauges_.size(), -std::numeric_limits<double>::infinity());
    events_.clear();
    eventsDropped_ = 0;
}

void DialRecorder::Take(const FrameRecord& frame) {
    for (std::size_t g = 0; g < gauges_.size(); ++g) {
        if (std::isfinite(frame.samples[g].value)) {
            lowest_[g] = std::min(lowest_[g], frame.samples[g].value);
            highest_[g] = std::max(highest_[g], frame.samples[g].value);
        }
    }
    const bool pressed = frame.keys != nullptr && !frame.keys->empty();
    if (pressed || frame.initialize || !frame.clipboard.empty()) {
        if (events_.size() < kEventBudget) {
            DialEvent event{frame.time, "", frame.initialize, std::string(frame.clipboard)};
            for (std::size_t k = 0; pressed && k < frame.keys->size(); ++k) {
                event.keys += (k == 0 ? "" : " ") + KeyNumberToName((*frame.keys)[k]);
            }
            events_.push_back(std::move(event));
        } else {
            ++eventsDropped_;
        }
    }

    if (lastIsExtra_) {
        DropLast();
    }
    const bool onStride = seen_ % stride_ == 0;
    ++seen_;
    Append(frame);
    lastIsExtra_ = !onStride;
    if (onStride && times_.size() > budget_) {
        DropEveryOther();
    }
}

void DialRecorder::Append(const FrameRecord& frame) {
    times_.push_back(frame.time);
    samples_.insert(samples_.end(), frame.samples, frame.samples + gauges_.size());
    panel_.insert(panel_.end(), frame.panel, frame.panel + columns_.size());
}

void DialRecorder::DropLast() {
    times_.pop_back();
    samples_.resize(samples_.size() - gauges_.size());
    panel_.resize(panel_.size() - columns_.size());
}

void DialRecorder::DropEveryOther() {
    KeepEvenRows(times_, 1);
    KeepEvenRows(samples_, gauges_.size());
    KeepEvenRows(panel_, columns_.size());
    stride_ *= 2;
}

// {"framesSeen": N, "stride": S,
//  "t": [times in ms],
//  "gauges": [{"elliptic": true, "subject": "bc", "unit": "kPa", "value": [...], "angle": [...],
//  "shown": [...],
//              elliptic only: "damped": [...], "entry": [...]}, ...],
//  "panel": {"ENTRY": [values in thousandths of a degree], ...},
//  "events": [{"t": ms, "keys": "D C1", "initialize": false, "copied": "203.8"}, ...],
//  "eventsDropped": N}
// Every array holds one number per kept frame, runs written [number, count].
std::string DialRecorder::Json() const {
    const std::size_t frames = times_.size();
    const std::size_t width = gauges_.size();
    std::string json = "{\"framesSeen\":" + std::to_string(seen_) +
                       ",\"stride\":" + std::to_string(stride_) + ",\n\"t\":";
    RunArray times;
    for (int32_t t : times_) {
        times.Add(std::to_string(t));
    }
    json += times.Finish() + ",\n\"gauges\":[";
    for (std::size_t g = 0; g < width; ++g) {
        RunArray value;
        RunArray angle;
        RunArray shown;
        RunArray damped;
        RunArray entry;
        for (std::size_t f = 0; f < frames; ++f) {
            const GaugeSample& s = samples_[f * width + g];
            value.Add(Number(s.value));
            angle.Add(Number(s.angle));
            shown.Add(Number(s.shown));
            damped.Add(Number(s.damped));
            entry.Add(std::to_string(s.entry));
        }
        json += std::string(g == 0 ? "" : ",") +
                "\n{\"elliptic\":" + (gauges_[g].elliptic ? "true" : "false") +
                ",\"subject\":" + JsonString(gauges_[g].subject) +
                ",\"unit\":" + JsonString(gauges_[g].unit) + ",\n\"value\":" + value.Finish() +
                ",\n\"angle\":" + angle.Finish() + ",\n\"shown\":" + shown.Finish();
        if (gauges_[g].elliptic) {
            json += ",\n\"damped\":" + damped.Finish() + ",\n\"entry\":" + entry.Finish();
        }
        json += "}";
    }
    json += "],\n\"panel\":{";
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        RunArray values;
        for (std::size_t f = 0; f < frames; ++f) {
            values.Add(std::to_string(panel_[f * columns_.size() + c]));
        }
        json += std::string(c == 0 ? "" : ",") + "\n\"" + std::to_string(columns_[c]) +
                "\":" + values.Finish();
    }
    json += "},\n\"events\":[";
    for (std::size_t i = 0; i < events_.size(); ++i) {
        const DialEvent& e = events_[i];
        json += std::string(i == 0 ? "" : ",") + "\n{\"t\":" + std::to_string(e.timeMilliseconds) +
                ",\"keys\":" + JsonString(e.keys) +
                ",\"initialize\":" + (e.initialize ? "true" : "false") +
                ",\"copied\":" + JsonString(e.copied) + "}";
    }
    json += "],\n\"eventsDropped\":" + std::to_string(eventsDropped_) + "}";
    return json;
}

} // namespace mirevane::tool
