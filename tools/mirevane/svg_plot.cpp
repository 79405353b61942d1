#include "svg_plot.h"

#include "markup_text.h"
#include "number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mirevane::tool {
namespace {

constexpr double kWidth = 960;
constexpr double kPageTop = 44; // the document title
constexpr double kChartHeight = 300;
constexpr double kLeft = 74;   // room for the angle ticks and axis title
constexpr double kRight = 84;  // room for the value ticks and axis title
constexpr double kTop = 50;    // chart title and legend
constexpr double kBottom = 46; // time ticks and axis title
constexpr const char* kFont = "DejaVu Sans, Helvetica, Arial, sans-serif";
constexpr const char* kNeedleColour = "#1f5fa8";
constexpr const char* kInputColour = "#8a8a8a";
constexpr const char* kValueColour = "#d9791a";
constexpr const char* kCopyColour = "#8e3ea8";

// An axis from lo to hi with about `target` ticks at 1, 2, 2.5 or 5 times a power of ten,
// its ends moved out to whole ticks.
struct Axis {
    double min = 0.0;
    double max = 1.0;
    double step = 1.0;
    double Map(double v, double from, double to) const {
        return from + (v - min) / (max - min) * (to - from);
    }
};

Axis NiceAxis(double lo, double hi, int target) {
    if (!(lo < hi)) {
        const double centre = std::isfinite(lo) ? lo : 0.0;
        lo = centre - 1.0;
        hi = centre + 1.0;
    }
    const double rough = (hi - lo) / target;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10.0 * power;
    for (double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * power >= rough) {
            step = m * power;
            break;
        }
    }
    Axis axis;
    axis.step = step;
    axis.min = std::floor(lo / step) * step;
    axis.max = std::ceil(hi / step) * step;
    if (axis.max == axis.min) {
        axis.max = axis.min + step;
    }
    return axis;
}

void Range(const std::vector<double>& values, double& lo, double& hi) {
    for (double v : values) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
}

struct Series {
    std::string label;
    const char* colour;
    double width;
    const char* dash; // empty: solid
    std::vector<double> values;
};

class Svg {
public:
    std::string text;

    void Line(double x1, double y1, double x2, double y2, const char* colour, double width,
              const char* dash = "") {
        text += "<line x1=\"" + Px(x1) + "\" y1=\"" + Px(y1) + "\" x2=\"" + Px(x2) + "\" y2=\"" +
                Px(y2) + "\" stroke=\"" + colour + "\" stroke-width=\"" + Px(width) + "\"" +
                DashAttribute(dash) + "/>\n";
    }
    void Text(double x, double y, const std::string& content, const char* anchor, double size,
              const char* colour = "#222", const char* extra = "") {
        text += "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + anchor +
                "\" font-size=\"" + Px(size) + "\" fill=\"" + colour + "\"" + extra + ">" +
                Escaped(content) + "</text>\n";
    }
    void VerticalText(double x, double y, const std::string& content, double size,
                      const char* colour) {
        text += "<text transform=\"translate(" + Px(x) + "," + Px(y) +
                ") rotate(-90)\" text-anchor=\"middle\" font-size=\"" + Px(size) + "\" fill=\"" +
                colour + "\">" + Escaped(content) + "</text>\n";
    }
    // One polyline per run of finite values: a gap where the gauge showed nothing.
    void Curve(const std::vector<double>& xs, const std::vector<double>& ys, const Series& s) {
        std::string points;
        const auto flush = [&] {
            if (!points.empty()) {
                text += "<polyline fill=\"none\" stroke=\"" + std::string(s.colour) +
                        "\" stroke-width=\"" + Px(s.width) +
                        "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"" +
                        DashAttribute(s.dash) + " points=\"" + points + "\"/>\n";
                points.clear();
            }
        };
        for (std::size_t i = 0; i < xs.size(); ++i) {
            if (!std::isfinite(ys[i])) {
                flush();
                continue;
            }
            if (!points.empty()) {
                points += ' ';
            }
            points += Px(xs[i]) + "," + Px(ys[i]);
        }
        flush();
    }

private:
    static std::string DashAttribute(const char* dash) {
        return *dash == '\0' ? "" : " stroke-dasharray=\"" + std::string(dash) + "\"";
    }
};

// Label width at the given font size, near enough for laying out a legend.
double TextWidth(const std::string& text, double size) {
    return static_cast<double>(text.size()) * size * 0.56;
}

void Chart(Svg& svg, double top, const Trace& trace, std::size_t g, const std::string& title,
           const std::vector<double>& seconds) {
    const GaugeInfo& gauge = trace.gauges[g];
    const std::size_t gauges = trace.gauges.size();
    const std::size_t frames = trace.times.size();

    std::vector<Series> angles;
    Series value{gauge.subjectMeaning, kValueColour, 1.2, "", {}};
    Series input{"scale output, before damping", kInputColour, 1.4, "5,4", {}};
    Series shown{gauge.elliptic ? "drawn angle of the selected image" : "needle angle",
                 kNeedleColour,
                 2.2,
                 "",
                 {}};
    for (std::size_t f = 0; f < frames; ++f) {
        const GaugeSample& s = trace.samples[f * gauges + g];
        value.values.push_back(s.value);
        double drawn = s.shown;
        if (gauge.elliptic) {
            input.values.push_back(s.angle);
            // The drawn angle is a direction: show the turn nearest the damped angle, so that
            // a needle resting near 180 does not jump between 180 and 540.
            drawn += 360.0 * std::round((s.damped - drawn) / 360.0);
        }
        shown.values.push_back(drawn);
    }
    if (gauge.elliptic) {
        angles.push_back(input);
    }
    angles.push_back(shown);

    const double x0 = kLeft;
    const double x1 = kWidth - kRight;
    const double y0 = top + kTop;
    const double y1 = top + kChartHeight - kBottom;

    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const Series& s : angles) {
        Range(s.values, lo, hi);
    }
    const Axis angleAxis = NiceAxis(lo, hi, 6);
    double vlo = std::numeric_limits<double>::infinity();
    double vhi = -vlo;
    Range(value.values, vlo, vhi);
    const Axis valueAxis = NiceAxis(vlo, vhi, 6);
    const Axis timeAxis = NiceAxis(seconds.front(), seconds.back(), 10);

    // The time axis's ends (ms) and their x, so that a page can lay a time cursor over it.
    svg.text += "<g class=\"chart\" data-t0=\"" + Rounded(timeAxis.min * 1000.0, 12) +
                "\" data-t1=\"" + Rounded(timeAxis.max * 1000.0, 12) + "\" data-x0=\"" + Px(x0) +
                "\" data-x1=\"" + Px(x1) + "\">\n";

    // Frame, grid and ticks.
    svg.text += "<rect x=\"" + Px(x0) + "\" y=\"" + Px(y0) + "\" width=\"" + Px(x1 - x0) +
                "\" height=\"" + Px(y1 - y0) + "\" fill=\"#fbfbfb\" stroke=\"none\"/>\n";
    const double yTicks = std::round((angleAxis.max - angleAxis.min) / angleAxis.step);
    for (int i = 0; i <= yTicks; ++i) {
        const double v = angleAxis.min + i * angleAxis.step;
        const double y = angleAxis.Map(v, y1, y0);
        svg.Line(x0, y, x1, y, "#e2e2e2", 1);
        svg.Line(x0 - 5, y, x0, y, "#444", 1);
        svg.Text(x0 - 8, y + 4, Rounded(v, 6), "end", 11);
    }
    const double vTicks = std::round((valueAxis.max - valueAxis.min) / valueAxis.step);
    for (int i = 0; i <= vTicks; ++i) {
        const double w = valueAxis.min + i * valueAxis.step;
        const double y = valueAxis.Map(w, y1, y0);
        svg.Line(x1, y, x1 + 5, y, kValueColour, 1);
        svg.Text(x1 + 8, y + 4, Rounded(w, 6), "start", 11, kValueColour);
    }
    const double tTicks = std::round((timeAxis.max - timeAxis.min) / timeAxis.step);
    for (int i = 0; i <= tTicks; ++i) {
        const double t = timeAxis.min + i * timeAxis.step;
        const double x = timeAxis.Map(t, x0, x1);
        svg.Line(x, y0, x, y1, "#ececec", 1);
        svg.Line(x, y1, x, y1 + 5, "#444", 1);
        svg.Text(x, y1 + 18, Rounded(t, 6), "middle", 11);
    }
    svg.Line(x0, y1, x1, y1, "#444", 1);
    svg.Line(x0, y0, x0, y1, "#444", 1);
    svg.Line(x1, y0, x1, y1, kValueColour, 1);
    svg.Text((x0 + x1) / 2, y1 + 38, "time (s)", "middle", 12);
    svg.VerticalText(x0 - 52, (y0 + y1) / 2, "needle angle (\u00b0)", 12, "#222");
    const std::string valueTitle =
        gauge.subject + (gauge.unit.empty() ? "" : " (" + gauge.unit + ")");
    svg.VerticalText(x1 + 62, (y0 + y1) / 2, valueTitle, 12, kValueColour);

    // Copies made by the developer key, where they happened.
    for (std::size_t f = 0; f < frames; ++f) {
        if (trace.clipboard[f].empty()) {
            continue;
        }
        const double x = timeAxis.Map(seconds[f], x0, x1);
        svg.Line(x, y0, x, y1, kCopyColour, 1, "2,3");
        svg.Text(x + 4, y0 + 13, "copied " + trace.clipboard[f], "start", 11, kCopyColour);
    }

    // Curves: x and y mapped once per series.
    std::vector<double> xs(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        xs[f] = timeAxis.Map(seconds[f], x0, x1);
    }
    std::vector<double> ys(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        ys[f] = valueAxis.Map(value.values[f], y1, y0);
    }
    svg.Curve(xs, ys, value);
    for (const Series& s : angles) {
        for (std::size_t f = 0; f < frames; ++f) {
            ys[f] = angleAxis.Map(s.values[f], y1, y0);
        }
        svg.Curve(xs, ys, s);
    }

    // Title on the left, legend on the right, both above the plot area.
    svg.Text(x0, top + 22, title, "start", 14, "#111", " font-weight=\"bold\"");
    std::vector<const Series*> legend;
    for (const Series& s : angles) {
        legend.push_back(&s);
    }
    legend.push_back(&value);
    double x = x1;
    for (auto it = legend.rbegin(); it != legend.rend(); ++it) {
        const Series& s = **it;
        const std::string label =
            &s != &value
                ? s.label
                : s.label + (gauge.unit.empty() ? "" : " in " + gauge.unit) + ", right axis";
        x -= TextWidth(label, 11.5);
        svg.Text(x, top + 42, label, "start", 11.5, "#333");
        x -= 28;
        svg.Line(x, top + 38, x + 22, top + 38, s.colour, s.width + 0.4, s.dash);
        x -= 16;
    }
    svg.text += "</g>\n";
}

} // namespace

std::string PlotSvg(const Trace& trace, const std::string& title,
                    const std::vector<std::string>& gaugeTitles) {
    const std::size_t gauges = trace.gauges.size();
    const double height =
        kPageTop + std::max<double>(1, static_cast<double>(gauges)) * kChartHeight + 10;
    Svg svg;
    svg.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
               Px(kWidth) + "\" height=\"" + Px(height) + "\" viewBox=\"0 0 " + Px(kWidth) + " " +
               Px(height) + "\" font-family=\"" + kFont + "\">\n";
    svg.text += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg.Text(kLeft, 28, title, "start", 16, "#111", " font-weight=\"bold\"");

    if (gauges == 0 || trace.times.empty()) {
        svg.Text(kLeft, kPageTop + 40, "No gauge was loaded: nothing to plot.", "start", 14);
    } else {
        std::vector<double> seconds;
        seconds.reserve(trace.times.size());
        for (int32_t t : trace.times) {
            seconds.push_back(t / 1000.0);
        }
        for (std::size_t g = 0; g < gauges; ++g) {
            const std::string chartTitle =
                g < gaugeTitles.size() ? gaugeTitles[g] : "Gauge " + std::to_string(g);
            Chart(svg, kPageTop + static_cast<double>(g) * kChartHeight, trace, g, chartTitle,
                  seconds);
        }
    }
    svg.text += "</svg>\n";
    return svg.text;
}

} // namespace mirevane::tool
