// The dial page: one self-contained HTML file that shows every gauge's needle on its dial
// through a run, with a time slider, the run's key presses and copies, and the trace plots
// with a cursor that follows the slider; where the cab's panel file is known, first the cab
// as the host draws it, every needle on its own picture. It fetches nothing: a
// Content-Security-Policy forbids every request, and script, style, plots and pictures are
// all inside the file.
#pragma once

#include "common/frame_consumer.h"
#include "common/output_file.h"
#include "dial/angle_convention.h"
#include "dial/cab_view.h"
#include "dial/geometry.h"
#include "dial/recorder.h"
#include "dial/svg.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mirevane::tool {

class SvgPlotWriter;

// What --html, --dial and --angles ask for.
struct DialPageRequest {
    std::string path;               // empty: no page
    std::vector<std::string> faces; // GAUGE=image.png,cx,cy,r
    std::string angles = AngleConvention::kDefault;
    std::string panel; // the cab's panel file (ChoosePanel); empty: none
};

// What the page shows besides the run.
struct DialPageContent {
    std::string title;
    std::vector<std::string> gaugeTitles; // one per gauge
    AngleConvention convention;
    std::string conventionName;        // as the user gave it, for the page to say
    std::map<int32_t, DialFace> faces; // gauge number -> picture of its dial
    // The cab as the host draws it; nullptr without a panel. Shared: read once, shown by
    // every run.
    std::shared_ptr<const CabScene> cab;
};

// The convention, the dial pictures and the cab's panel, read before the run so that a
// mistake costs no time. Throws InputError.
DialPageContent ReadDialPageRequest(const DialPageRequest& request);

// The page's parts that a run changes, for a page that shows a new run in place and redraws
// only the gauges whose pieces changed (the studio).
struct DialPageParts {
    std::string note;               // the text under the title, plain
    std::vector<std::string> dials; // a figure per gauge, or the one paragraph saying none
    // The cab's figure (CabSvg): the same for every run of one panel; empty without one.
    std::string cab;
    // The recorded frames, JSON; with a panel, "cab" holds each needle's motion (MoveCab) in
    // the order of the cab's figure.
    std::string data;
};

// The plots as the page embeds them: the inline SVG's start, a group per gauge, its end.
struct DialPagePlots {
    std::string head;
    std::vector<std::string> gauges;
    std::string tail;
};

// The page as one more consumer of the run's frames: the dials are drawn at Begin from the
// gauge set as Load built it, the frames go to a DialRecorder as they come, and End makes the
// page's parts. The page embeds the picture `plot` made: a page written at End needs `plot`
// to end first; one that is only asked for (the studio) may end beside it.
class DialPageWriter : public FrameConsumer {
public:
    // out: where End writes the page; nullptr when it is only asked for.
    DialPageWriter(OutputFile* out, DialPageContent content, const SvgPlotWriter& plot);

    void Begin(const RunHeader& run) override;
    void Take(const FrameRecord& frame) override { recorder_.Take(frame); }
    void End() override;

    // After End, and the plot's: the page, its parts and its plots.
    std::string Html() const;
    const DialPageParts& parts() const noexcept { return parts_; }
    DialPagePlots Plots() const;

private:
    OutputFile* out_;
    DialPageContent content_;
    const SvgPlotWriter& plot_;
    std::vector<DialGeometry> dials_;
    bool damped_ = false; // an oval gauge whose needle is damped
    DialRecorder recorder_;
    DialPageParts parts_;
};

} // namespace mirevane::tool
