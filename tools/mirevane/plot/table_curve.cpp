#include "plot/table_curve.h"

#include "common/number_text.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr const char* kCurveColour = "#1f5fa8";
constexpr const char* kPointColour = "#c0392b";
constexpr const char* kRunColour = "#fbe3c8";
// A table of more points than this is drawn as a curve without its points marked.
constexpr std::size_t kMostMarkedPoints = 400;

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

    std::vector<CurvePoint> inside;
    double alo = std::numeric_limits<double>::infinity();
    double ahi = -alo;
    const auto angleRange = [&](double a) {
        if (std::isfinite(a)) {
            alo = std::min(alo, a);
            ahi = std::max(ahi, a);
        }
    };
    for (const auto& [value, angle] : table) {
        inside.emplace_back(value, angle);
        angleRange(angle);
    }
    const double loAngle = gauge.scale.Interpolate(lo);
    const double hiAngle = gauge.scale.Interpolate(hi);
    angleRange(loAngle);
    angleRange(hiAngle);

    const Axis values = NiceAxis(lo, hi, 4);
    const Axis angles = NiceAxis(alo, ahi, 5);
    const auto x = [&](double v) { return values.Map(v, box.left, box.right); };
    const auto y = [&](double a) { return angles.Map(a, box.bottom, box.top); };

    svg.Rect(box.left, box.top, box.right - box.left, box.bottom - box.top, "#fbfbfb");
    if (runLo <= runHi) {
        svg.Rect(x(runLo), box.top, std::max(1.0, x(runHi) - x(runLo)), box.bottom - box.top,
                 kRunColour);
    }
    for (int i = 0; i <= angles.Ticks(); ++i) {
        const double a = angles.min + i * angles.step;
        svg.Line(box.left, y(a), box.right, y(a), "#e2e2e2", 1);
        svg.Text(box.left - 6, y(a) + 4, Rounded(a, 6), "end", 10);
    }
    for (int i = 0; i <= values.Ticks(); ++i) {
        const double v = values.min + i * values.step;
        svg.Line(x(v), box.bottom, x(v), box.bottom + 4, "#444", 1);
        svg.Text(x(v), box.bottom + 16, Rounded(v, 6), "middle", 10);
    }
    svg.Line(box.left, box.bottom, box.right, box.bottom, "#444", 1);
    svg.Line(box.left, box.top, box.left, box.bottom, "#444", 1);
    svg.Text((box.left + box.right) / 2, box.bottom + 32,
             gauge.subject + (gauge.unit.empty() ? "" : " (" + gauge.unit + ")"), "middle", 11);
    svg.VerticalText(box.left - 40, (box.top + box.bottom) / 2,
                     "table angle (\u00b0), before the +180", 11, "#222");

    for (auto& point : inside) {
        point = {x(point.first), y(point.second)};
    }
    svg.Curve({{x(lo), y(loAngle)}, inside.front()}, {kCurveColour, 1.6, "4,3"});
    svg.Curve({inside.back(), {x(hi), y(hiAngle)}}, {kCurveColour, 1.6, "4,3"});
    svg.Curve(inside, {kCurveColour, 2.0});
    if (table.size() <= kMostMarkedPoints) {
        for (const auto& [px, py] : inside) {
            if (std::isfinite(py)) {
                svg.Circle(px, py, 3, kPointColour);
            }
        }
    }
    svg.Text(box.right - 4, box.bottom - 6, "dashed: beyond the table", "end", 10, "#555");
    svg.text += "</g>\n";
}

} // namespace mirevane::tool
