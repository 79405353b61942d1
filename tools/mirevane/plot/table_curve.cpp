#include "plot/table_curve.h"

#include "common/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace mirevane::tool {
namespace {

constexpr const char* kCurveColour = "#1f5fa8";
constexpr const char* kPointColour = "#c0392b";
constexpr const char* kRunColour = "#fbe3c8";
// A table of more points than this is drawn as a curve without its points marked.
constexpr std::size_t kMostMarkedPoints = 400;

// The curve's axes and the box they span: values to the right, angles up.
struct CurveFrame {
    Axis values;
    Axis angles;
    Box box;
    double X(double value) const { return values.Map(value, box.left, box.right); }
    double Y(double angle) const { return angles.Map(angle, box.bottom, box.top); }
};

// The axes over the table and the run, from lo to hi in value, with the angles the plug-in
// gives at both ends.
CurveFrame FrameFor(const GaugeInfo& gauge, double lo, double hi, const Box& box) {
    double alo = std::numeric_limits<double>::infinity();
    double ahi = -alo;
    const auto angleRange = [&](double a) {
        if (std::isfinite(a)) {
            alo = std::min(alo, a);
            ahi = std::max(ahi, a);
        }
    };
    for (const auto& row : gauge.scale.table()) {
        angleRange(row.second);
    }
    angleRange(gauge.scale.Interpolate(lo));
    angleRange(gauge.scale.Interpolate(hi));
    return {NiceAxis(lo, hi, 4), NiceAxis(alo, ahi, 5), box};
}

// The background, the run's values shaded, the grid, the ticks and the axes' names.
void DrawCurveGrid(Svg& svg, const CurveFrame& f, const GaugeInfo& gauge, double runLo,
                   double runHi) {
    const Box& box = f.box;
    svg.Rect(box.left, box.top, box.right - box.left, box.bottom - box.top, "#fbfbfb");
    if (runLo <= runHi) {
        svg.Rect(f.X(runLo), box.top, std::max(1.0, f.X(runHi) - f.X(runLo)), box.bottom - box.top,
                 kRunColour);
    }
    for (int i = 0; i <= f.angles.Ticks(); ++i) {
        const double a = f.angles.min + i * f.angles.step;
        svg.Line(box.left, f.Y(a), box.right, f.Y(a), "#e2e2e2", 1);
        svg.Text(box.left - 6, f.Y(a) + 4, Rounded(a, 6), "end", 10);
    }
    for (int i = 0; i <= f.values.Ticks(); ++i) {
        const double v = f.values.min + i * f.values.step;
        svg.Line(f.X(v), box.bottom, f.X(v), box.bottom + 4, "#444", 1);
        svg.Text(f.X(v), box.bottom + 16, Rounded(v, 6), "middle", 10);
    }
    svg.Line(box.left, box.bottom, box.right, box.bottom, "#444", 1);
    svg.Line(box.left, box.top, box.left, box.bottom, "#444", 1);
    svg.Text((box.left + box.right) / 2, box.bottom + 32,
             gauge.subject + (gauge.unit.empty() ? "" : " (" + gauge.unit + ")"), "middle", 11);
    svg.VerticalText(box.left - 40, (box.top + box.bottom) / 2,
                     "table angle (\u00b0), before the +180", 11, "#222");
}

// The table's points joined, the ends beyond them to lo and hi dashed.
void DrawCurve(Svg& svg, const CurveFrame& f, const GaugeInfo& gauge, double lo, double hi) {
    const auto& table = gauge.scale.table();
    std::vector<CurvePoint> inside;
    for (const auto& [value, angle] : table) {
        inside.emplace_back(f.X(value), f.Y(angle));
    }
    svg.Curve({{f.X(lo), f.Y(gauge.scale.Interpolate(lo))}, inside.front()},
              {kCurveColour, 1.6, "4,3"});
    svg.Curve({inside.back(), {f.X(hi), f.Y(gauge.scale.Interpolate(hi))}},
              {kCurveColour, 1.6, "4,3"});
    svg.Curve(inside, {kCurveColour, 2.0});
    if (table.size() <= kMostMarkedPoints) {
        for (const auto& [px, py] : inside) {
            if (std::isfinite(py)) {
                svg.Circle(px, py, 3, kPointColour);
            }
        }
    }
}

} // namespace

void DrawTableCurve(Svg& svg, const GaugeInfo& gauge, double runLo, double runHi, const Box& box) {
    svg.text += "<g class=\"table-curve\">\n";
    const auto& table = gauge.scale.table();
    svg.Text(box.left, box.top - 8,
             "calibration table: " + std::to_string(table.size()) + " points", "start", 12, "#111",
             " font-weight=\"bold\"");
    if (table.size() < 2) {
        svg.Text(box.left, box.top + 20, "fewer than two calibration points:", "start", 11);
        svg.Text(box.left, box.top + 36, "the needle stands at 180\u00b0", "start", 11);
        svg.text += "</g>\n";
        return;
    }
    const double first = table.front().first;
    const double last = table.back().first;
    double lo = std::isfinite(runLo) && runLo <= runHi ? std::min(first, runLo) : first;
    double hi = std::isfinite(runHi) && runLo <= runHi ? std::max(last, runHi) : last;
    // Room on both sides, so that the extrapolated ends always show.
    const double margin = (hi - lo) * 0.1;
    lo -= margin;
    hi += margin;
    const CurveFrame frame = FrameFor(gauge, lo, hi, box);
    DrawCurveGrid(svg, frame, gauge, runLo, runHi);
    DrawCurve(svg, frame, gauge, lo, hi);
    svg.Text(box.right - 4, box.bottom - 6, "dashed: beyond the table", "end", 10, "#555");
    svg.text += "</g>\n";
}

} // namespace mirevane::tool
