#include "plot/svg_document.h"

#include <charconv>
#include <cmath>

namespace mirevane::tool {
namespace {

std::string DashAttribute(const char* dash) {
    return *dash == '\0' ? "" : " stroke-dasharray=\"" + std::string(dash) + "\"";
}

} // namespace

std::string Px(double value) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr);
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control characters are not allowed in XML text.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
                out += c;
            }
        }
    }
    return out;
}

int Axis::Ticks() const {
    return static_cast<int>(std::round((max - min) / step));
}

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

void Svg::Line(double x1, double y1, double x2, double y2, const char* colour, double width,
               const char* dash) {
    text += "<line x1=\"" + Px(x1) + "\" y1=\"" + Px(y1) + "\" x2=\"" + Px(x2) + "\" y2=\"" +
            Px(y2) + "\" stroke=\"" + colour + "\" stroke-width=\"" + Px(width) + "\"" +
            DashAttribute(dash) + "/>\n";
}

void Svg::Text(double x, double y, const std::string& content, const char* anchor, double size,
               const char* colour, const char* extra) {
    text += "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + anchor +
            "\" font-size=\"" + Px(size) + "\" fill=\"" + colour + "\"" + extra + ">" +
            Escaped(content) + "</text>\n";
}

void Svg::VerticalText(double x, double y, const std::string& content, double size,
                       const char* colour) {
    text += "<text transform=\"translate(" + Px(x) + "," + Px(y) +
            ") rotate(-90)\" text-anchor=\"middle\" font-size=\"" + Px(size) + "\" fill=\"" +
            colour + "\">" + Escaped(content) + "</text>\n";
}

void Svg::Rect(double x, double y, double width, double height, const char* fill) {
    text += "<rect x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" width=\"" + Px(width) + "\" height=\"" +
            Px(height) + "\" fill=\"" + fill + "\" stroke=\"none\"/>\n";
}

void Svg::Circle(double x, double y, double radius, const char* fill) {
    text += "<circle cx=\"" + Px(x) + "\" cy=\"" + Px(y) + "\" r=\"" + Px(radius) + "\" fill=\"" +
            fill + "\"/>\n";
}

void Svg::Curve(const std::vector<CurvePoint>& curve, const Stroke& stroke) {
    std::string points;
    const auto flush = [&] {
        if (!points.empty()) {
            text += "<polyline fill=\"none\" stroke=\"" + std::string(stroke.colour) +
                    "\" stroke-width=\"" + Px(stroke.width) +
                    "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"" +
                    DashAttribute(stroke.dash) + " points=\"" + points + "\"/>\n";
            points.clear();
        }
    };
    for (const auto& [x, y] : curve) {
        if (!std::isfinite(y) || !std::isfinite(x)) {
            flush();
            continue;
        }
        if (!points.empty()) {
            points += ' ';
        }
        points += Px(x) + "," + Px(y);
    }
    flush();
}

double TextWidth(const std::string& text, double size) {
    return static_cast<double>(text.size()) * size * 0.56;
}

} // namespace mirevane::tool
