#include "plot/svg_plot.h"

#include "common/number_text.h"
#include "plot/svg_document.h"
#include "plot/table_curve.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kWidth = 960;      // the time charts
constexpr double kTableWidth = 330; // the calibration table beside each
constexpr double kPageWidth = kWidth + kTableWidth;
constexpr double kPageTop = 44; // the document title
constexpr double kChartHeight = 300;
constexpr double kStripHeight = 44; // an oval gauge's selected image, below its chart
constexpr double kLeft = 74;        // room for the angle ticks and axis title
constexpr double kRight = 84;       // room for the value ticks and axis title
constexpr double kTop = 50;         // chart title and legend
constexpr double kBottom = 46;      // time ticks and axis title
constexpr double kPlotLeft = kLeft;
constexpr double kPlotRight = kWidth - kRight;
// One decimation column per pixel of the plotting area.
constexpr auto kColumns = static_cast<std::size_t>(kPlotRight - kPlotLeft);
constexpr const char* kFont = "DejaVu Sans, Helvetica, Arial, sans-serif";
constexpr const char* kNeedleColour = "#1f5fa8";
constexpr const char* kInputColour = "#8a8a8a";
constexpr const char* kValueColour = "#d9791a";
constexpr const char* kCopyColour = "#8e3ea8";
constexpr const char* kJumpColour = "#b0122c";
constexpr const char* kKeyColour = "#2e7d32";
constexpr const char* kModeColour = "#00838f";
constexpr const char* kEntryColour = "#6d4c41";
constexpr Stroke kValueStroke{kValueColour, 1.2};
constexpr Stroke kInputStroke{kInputColour, 1.4, "5,4"}; // elliptic: before damping
constexpr Stroke kShownStroke{kNeedleColour, 2.2};

const char* ModeName(AdjustMode mode) {
    switch (mode) {
    case AdjustMode::Value:
        return "fixed value";
    case AdjustMode::Angle:
        return "fixed angle";
    case AdjustMode::Rotate:
        return "rotating";
    case AdjustMode::None:
        break;
    }
    return "adjust off";
}

double ChartHeight(const GaugeInfo& gauge) {
    return kChartHeight + (gauge.elliptic ? kStripHeight : 0.0);
}

} // namespace

SvgPlotWriter::SvgPlotWriter(OutputFile* out, std::string title,
                             std::vector<std::string> gaugeTitles,
                             std::map<int32_t, KeyLabel> keyLabels)
    : out_(out), title_(std::move(title)), gaugeTitles_(std::move(gaugeTitles)),
      keyLabels_(std::move(keyLabels)) {}

void SvgPlotWriter::Begin(const RunHeader& run) {
    run_ = run;
    const Axis time = NiceAxis(static_cast<double>(run.firstAxis) / 1000.0,
                               static_cast<double>(run.lastAxis) / 1000.0, 10);
    t0_ = time.min;
    t1_ = time.max;
    tStep_ = time.step;
    series_.clear();
    for (std::size_t g = 0; g < run.gauges.size(); ++g) {
        series_.push_back({ColumnDecimator(kColumns),
                           ColumnDecimator(kColumns),
                           ColumnDecimator(kColumns),
                           ColumnDecimator(kColumns),
                           {},
                           AdjustMode::None});
    }
}

std::size_t SvgPlotWriter::ColumnOf(int64_t time) const noexcept {
    const double at =
        (static_cast<double>(time) / 1000.0 - t0_) / (t1_ - t0_) * static_cast<double>(kColumns);
    return static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(kColumns - 1)));
}

void SvgPlotWriter::AddMark(std::vector<Mark>& marks, std::size_t column, int64_t time,
                            std::string_view text) {
    if (!marks.empty() && marks.back().column == column) {
        ++marks.back().count;
        return;
    }
    Mark mark;
    mark.column = column;
    mark.time = time;
    mark.text = std::string(text);
    mark.count = 1;
    mark.lastTime = time;
    marks.push_back(std::move(mark));
}

// The keys one frame pressed, as a mark of their own or as more presses of the run before.
void SvgPlotWriter::TakeKeys(const std::vector<int32_t>& keys, std::size_t column, int64_t axis) {
    // Repeated presses of one key as one word.
    keyText_.clear();
    std::string label;
    const bool oneKey =
        std::all_of(keys.begin(), keys.end(), [&](int32_t k) { return k == keys.front(); });
    for (std::size_t k = 0; k < keys.size();) {
        std::size_t n = 1;
        while (k + n < keys.size() && keys[k + n] == keys[k]) {
            ++n;
        }
        // "C1×5 (AdjustIncrementLarge)": the chart shows the names, the tooltip all.
        const auto found = keyLabels_.find(keys[k]);
        const bool bound = found != keyLabels_.end();
        const std::string name = bound ? found->second.name : "key " + std::to_string(keys[k]);
        const std::string times = n > 1 ? "\u00d7" + std::to_string(n) : "";
        keyText_ += (keyText_.empty() ? "" : " ") + name + times +
                    (bound ? " (" + found->second.actions + ")" : "");
        label += (label.empty() ? "" : " ") + name + times;
        k += n;
    }
    // Frames that press only the key the last mark pressed only, each soon after the one
    // before: one run, one label.
    constexpr int64_t kRunGapMs = 500;
    if (oneKey && !keys_.empty() && keys_.back().key == keys.front() &&
        axis - keys_.back().lastTime <= kRunGapMs) {
        Mark& run = keys_.back();
        run.presses += static_cast<int>(keys.size());
        run.lastTime = axis;
        const auto found = keyLabels_.find(run.key);
        const std::string name =
            found != keyLabels_.end() ? found->second.name : "key " + std::to_string(run.key);
        run.label = name + "\u00d7" + std::to_string(run.presses);
        run.text =
            run.label + (found != keyLabels_.end() ? " (" + found->second.actions + ")" : "");
    } else {
        AddMark(keys_, column, axis, keyText_);
        keys_.back().label = keys_.back().count > 1 ? keyText_ : label;
        keys_.back().key = oneKey ? keys.front() : -1;
        keys_.back().presses = static_cast<int>(keys.size());
    }
}

void SvgPlotWriter::Take(const FrameRecord& frame) {
    const std::size_t column = ColumnOf(frame.axis);
    if (frame.jumpedBack) {
        AddMark(jumps_, column, frame.axis,
                "host time " + Shortest(frame.timeBefore / 1000.0) + " s \u2192 " +
                    Shortest(frame.time / 1000.0) + " s");
    }
    if (!frame.clipboard.empty()) {
        AddMark(copies_, column, frame.axis, frame.clipboard);
    }
    if (!frame.keys->empty()) {
        TakeKeys(*frame.keys, column, frame.axis);
    }
    if (frame.samples == nullptr) {
        return;
    }
    for (std::size_t g = 0; g < series_.size(); ++g) {
        const GaugeSample& s = frame.samples[g];
        GaugeSeries& series = series_[g];
        series.value.Add(column, frame.index, frame.axis, s.value);
        double drawn = s.shown;
        if (run_.gauges[g].elliptic) {
            series.input.Add(column, frame.index, frame.axis, s.angle);
            // The drawn angle is a direction: show the turn nearest the damped angle, so that
            // a needle resting near 180 does not jump between 180 and 540.
            drawn += 360.0 * std::round((s.damped - drawn) / 360.0);
            series.entry.Add(column, frame.index, frame.axis,
                             s.entry >= 0 ? static_cast<double>(s.entry) : std::nan(""));
        }
        series.shown.Add(column, frame.index, frame.axis, drawn);
        if (s.mode != series.mode) {
            series.mode = s.mode;
            std::vector<Mark>& modes = series.modes;
            // Several switches within one column: the mode the column ends in.
            if (!modes.empty() && modes.back().column == column) {
                modes.back().text = ModeName(s.mode);
                ++modes.back().count;
            } else {
                AddMark(modes, column, frame.axis, ModeName(s.mode));
            }
        }
    }
}

// One chart's plotting area, in pixels of the page, and its three axes.
struct SvgPlotWriter::ChartArea {
    double x0 = kPlotLeft;
    double x1 = kPlotRight;
    double y0 = 0.0;
    double y1 = 0.0;
    Axis angle;
    Axis value;
    Axis time;

    double X(int64_t timeOnAxis) const {
        return time.Map(static_cast<double>(timeOnAxis) / 1000.0, x0, x1);
    }
    std::vector<CurvePoint> Curve(const ColumnDecimator& d, const Axis& axis) const {
        std::vector<CurvePoint> points;
        for (const ColumnDecimator::Point& p : d.Points()) {
            points.emplace_back(X(p.time), axis.Map(p.value, y1, y0));
        }
        return points;
    }
};

SvgPlotWriter::ChartArea SvgPlotWriter::AreaOf(double top, std::size_t g) const {
    const GaugeSeries& series = series_[g];
    ChartArea area;
    area.y0 = top + kTop;
    area.y1 = top + kChartHeight - kBottom;
    double lo = series.shown.lo();
    double hi = series.shown.hi();
    if (run_.gauges[g].elliptic) {
        lo = std::min(lo, series.input.lo());
        hi = std::max(hi, series.input.hi());
    }
    area.angle = NiceAxis(lo, hi, 6);
    area.value = NiceAxis(series.value.lo(), series.value.hi(), 6);
    area.time.min = t0_;
    area.time.max = t1_;
    area.time.step = tStep_;
    return area;
}

// The background, the ticks of the three axes and their titles.
void SvgPlotWriter::Axes(Svg& svg, const ChartArea& a, const GaugeInfo& gauge) const {
    svg.Rect(a.x0, a.y0, a.x1 - a.x0, a.y1 - a.y0, "#fbfbfb");
    for (int i = 0; i <= a.angle.Ticks(); ++i) {
        const double v = a.angle.min + i * a.angle.step;
        const double y = a.angle.Map(v, a.y1, a.y0);
        svg.Line(a.x0, y, a.x1, y, "#e2e2e2", 1);
        svg.Line(a.x0 - 5, y, a.x0, y, "#444", 1);
        svg.Text(a.x0 - 8, y + 4, Rounded(v, 6), "end", 11);
    }
    for (int i = 0; i <= a.value.Ticks(); ++i) {
        const double w = a.value.min + i * a.value.step;
        const double y = a.value.Map(w, a.y1, a.y0);
        svg.Line(a.x1, y, a.x1 + 5, y, kValueColour, 1);
        svg.Text(a.x1 + 8, y + 4, Rounded(w, 6), "start", 11, kValueColour);
    }
    for (int i = 0; i <= a.time.Ticks(); ++i) {
        const double t = a.time.min + i * a.time.step;
        const double x = a.time.Map(t, a.x0, a.x1);
        svg.Line(x, a.y0, x, a.y1, "#ececec", 1);
        svg.Line(x, a.y1, x, a.y1 + 5, "#444", 1);
        svg.Text(x, a.y1 + 18, Rounded(t, 6), "middle", 11);
    }
    svg.Line(a.x0, a.y1, a.x1, a.y1, "#444", 1);
    svg.Line(a.x0, a.y0, a.x0, a.y1, "#444", 1);
    svg.Line(a.x1, a.y0, a.x1, a.y1, kValueColour, 1);
    svg.Text((a.x0 + a.x1) / 2, a.y1 + 38,
             run_.axisIsHostTime ? "time (s)"
                                 : "run time (s): the host's, a jump back taken as no time",
             "middle", 12);
    svg.VerticalText(a.x0 - 52, (a.y0 + a.y1) / 2, "panel angle (\u00b0) = table angle + 180", 12,
                     "#222");
    const std::string valueTitle =
        gauge.subject + (gauge.unit.empty() ? "" : " (" + gauge.unit + ")");
    svg.VerticalText(a.x1 + 62, (a.y0 + a.y1) / 2, valueTitle, 12, kValueColour);
}

// The copies, the host time's jumps back and the gauge's adjust-mode switches, where they
// happened.
void SvgPlotWriter::Events(Svg& svg, const ChartArea& a, const GaugeSeries& series) const {
    // Copies made by the developer key.
    for (const Mark& copy : copies_) {
        const double x = a.X(copy.time);
        svg.Line(x, a.y0, x, a.y1, kCopyColour, 1, "2,3");
        svg.Text(x + 4, a.y0 + 13,
                 "copied " + copy.text +
                     (copy.count > 1 ? " (+" + std::to_string(copy.count - 1) + ")" : ""),
                 "start", 11, kCopyColour);
    }
    // Where the host time went back: the run goes on, the host time from there is another.
    for (const Mark& jump : jumps_) {
        const double x = a.X(jump.time);
        svg.Line(x, a.y0, x, a.y1, kJumpColour, 1.5, "8,3,2,3");
        svg.Text(x + 4, a.y1 - 6,
                 jump.text + (jump.count > 1 ? " (+" + std::to_string(jump.count - 1) + ")" : ""),
                 "start", 10.5, kJumpColour);
    }
    // Adjust-mode switches: the mode from there on.
    double lastLabel = -1e9;
    for (const Mark& mode : series.modes) {
        const double x = a.X(mode.time);
        svg.Line(x, a.y0, x, a.y1, kModeColour, 1.2, "6,3");
        if (x - lastLabel >= 70) {
            svg.Text(x + 4, a.y0 + 27, mode.text, "start", 10.5, kModeColour);
            lastLabel = x;
        }
    }
}

// Key presses: a tick on the time axis and every run named, over the curves with a white
// outline so that no line crosses a name; a name that would touch the one before it in its
// row goes up a row.
void SvgPlotWriter::KeyNames(Svg& svg, const ChartArea& a) const {
    std::vector<double> rowEnds;
    constexpr double kCharWidth = 6.0; // 9.5 px text, roughly
    for (const Mark& key : keys_) {
        const double x = a.X(key.time);
        svg.text += "<g class=\"key\"><title>" + Escaped(key.text) + "</title>\n";
        svg.Line(x, a.y1 - 9, x, a.y1, kKeyColour, 2);
        const double half = kCharWidth * static_cast<double>(key.label.size()) / 2 + 3;
        std::size_t row = 0;
        while (row < rowEnds.size() && rowEnds[row] > x - half) {
            ++row;
        }
        if (row == rowEnds.size()) {
            rowEnds.push_back(0.0);
        }
        rowEnds[row] = x + half;
        svg.Text(x, a.y1 - 12 - 12 * static_cast<double>(row), key.label, "middle", 9.5, kKeyColour,
                 " stroke=\"#fbfbfb\" stroke-width=\"3\" paint-order=\"stroke\"");
        svg.text += "</g>\n";
    }
}

// Title on the left, legend on the right, both above the plot area.
void SvgPlotWriter::Legend(Svg& svg, const ChartArea& a, double top, std::size_t g) const {
    const GaugeInfo& gauge = run_.gauges[g];
    const std::string title =
        g < gaugeTitles_.size() ? gaugeTitles_[g] : "Gauge " + std::to_string(g);
    svg.Text(a.x0, top + 22, title, "start", 14, "#111", " font-weight=\"bold\"");
    struct Entry {
        std::string label;
        Stroke stroke;
    };
    std::vector<Entry> legend;
    if (gauge.elliptic) {
        legend.push_back({"scale output, before damping", kInputStroke});
    }
    legend.push_back(
        {gauge.elliptic ? "drawn angle of the selected image" : "needle angle", kShownStroke});
    legend.push_back(
        {gauge.subjectMeaning + (gauge.unit.empty() ? "" : " in " + gauge.unit) + ", right axis",
         kValueStroke});
    double x = a.x1;
    for (auto it = legend.rbegin(); it != legend.rend(); ++it) {
        x -= TextWidth(it->label, 11.5);
        svg.Text(x, top + 42, it->label, "start", 11.5, "#333");
        x -= 28;
        svg.Line(x, top + 38, x + 22, top + 38, it->stroke.colour, it->stroke.width + 0.4,
                 it->stroke.dash);
        x -= 16;
    }
}

// An oval gauge: which needle image was drawn, as its panel entry over time.
void SvgPlotWriter::ImageStrip(Svg& svg, const ChartArea& a, const GaugeSeries& series) const {
    const double s0 = a.y1 + kBottom;
    const double s1 = s0 + kStripHeight - 12;
    Axis entries;
    entries.min = series.entry.lo();
    entries.max = std::max(series.entry.hi(), entries.min + 1);
    svg.Rect(a.x0, s0, a.x1 - a.x0, s1 - s0, "#f6f2ef");
    svg.Text(a.x0 - 8, s0 + 9, Shortest(entries.max), "end", 10, kEntryColour);
    svg.Text(a.x0 - 8, s1, Shortest(entries.min), "end", 10, kEntryColour);
    svg.Text(a.x1 + 8, (s0 + s1) / 2 + 4, "image drawn (panel entry)", "start", 10.5, kEntryColour);
    std::vector<CurvePoint> steps;
    for (const ColumnDecimator::Point& p : series.entry.Points()) {
        steps.emplace_back(a.X(p.time), entries.Map(p.value, s1, s0));
    }
    svg.Curve(steps, {kEntryColour, 1.4});
}

void SvgPlotWriter::Chart(std::string& text, double top, std::size_t g) const {
    Svg svg;
    const GaugeInfo& gauge = run_.gauges[g];
    const GaugeSeries& series = series_[g];
    const ChartArea a = AreaOf(top, g);
    // The plotting area: an HTML page lays a time cursor over it from these attributes.
    svg.text += "<g class=\"chart\" data-gauge=\"" + std::to_string(g) + "\" data-t0=\"" +
                Shortest(t0_ * 1000.0) + "\" data-t1=\"" + Shortest(t1_ * 1000.0) +
                "\" data-x0=\"" + Px(a.x0) + "\" data-x1=\"" + Px(a.x1) + "\">\n";
    Axes(svg, a, gauge);
    Events(svg, a, series);
    svg.Curve(a.Curve(series.value, a.value), kValueStroke);
    if (gauge.elliptic) {
        svg.Curve(a.Curve(series.input, a.angle), kInputStroke);
    }
    svg.Curve(a.Curve(series.shown, a.angle), kShownStroke);
    KeyNames(svg, a);
    svg.text += "</g>\n";
    Legend(svg, a, top, g);
    if (gauge.elliptic && series.entry.lo() <= series.entry.hi()) {
        ImageStrip(svg, a, series);
    }
    DrawTableCurve(svg, gauge, series.value.lo(), series.value.hi(),
                   {kWidth + 56, a.y0, kPageWidth - 24, a.y1});
    text += svg.text;
}

void SvgPlotWriter::End() {
    double height = kPageTop + 10;
    for (const GaugeInfo& gauge : run_.gauges) {
        height += ChartHeight(gauge);
    }
    if (run_.gauges.empty()) {
        height += kChartHeight;
    }
    Svg svg;
    svg.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
               Px(kPageWidth) + "\" height=\"" + Px(height) + "\" viewBox=\"0 0 " + Px(kPageWidth) +
               " " + Px(height) + "\" font-family=\"" + kFont + "\">\n";
    svg.text += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg.Text(kLeft, 28, title_, "start", 16, "#111", " font-weight=\"bold\"");
    const bool nothing = run_.gauges.empty() || run_.frameCount == 0 || !run_.observed;
    if (nothing) {
        svg.Text(kLeft, kPageTop + 40, "No gauge was loaded: nothing to plot.", "start", 14);
    }
    SvgPlotParts parts;
    parts.head = std::move(svg.text);
    if (!nothing) {
        double top = kPageTop;
        for (std::size_t g = 0; g < run_.gauges.size(); ++g) {
            Chart(parts.charts.emplace_back(), top, g);
            top += ChartHeight(run_.gauges[g]);
        }
    }
    parts.tail = "</svg>\n";
    parts_ = std::move(parts);
    if (out_ != nullptr) {
        out_->Write(parts_.head);
        for (const std::string& chart : parts_.charts) {
            out_->Write(chart);
        }
        out_->Write(parts_.tail);
    }
}

} // namespace mirevane::tool
