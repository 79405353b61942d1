// Plain SVG as the plots draw it: lines, text, polylines with gaps, and axes with round
// ticks. Coordinates carry one decimal, so the same picture gives the same bytes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace mirevane::tool {

std::string Px(double value);
// Text safe inside an XML element or attribute; control characters dropped.
std::string Escaped(const std::string& text);

// An axis from lo to hi with about `target` ticks at 1, 2, 2.5 or 5 times a power of ten,
// its ends moved out to whole ticks.
struct Axis {
    double min = 0.0;
    double max = 1.0;
    double step = 1.0;
    double Map(double v, double from, double to) const {
        return from + (v - min) / (max - min) * (to - from);
    }
    int Ticks() const;
};
Axis NiceAxis(double lo, double hi, int target);

struct Stroke {
    const char* colour;
    double width;
    const char* dash = ""; // empty: solid
};

// A point of a curve; a point with a non-finite y ends a run of points.
using CurvePoint = std::pair<double, double>;

class Svg {
public:
    std::string text;

    void Line(double x1, double y1, double x2, double y2, const char* colour, double width,
              const char* dash = "");
    void Text(double x, double y, const std::string& content, const char* anchor, double size,
              const char* colour = "#222", const char* extra = "");
    void VerticalText(double x, double y, const std::string& content, double size,
                      const char* colour);
    void Rect(double x, double y, double width, double height, const char* fill);
    void Circle(double x, double y, double radius, const char* fill);
    // One polyline per run of finite points: a gap where the gauge showed nothing.
    void Curve(const std::vector<CurvePoint>& points, const Stroke& stroke);
};

// Label width at the given font size, near enough for laying out a legend.
double TextWidth(const std::string& text, double size);

} // namespace mirevane::tool
