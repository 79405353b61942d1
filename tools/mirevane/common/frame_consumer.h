// The frames of a run as a stream: the replay hands every frame, as it leaves Elapse, to each
// consumer in turn (the trace CSV, the SVG plot, a dial page, a progress line), and keeps
// none of them. A consumer keeps what it needs, so a run of any length costs what its
// consumers hold, not what its frames weigh.
#pragma once

#include "common/gauge_description.h"
#include "dynamics/needle_scale.h"
#include "plugin/host_records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirevane {
class CMirevane;
}

namespace mirevane::tool {

struct GaugeInfo : GaugeDescription {
    NeedleScale scale; // as loaded: its calibration table, before any key press
};

// What a run is about, known before its first frame.
struct RunHeader {
    std::vector<GaugeInfo> gauges;
    std::vector<int32_t> panelColumns; // entries some gauge can write, ascending
    // The vehicle quantities the scenario sets, by their subject keywords ("kmph", "bc"), in
    // the order of the quantity table; the others stay 0 in every frame's state.
    std::vector<std::string> quantities;
    // The run's time axis, ms, at the first and the last frame: the host time of the first
    // frame plus every step since as the damping takes it, a jump back counting none.
    int64_t firstAxis = 0;
    int64_t lastAxis = 0;
    bool axisIsHostTime = true; // no jump back and no wrap: every frame's axis is its time
    std::size_t frameCount = 0;
    bool observed = false; // frames carry every gauge's stages
    // The gauge set as Load built it, before any frame changed it; valid during Begin only.
    const CMirevane* gaugeSet = nullptr;
};

// What one gauge did in one frame, seen through the observed Elapse.
struct GaugeSample {
    double value = 0.0;    // the subject's value
    double vibrated = 0.0; // after the tremble
    double angle = 0.0;    // the scale's output, degrees (180 added)
    double damped = 0.0;   // elliptic: the damped angle, degrees
    double shown = 0.0;    // the angle the cab shows: the needle's, or the selected image's
    int32_t entry = -1;    // elliptic: the selected panel entry
    AdjustMode mode = AdjustMode::None; // after the frame's key presses
};

// One frame after Elapse. Everything it points to is valid only during Take.
struct FrameRecord {
    std::size_t index = 0;          // 0-based frame number
    int32_t time = 0;               // host ms, as sent
    int64_t axis = 0;               // the run's time axis, ms (RunHeader)
    bool jumpedBack = false;        // the host time went back from the frame before's,
    int32_t timeBefore = 0;         // which was this
    const int32_t* panel = nullptr; // one value per panel column
    AtsVehicleState state{};        // as handed to Elapse
    std::string_view clipboard;     // what a copy put on the clipboard in this frame, or ""
    const std::vector<int32_t>* keys = nullptr; // host keys pressed before Elapse
    bool initialize = false;                    // Initialize ran before this frame
    const GaugeSample* samples = nullptr;       // one per gauge when observed, else nullptr
};

class FrameConsumer {
public:
    virtual ~FrameConsumer() = default;
    virtual void Begin(const RunHeader& run) = 0;
    virtual void Take(const FrameRecord& frame) = 0;
    // After the last frame; a consumer that writes finishes its output here.
    virtual void End() = 0;
};

} // namespace mirevane::tool
