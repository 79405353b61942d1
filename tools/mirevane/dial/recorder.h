// The dial page's data, gathered one frame at a time as a run produces it. It keeps at most
// a fixed number of frames, evenly spaced: whenever the budget is full every other frame is
// dropped and from then on only every second one is taken, so memory stays bounded however
// long the run and the frames kept are always every stride-th one, plus the latest.
#pragma once

#include "common/frame_consumer.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mirevane::tool {

// A key press, an Initialize, a copy or the host time going back: shown on the page's time
// line.
struct DialEvent {
    int64_t timeMilliseconds = 0; // on the run's time axis
    std::string keys;             // the key names pressed before the frame, blank-separated
    bool initialize = false;
    std::string copied; // what a copy put on the clipboard in this frame
    std::string jump;   // "host time 5 s → 4.6 s" when the time went back
};

class DialRecorder : public FrameConsumer {
public:
    static constexpr std::size_t kDefaultFrameBudget = 5000;
    static constexpr std::size_t kEventBudget = 2000;

    // frameBudget: at least 2.
    explicit DialRecorder(std::size_t frameBudget = kDefaultFrameBudget);

    // The gauges, the panel columns and the vehicle quantities whose values the frames carry.
    void Begin(const RunHeader& run) override;
    // One observed frame (with a sample per gauge).
    void Take(const FrameRecord& frame) override;
    void End() override {}

    std::size_t framesSeen() const noexcept { return seen_; }
    std::size_t framesKept() const noexcept { return times_.size(); }
    std::size_t stride() const noexcept { return stride_; }
    const std::vector<int64_t>& times() const noexcept { return times_; } // the run's axis
    const std::vector<DialEvent>& events() const noexcept { return events_; }
    std::size_t eventsDropped() const noexcept { return eventsDropped_; }
    const std::vector<GaugeInfo>& gauges() const noexcept { return gauges_; }
    // The panel entries kept per frame, and the value of the column'th of them in a kept frame.
    const std::vector<int32_t>& panelColumns() const noexcept { return columns_; }
    int32_t PanelValue(std::size_t frame, std::size_t column) const noexcept {
        return panel_[frame * columns_.size() + column];
    }
    // The vehicle quantities the scenario sets (RunHeader), and each kept frame's state.
    const std::vector<std::string>& quantities() const noexcept { return quantities_; }
    const std::vector<AtsVehicleState>& states() const noexcept { return states_; }
    // The smallest and largest finite value each gauge read over all frames seen.
    const std::vector<double>& lowestValues() const noexcept { return lowest_; }
    const std::vector<double>& highestValues() const noexcept { return highest_; }

    // Everything kept, as one JSON object for the page's script (format in the .cpp), with
    // the members of `more` (an object) after its own.
    std::string Json(const nlohmann::ordered_json& more = nlohmann::ordered_json::object()) const;

private:
    // One gauge's series and one panel column's, as JSON (format in the .cpp).
    nlohmann::ordered_json GaugeJson(std::size_t g) const;
    nlohmann::ordered_json PanelJson(std::size_t column) const;
    void Append(const FrameRecord& frame);
    void DropEveryOther();
    void DropLast();

    std::vector<GaugeInfo> gauges_;
    std::vector<int32_t> columns_;
    std::vector<std::string> quantities_;
    std::size_t budget_;
    std::size_t seen_ = 0;
    std::size_t stride_ = 1;
    bool lastIsExtra_ = false; // the latest frame is kept though it is off the stride
    // Frame-major, one entry per gauge or per column of each kept frame.
    std::vector<int64_t> times_;
    std::vector<GaugeSample> samples_;
    std::vector<int32_t> panel_;
    std::vector<AtsVehicleState> states_;
    std::vector<double> lowest_;
    std::vector<double> highest_;
    std::vector<DialEvent> events_;
    std::size_t eventsDropped_ = 0;
};

} // namespace mirevane::tool
