// The run as a picture: per gauge a chart of the needle angle the cab shows over time, with
// the gauge's source value on a second axis, key presses, adjust-mode switches, copies and,
// for an oval gauge, the needle image selected; beside it the gauge's calibration table.
// Frames are reduced per pixel column as they come, so the picture and the memory it takes
// stay the same size however long the run.
#pragma once

#include "common/frame_consumer.h"
#include "common/key_label.h"
#include "common/output_file.h"
#include "plot/column_decimator.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace mirevane::tool {

class Svg;

// The picture in pieces: the document's start (with the title), one chart per gauge, and its
// end; the file is their concatenation.
struct SvgPlotParts {
    std::string head;
    std::vector<std::string> charts;
    std::string tail;
};

class SvgPlotWriter : public FrameConsumer {
public:
    // title: one line above all charts; gaugeTitles: one per gauge (its file and what it
    // drives); keyLabels: the bound host keys by number. out: where End writes the picture;
    // nullptr when only parts() are wanted (for a page that embeds them).
    SvgPlotWriter(OutputFile* out, std::string title, std::vector<std::string> gaugeTitles,
                  std::map<int32_t, KeyLabel> keyLabels);

    void Begin(const RunHeader& run) override;
    void Take(const FrameRecord& frame) override;
    void End() override;

    // The picture End made.
    const SvgPlotParts& parts() const noexcept { return parts_; }

private:
    // Something that happened at one moment, kept once per pixel column.
    struct Mark {
        std::size_t column;
        int64_t time; // on the run's time axis
        std::string text;
        int count;
        // Key presses: the short label ("C1×20", "B1 A1×3"), and the one key of a
        // run of frames that pressed only it (-1: several keys), with its presses so far.
        std::string label;
        int32_t key = -1;
        int presses = 0;
        int64_t lastTime = 0; // of the run's latest press
    };
    struct GaugeSeries {
        ColumnDecimator value;
        ColumnDecimator input; // elliptic: the scale's output before damping
        ColumnDecimator shown;
        ColumnDecimator entry; // elliptic: the selected image's panel entry
        std::vector<Mark> modes;
        AdjustMode mode = AdjustMode::None;
    };

    struct ChartArea;

    std::size_t ColumnOf(int64_t time) const noexcept;
    void TakeKeys(const std::vector<int32_t>& keys, std::size_t column, int64_t axis);
    // Gauge g's chart, its steps in the order they are drawn.
    void Chart(std::string& svg, double top, std::size_t g) const;
    ChartArea AreaOf(double top, std::size_t g) const;
    void Axes(Svg& svg, const ChartArea& area, const GaugeInfo& gauge) const;
    void Events(Svg& svg, const ChartArea& area, const GaugeSeries& series) const;
    void KeyNames(Svg& svg, const ChartArea& area) const;
    void Legend(Svg& svg, const ChartArea& area, double top, std::size_t g) const;
    void ImageStrip(Svg& svg, const ChartArea& area, const GaugeSeries& series) const;
    static void AddMark(std::vector<Mark>& marks, std::size_t column, int64_t time,
                        std::string_view text);

    OutputFile* out_;
    std::string title_;
    std::vector<std::string> gaugeTitles_;
    std::map<int32_t, KeyLabel> keyLabels_;
    RunHeader run_;
    double t0_ = 0.0; // the time axis, seconds
    double t1_ = 1.0;
    double tStep_ = 1.0;
    std::vector<GaugeSeries> series_;
    std::vector<Mark> copies_;
    std::vector<Mark> jumps_; // the host time going back
    std::vector<Mark> keys_;
    std::string keyText_;
    SvgPlotParts parts_;
};

} // namespace mirevane::tool
