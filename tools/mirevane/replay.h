// Runs a scenario through the plug-in the way a host does: the library path, Load once, then
// per frame Initialize, the handles, the host's array entries, key presses and Elapse.
#pragma once

#include "scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mirevane::tool {

// What one gauge did in one frame, seen through the observed Elapse.
struct GaugeSample {
    double value = 0.0;    // the subject's value
    double vibrated = 0.0; // after the tremble
    double angle = 0.0;    // the scale's output, degrees (180 added)
    double damped = 0.0;   // elliptic: the damped angle, degrees
    double shown = 0.0;    // the angle the cab shows: the needle's, or the selected image's
    int32_t entry = -1;    // elliptic: the selected panel entry
};

struct GaugeInfo {
    bool elliptic = false;
    std::string subject;          // what it reads, as SubjectName gives it
    std::string subjectMeaning;   // and in words
    std::string unit;             // of the subject's values; empty for array entries
    std::vector<int32_t> entries; // the panel entries it can write
};

struct Trace {
    std::vector<GaugeInfo> gauges;
    std::vector<int32_t> panelColumns; // entries some gauge can write, ascending
    std::vector<int32_t> times;
    std::vector<int32_t> panelValues;   // frame-major, one per panel column
    std::vector<std::string> clipboard; // per frame: the text copied during its key presses
    bool observed = false;
    std::vector<GaugeSample> samples; // frame-major, one per gauge, when observed
    bool loaded = false;              // a main profile was found
};

// pluginPath: the library or its main profile, as the host would pass the library's path.
// observe: record every gauge's stages (for --detail and --plot).
Trace Replay(const std::string& pluginPath, const std::vector<Frame>& frames, bool observe);

} // namespace mirevane::tool
