#include "dial/recorder.h"

#include "common/number_text.h"
#include "dial/page_series.h"
#include "dynamics/angle_units.h"
#include "loading/key_names.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <future>
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

using JsonValue = nlohmann::ordered_json;

} // namespace

DialRecorder::DialRecorder(std::size_t frameBudget) : budget_(frameBudget) {
    if (budget_ < 2) {
        throw std::invalid_argument("DialRecorder: a budget of at least 2 frames");
    }
}

void DialRecorder::Begin(const RunHeader& run) {
    gauges_ = run.gauges;
    columns_ = run.panelColumns;
    quantities_ = run.quantities;
    seen_ = 0;
    stride_ = 1;
    lastIsExtra_ = false;
    times_.clear();
    samples_.clear();
    panel_.clear();
    states_.clear();
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
    if (pressed || frame.initialize || !frame.clipboard.empty() || frame.jumpedBack) {
        if (events_.size() < kEventBudget) {
            DialEvent event{frame.axis, "", frame.initialize, std::string(frame.clipboard), ""};
            if (frame.jumpedBack) {
                event.jump = "host time " + Shortest(frame.timeBefore / 1000.0) + " s \u2192 " +
                             Shortest(frame.time / 1000.0) + " s";
            }
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
    times_.push_back(frame.axis);
    samples_.insert(samples_.end(), frame.samples, frame.samples + gauges_.size());
    panel_.insert(panel_.end(), frame.panel, frame.panel + columns_.size());
    states_.push_back(frame.state);
}

void DialRecorder::DropLast() {
    times_.pop_back();
    samples_.resize(samples_.size() - gauges_.size());
    panel_.resize(panel_.size() - columns_.size());
    states_.pop_back();
}

void DialRecorder::DropEveryOther() {
    KeepEvenRows(times_, 1);
    KeepEvenRows(samples_, gauges_.size());
    KeepEvenRows(panel_, columns_.size());
    KeepEvenRows(states_, 1);
    stride_ *= 2;
}

// {"framesSeen": N, "stride": S,
//  "t": [times in ms],
//  "gauges": [{"elliptic": true, "subject": "bc", "unit": "kPa", "value": [...], "angle": [...],
//  "shown": [...], "mode": [developer adjust mode: 0 off, 1 value, 2 angle, 3 rotate],
//              elliptic only: "damped": [...], "entry": [...]}, ...],
//  "panel": {"ENTRY": [values in thousandths of a degree], ...},
//  "events": [{"t": ms, "keys": "D C1", "initialize": false, "copied": "203.8"}, ...],
//  "eventsDropped": N,
//  "needleOffset": the degrees the scale adds to a table angle (180): "angle" includes it,
//  and the members of `more` after these}
// Every array holds one number per kept frame, runs written [number, count].
JsonValue DialRecorder::GaugeJson(std::size_t g) const {
    const std::size_t width = gauges_.size();
    RunArray value;
    RunArray angle;
    RunArray shown;
    RunArray damped;
    RunArray entry;
    RunArray mode;
    const bool elliptic = gauges_[g].elliptic;
    for (std::size_t f = 0; f < times_.size(); ++f) {
        const GaugeSample& s = samples_[f * width + g];
        mode.Add(static_cast<int32_t>(s.mode));
        value.Add(PageNumber(s.value));
        angle.Add(PageNumber(s.angle));
        shown.Add(PageNumber(s.shown));
        if (elliptic) {
            damped.Add(PageNumber(s.damped));
            entry.Add(s.entry);
        }
    }
    JsonValue gauge = {{"elliptic", elliptic},    {"subject", gauges_[g].subject},
                       {"unit", gauges_[g].unit}, {"value", value.Finish()},
                       {"angle", angle.Finish()}, {"shown", shown.Finish()},
                       {"mode", mode.Finish()}};
    if (elliptic) {
        gauge["damped"] = damped.Finish();
        gauge["entry"] = entry.Finish();
    }
    return gauge;
}

JsonValue DialRecorder::PanelJson(std::size_t column) const {
    RunArray values;
    for (std::size_t f = 0; f < times_.size(); ++f) {
        values.Add(panel_[f * columns_.size() + column]);
    }
    return values.Finish();
}

std::string DialRecorder::Json(const nlohmann::ordered_json& more) const {
    // Every other series is built on a second thread: a long run's page holds hundreds of
    // thousands of numbers, and the studio waits for them after every edit.
    std::vector<JsonValue> gauges(gauges_.size());
    std::vector<JsonValue> panel(columns_.size());
    const auto build = [&](std::size_t parity) {
        for (std::size_t g = parity; g < gauges.size(); g += 2) {
            gauges[g] = GaugeJson(g);
        }
        for (std::size_t c = parity; c < panel.size(); c += 2) {
            panel[c] = PanelJson(c);
        }
    };
    std::future<void> odd = std::async(std::launch::async, build, 1);
    build(0);
    odd.get();

    JsonValue json;
    json["framesSeen"] = seen_;
    json["stride"] = stride_;
    RunArray times;
    for (int64_t t : times_) {
        times.Add(t);
    }
    json["t"] = times.Finish();
    json["gauges"] = JsonValue::array();
    for (JsonValue& gauge : gauges) {
        json["gauges"].push_back(std::move(gauge));
    }
    json["panel"] = JsonValue::object();
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        json["panel"][std::to_string(columns_[c])] = std::move(panel[c]);
    }
    json["events"] = JsonValue::array();
    for (const DialEvent& e : events_) {
        JsonValue event = {{"t", e.timeMilliseconds},
                           {"keys", e.keys},
                           {"initialize", e.initialize},
                           {"copied", e.copied}};
        if (!e.jump.empty()) {
            event["jump"] = e.jump;
        }
        json["events"].push_back(std::move(event));
    }
    json["eventsDropped"] = eventsDropped_;
    json["needleOffset"] = kNeedleOffsetDegrees;
    for (const auto& [name, value] : more.items()) {
        json[name] = value;
    }
    // The JSON sits inside a <script> element, which "</script" would end: '<' occurs only
    // inside strings, where \u003c is the same character.
    const std::string text = json.dump(-1, ' ', false, JsonValue::error_handler_t::replace);
    std::string safe;
    safe.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', from)) {
        safe.append(text, from, at - from).append("\\u003c");
        from = at + 1;
    }
    return safe.append(text, from, std::string::npos);
}

} // namespace mirevane::tool
