// The dial page: one self-contained HTML file that shows every gauge's needle on its dial
// through a run, with a time slider, the run's key presses and copies, and the trace plots
// with a cursor that follows the slider. It fetches nothing: a Content-Security-Policy
// forbids every request, and script, style, plots and pictures are all inside the file.
#pragma once

#include "angle_convention.h"
#include "dial_recorder.h"
#include "dial_svg.h"
#include "replay.h"
#include "scenario.h"

#include <map>
#include <string>
#include <vector>

namespace mirevane {
class CMirevane;
}

namespace mirevane::tool {

struct DialPageContent {
    std::string title;
    std::vector<std::string> gaugeTitles; // one per gauge
    std::string plotSvg;                  // the trace plots, as PlotSvg writes them
    AngleConvention convention;
    std::string conventionName;        // as the user gave it, for the page to say
    std::map<int32_t, DialFace> faces; // gauge number -> picture of its dial
};

// What --html, --dial and --angles ask for.
struct DialPageRequest {
    std::string path;
    std::vector<std::string> faces; // GAUGE=image.png,cx,cy,r
    std::string angles = AngleConvention::kDefault;
};

// The convention and the dial pictures, read before the run so that a mistake costs no
// time. Throws InputError.
DialPageContent ReadDialPageRequest(const DialPageRequest& request);

// The page of a run held whole in a Trace (observed): the dials drawn from the gauge set as
// Load builds it from pluginPath, the frames handed to the page's recorder one by one.
std::string DialPageOfTrace(const std::string& pluginPath, const std::vector<Frame>& frames,
                            const Trace& trace, const DialPageContent& content);

// gauges: the gauge set as Load built it, for the dials; data: the run.
std::string DialPageHtml(const CMirevane& gauges, const DialRecorder& data,
                         const DialPageContent& content);

} // namespace mirevane::tool
