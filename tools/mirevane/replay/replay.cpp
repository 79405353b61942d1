#include "replay/replay.h"

#include "dynamics/angle_units.h"

#include "common/gauge_description.h"
#include "common/gauge_entries.h"
#include "gauges/vehicle_quantity.h"
#include "platform/platform.h"
#include "plugin/plugin.h"

#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace mirevane::tool {
namespace {

// Put on the clipboard before a press of the copy key: a copy replaces it, and no number the
// copy action formats can look like it.
constexpr const char* kNoCopyMarker = "\x01mirevane: no copy\x01";

AtsVehicleState StateOf(const Frame& frame) {
    AtsVehicleState state{};
    state.location = frame.location;
    state.speed = static_cast<float>(frame.speed);
    state.time = frame.time;
    state.bc = static_cast<float>(frame.bc);
    state.mr = static_cast<float>(frame.mr);
    state.er = static_cast<float>(frame.er);
    state.bp = static_cast<float>(frame.bp);
    state.sap = static_cast<float>(frame.sap);
    state.current = static_cast<float>(frame.current);
    return state;
}

// The key presses of one frame; returns the text a copy left on the clipboard, or "".
// Only a press of the copy key can copy, so the clipboard is touched only around those,
// and given back its earlier text when no copy came.
std::string PressKeys(Plugin& plugin, const std::vector<int32_t>& keys) {
    const int32_t copyKey = plugin.gaugeSet().keyBindings()[kCopyValueToClipboard];
    bool watching = false;
    std::string earlier;
    for (int32_t key : keys) {
        if (key == copyKey && !watching) {
            earlier = platform::ClipboardText();
            platform::CopyTextToClipboard(kNoCopyMarker);
            watching = true;
        }
        plugin.KeyDown(key);
    }
    if (!watching) {
        return "";
    }
    const std::string now = platform::ClipboardText();
    if (now == kNoCopyMarker) {
        platform::CopyTextToClipboard(earlier.c_str());
        return "";
    }
    return now;
}

using HostArray = std::array<int32_t, kHostArrayLast + 1>;

RunHeader HeaderOf(const CMirevane& gauges, const Scenario& scenario, bool observe) {
    RunHeader run;
    run.observed = observe;
    run.panelColumns = EntriesWritten(gauges);
    run.firstAxis = scenario.firstAxis();
    run.lastAxis = scenario.lastAxis();
    run.axisIsHostTime = scenario.axisIsHostTime();
    run.frameCount = scenario.frameCount();
    run.gaugeSet = &gauges;
    for (const VehicleQuantityRow& quantity : kVehicleQuantities) {
        if (scenario.Sets(quantity.field)) {
            run.quantities.emplace_back(quantity.keyword);
        }
    }
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        run.gauges.push_back({DescribeGauge(gauges, g), gauges.scales()[g]});
    }
    return run;
}

// What the host does before Elapse: Initialize, the handles, the array entries it sets.
void HandOverInputs(Plugin& plugin, const Frame& frame, HostArray& panel, HostArray& sound) {
    if (frame.initialize) {
        plugin.Initialize();
    }
    if (frame.brake) {
        plugin.SetBrake(*frame.brake);
    }
    if (frame.power) {
        plugin.SetPower(*frame.power);
    }
    if (frame.reverser) {
        plugin.SetReverser(*frame.reverser);
    }
    for (const auto& [entry, value] : frame.panel) {
        panel[entry] = value;
    }
    for (const auto& [entry, value] : frame.sound) {
        sound[entry] = value;
    }
}

// Elapse with every gauge's stages written into samples, one per gauge.
void ElapseObserving(Plugin& plugin, const AtsVehicleState& state, HostArray& panel,
                     const HostArray& sound, std::vector<GaugeSample>& samples) {
    const CMirevane& gauges = plugin.gaugeSet();
    plugin.gaugeSet().ElapseObserved(
        state, panel.data(), sound.data(),
        [&](int32_t g, double value, double vibrated, double angle) noexcept {
            GaugeSample& s = samples[g];
            s.value = value;
            s.vibrated = vibrated;
            s.angle = angle;
            s.shown = angle;
            s.mode = gauges.scales()[g].mode();
            if (!gauges.isElliptic()[g]) {
                return;
            }
            const CEllipseGauge& ellipse = gauges.ellipses()[g];
            // The damping holds radians and passes the angle through when it is off.
            s.damped = ellipse.damping().naturalFrequency() > 0.0
                           ? ellipse.damping().output() * kDegreesPerRadian
                           : angle;
            s.entry = ellipse.previousEntry();
            s.shown = IsHostArrayIndex(s.entry)
                          ? panel[static_cast<std::size_t>(s.entry)] / kPanelUnitsPerDegree
                          : std::numeric_limits<double>::quiet_NaN();
        });
}

} // namespace

int Replay(const std::string& pluginPath, Scenario& scenario, bool observe,
           const std::vector<FrameConsumer*>& consumers) {
    // As the host does: the library's path at attach, then Load before the first frame.
    auto plugin = std::make_unique<Plugin>();
    plugin->SetModulePath(pluginPath.c_str(), static_cast<int>(pluginPath.size()));
    plugin->Load();
    const CMirevane& gauges = plugin->gaugeSet();

    const RunHeader run = HeaderOf(gauges, scenario, observe);
    for (FrameConsumer* consumer : consumers) {
        consumer->Begin(run);
    }

    std::vector<GaugeSample> samples(observe ? run.gauges.size() : 0);
    std::vector<int32_t> panelRow(run.panelColumns.size());
    HostArray panel{};
    HostArray sound{};
    Frame frame;
    scenario.Rewind();
    for (std::size_t f = 0; scenario.Next(frame); ++f) {
        HandOverInputs(*plugin, frame, panel, sound);
        const std::string clipboard = PressKeys(*plugin, frame.keys);
        const AtsVehicleState state = StateOf(frame);
        if (observe) {
            ElapseObserving(*plugin, state, panel, sound, samples);
        } else {
            plugin->Elapse(state, panel.data(), sound.data());
        }
        for (std::size_t c = 0; c < panelRow.size(); ++c) {
            panelRow[c] = panel[static_cast<std::size_t>(run.panelColumns[c])];
        }
        FrameRecord record;
        record.index = f;
        record.time = frame.time;
        record.axis = frame.axis;
        record.jumpedBack = frame.jumpedBack;
        record.timeBefore = frame.timeBefore;
        record.panel = panelRow.data();
        record.state = state;
        record.clipboard = clipboard;
        record.keys = &frame.keys;
        record.initialize = frame.initialize;
        record.samples = observe ? samples.data() : nullptr;
        for (FrameConsumer* consumer : consumers) {
            consumer->Take(record);
        }
    }
    for (FrameConsumer* consumer : consumers) {
        consumer->End();
    }
    return gauges.gaugeCount();
}

} // namespace mirevane::tool
