// The frames of a scenario, made one at a time from its rows: a frame per row, or with --fps
// frames at a fixed rate over each run of rows between two jumps back of the time.
#include "replay/scenario.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace mirevane::tool {

// The frames --fps makes over a run of rows from `start` to `end` (ms on the time axis): every
// step, in whole milliseconds (two steps in one millisecond make one frame), and `end` itself
// closing the run when it falls between two steps: what NextGenerated makes.
std::size_t Scenario::FramesOver(int64_t start, int64_t end, double step) {
    std::size_t count = 0;
    int64_t given = start;
    for (std::size_t k = 0;; ++k) {
        const int64_t t = start + std::llround(static_cast<double>(k) * step);
        if (t > end) {
            break;
        }
        if (count == 0 || t > given) {
            ++count;
            given = t;
        }
    }
    return given == end ? count : count + 1;
}

bool Scenario::Sets(float AtsVehicleState::*field) const noexcept {
    return std::any_of(columns_.begin(), columns_.end(),
                       [field](const Column& c) { return c.definition->field == field; });
}

void Scenario::Rewind() noexcept {
    next_ = 0;
    rowRead_ = 0;
    lines_.reset();
    hasFollowing_ = false;
    step_ = 0;
    lastAxisGiven_ = 0;
    segmentStarted_ = false;
    segmentClosed_ = false;
    done_ = false;
}

// Values of one frame, before the location is known.
void Scenario::Fill(const std::vector<double>& values, const std::vector<bool>* given,
                    Frame& frame) const {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const double v = values[c];
        const bool set = given == nullptr || (*given)[c];
        // Integer columns hold whole numbers in a row; between key frames they are rounded.
        const auto integer = [v] { return static_cast<int32_t>(std::llround(v)); };
        switch (columns_[c].definition->kind) {
        case ColumnKind::kTime:
            frame.time = integer();
            break;
        case ColumnKind::kLocation:
            frame.location = v;
            break;
        case ColumnKind::kSpeed:
            frame.speed = v;
            break;
        case ColumnKind::kBc:
            frame.bc = v;
            break;
        case ColumnKind::kMr:
            frame.mr = v;
            break;
        case ColumnKind::kEr:
            frame.er = v;
            break;
        case ColumnKind::kBp:
            frame.bp = v;
            break;
        case ColumnKind::kSap:
            frame.sap = v;
            break;
        case ColumnKind::kCurrent:
            frame.current = v;
            break;
        case ColumnKind::kBrake:
            if (set) {
                frame.brake = integer();
            }
            break;
        case ColumnKind::kPower:
            if (set) {
                frame.power = integer();
            }
            break;
        case ColumnKind::kReverser:
            if (set) {
                frame.reverser = integer();
            }
            break;
        case ColumnKind::kPanel:
            frame.panel.emplace_back(columns_[c].entry, integer());
            break;
        case ColumnKind::kSound:
            frame.sound.emplace_back(columns_[c].entry, integer());
            break;
        case ColumnKind::kKeys:
        case ColumnKind::kInitialize:
            break;
        }
    }
}

bool Scenario::Next(Frame& frame) {
    // A fresh frame that keeps the storage of its lists.
    std::vector<int32_t> keys = std::move(frame.keys);
    std::vector<std::pair<int32_t, int32_t>> panel = std::move(frame.panel);
    std::vector<std::pair<int32_t, int32_t>> sound = std::move(frame.sound);
    keys.clear();
    panel.clear();
    sound.clear();
    frame = Frame{};
    frame.keys = std::move(keys);
    frame.panel = std::move(panel);
    frame.sound = std::move(sound);

    const bool first = next_ == 0;
    if (!stepMs_) {
        if (!NextRow(current_)) {
            return false;
        }
        Fill(current_.values, &current_.given, frame);
        frame.axis = current_.axis;
        frame.keys.insert(frame.keys.end(), current_.keys.begin(), current_.keys.end());
        frame.initialize = current_.initialize;
    } else if (!NextGenerated(frame)) {
        return false;
    }
    ++next_;
    frame.jumpedBack = !first && HostStep(previousTime_, frame.time) < 0;
    frame.timeBefore = first ? frame.time : previousTime_;
    // Without a location column the train moves at the previous frame's speed, for as long as
    // the time axis moved on.
    if (!hasLocation_ && !first) {
        const double stepSeconds = static_cast<double>(frame.axis - previousAxis_) / 1000.0;
        frame.location = previousLocation_ + previousSpeed_ / 3.6 * stepSeconds;
    }
    previousLocation_ = frame.location;
    previousSpeed_ = frame.speed;
    previousTime_ = frame.time;
    previousAxis_ = frame.axis;
    return true;
}

bool Scenario::NextGenerated(Frame& frame) {
    // Events fire once, at the first frame made at or after their row's time: a run's first
    // row's at its first frame, every later row's as the frames pass it.
    const auto fire = [&frame](const Row& row) {
        frame.keys.insert(frame.keys.end(), row.keys.begin(), row.keys.end());
        frame.initialize = frame.initialize || row.initialize;
    };
    if (next_ == 0) {
        if (!NextRow(current_)) {
            return false;
        }
        fire(current_);
        hasFollowing_ = NextRow(following_);
        segmentStart_ = current_.axis;
    }
    int64_t t = 0;
    for (;;) {
        if (done_) {
            return false;
        }
        if (segmentClosed_) {
            // The run of rows ended where the time jumps back: frames go on from the row it
            // jumps to, none made across the jump.
            if (!hasFollowing_) {
                done_ = true;
                return false;
            }
            std::swap(current_, following_);
            fire(current_);
            hasFollowing_ = NextRow(following_);
            segmentStart_ = current_.axis;
            step_ = 0;
            segmentStarted_ = false;
            segmentClosed_ = false;
        }
        t = segmentStart_ + std::llround(static_cast<double>(step_) * *stepMs_);
        while (hasFollowing_ && !following_.jumpedBack && following_.axis <= t) {
            std::swap(current_, following_);
            fire(current_);
            hasFollowing_ = NextRow(following_);
        }
        const bool lastOfRun = !hasFollowing_ || following_.jumpedBack;
        if (lastOfRun && t > current_.axis) {
            segmentClosed_ = true;
            if (segmentStarted_ && lastAxisGiven_ == current_.axis) {
                continue; // a step fell on the run's last row
            }
            t = current_.axis;
            break;
        }
        ++step_;
        if (!segmentStarted_ || t > lastAxisGiven_) {
            break;
        }
    }
    segmentStarted_ = true;
    lastAxisGiven_ = t;
    const Row& a = current_;
    if (hasFollowing_ && !following_.jumpedBack) {
        const Row& b = following_;
        const double fraction =
            static_cast<double>(t - a.axis) / static_cast<double>(b.axis - a.axis);
        values_.resize(a.values.size());
        for (std::size_t c = 0; c < values_.size(); ++c) {
            values_[c] = a.values[c] + (b.values[c] - a.values[c]) * fraction;
        }
    } else {
        values_ = a.values;
    }
    // The host time of the frame: the row's, on by the steps since, in 32-bit arithmetic.
    const auto time =
        static_cast<int32_t>(static_cast<uint32_t>(TimeOf(a)) + static_cast<uint32_t>(t - a.axis));
    values_[static_cast<std::size_t>(timeColumn_)] = time;
    Fill(values_, nullptr, frame);
    frame.axis = t;
    return true;
}

} // namespace mirevane::tool
