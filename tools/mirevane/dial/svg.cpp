#include "dial/svg.h"

#include "common/number_text.h"
#include "plot/svg_document.h"
#include "plugin/host_records.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kRadius = 100; // the dial's radius (an oval's major semi-axis), user units
constexpr double kMargin = 24;  // room for labels outside the outline
constexpr double kArcStepDegrees = 2;
constexpr int kArcMostSteps = 720; // a table that turns many times draws coarser, not longer
constexpr const char* kSectorFills[] = {"#e8eef7", "#f7efe3"};

std::string At(Point p) {
    return Px(p.x) + "," + Px(p.y);
}

Point Scaled(Point p, double factor) {
    return {p.x * factor, p.y * factor};
}

// Points of the outline, scaled, from one panel angle to another in steps of a few degrees.
std::string ArcPoints(const DialGeometry& dial, const AngleConvention& convention, double from,
                      double to, double scale) {
    if (!std::isfinite(to - from)) {
        return "";
    }
    const int steps = static_cast<int>(
        std::clamp(std::ceil(std::fabs(to - from) / kArcStepDegrees), 1.0, 1.0 * kArcMostSteps));
    std::string points;
    for (int i = 0; i <= steps; ++i) {
        const double angle = from + (to - from) * i / steps;
        points += (i == 0 ? "" : " ") +
                  At(convention.ToScreen(Scaled(dial.OnOutline(angle), kRadius * scale)));
    }
    return points;
}

std::string Polyline(const std::string& points, const std::string& attributes) {
    return "<polyline fill=\"none\" points=\"" + points + "\" " + attributes + "/>\n";
}

// Division sectors: a wedge from the hub along the ellipse, labelled once per division.
std::string SectorsSvg(const DialGeometry& dial, const AngleConvention& convention) {
    std::string svg;
    std::size_t shade = 0;
    int32_t lastEntry = -2;
    for (const DivisionSector& sector : dial.sectors()) {
        if (sector.entry != lastEntry) {
            shade ^= 1;
        }
        const std::string label = "entry " + std::to_string(sector.entry);
        svg += "<polygon class=\"sector\" data-entry=\"" + std::to_string(sector.entry) +
               "\" fill=\"" + kSectorFills[shade] + "\" points=\"0.0,0.0 " +
               ArcPoints(dial, convention, sector.fromDegrees, sector.toDegrees, 1.0) +
               "\"><title>" + Escaped(label) + "</title></polygon>\n";
        if (sector.entry != lastEntry) {
            const double middle = (sector.fromDegrees + sector.toDegrees) / 2;
            const Point p = convention.ToScreen(Scaled(dial.OnOutline(middle), kRadius * 0.9));
            svg += "<text class=\"sector-label\" x=\"" + Px(p.x) + "\" y=\"" + Px(p.y + 2.5) +
                   "\">" + std::to_string(sector.entry) + "</text>\n";
        }
        lastEntry = sector.entry;
    }
    return svg;
}

// The calibrated range just outside the outline, beyond it what the run extrapolated (the run's
// values from lowest to highest), and a tick for each mark of the scale.
std::string ScaleSvg(const DialGeometry& dial, const AngleConvention& convention, double lowest,
                     double highest) {
    std::string svg;
    const std::vector<ScaleMark>& marks = dial.marks();
    if (marks.size() >= 2) {
        const double first = marks.front().angleDegrees;
        const double last = marks.back().angleDegrees;
        svg += Polyline(ArcPoints(dial, convention, first, last, 1.06), "class=\"calibrated\"");
        // Beyond one turn the arc would only cover itself.
        const auto extrapolated = [&](double value, double end) {
            if (std::isfinite(value)) {
                const double to = end + std::clamp(dial.AngleOf(value) - end, -360.0, 360.0);
                svg +=
                    Polyline(ArcPoints(dial, convention, end, to, 1.06), "class=\"extrapolated\"");
            }
        };
        if (lowest < marks.front().value) {
            extrapolated(lowest, first);
        }
        if (highest > marks.back().value) {
            extrapolated(highest, last);
        }
    }
    for (const ScaleMark& mark : marks) {
        const Point outer = dial.OnOutline(mark.angleDegrees);
        const Point a = convention.ToScreen(Scaled(outer, kRadius));
        const Point b = convention.ToScreen(Scaled(outer, kRadius * 0.9));
        // Beyond the calibrated arc (at 1.06 of the radius), clear of it.
        const Point text = convention.ToScreen(Scaled(outer, kRadius + 16));
        svg += "<line class=\"tick\" data-value=\"" + Shortest(mark.value) + "\" x1=\"" + Px(a.x) +
               "\" y1=\"" + Px(a.y) + "\" x2=\"" + Px(b.x) + "\" y2=\"" + Px(b.y) +
               "\"/>\n<text class=\"tick-label\" x=\"" + Px(text.x) + "\" y=\"" + Px(text.y + 3) +
               "\">" + Escaped(Rounded(mark.value, 4)) + "</text>\n";
    }
    return svg;
}

// Needle images, pointing along angle 0 of the angle frame; the script sets rotate(angle) on
// each from its panel entry, and the convention's matrix turns the frame.
std::string NeedlesSvg(const DialGeometry& dial, const AngleConvention& convention) {
    std::string svg = "<g class=\"needles\" transform=\"" + convention.SvgMatrix() + "\">\n";
    for (const NeedleImage& image : dial.images()) {
        if (!IsHostArrayIndex(image.entry)) {
            continue; // never drawn
        }
        svg += "<line class=\"needle\" data-entry=\"" + std::to_string(image.entry) +
               "\" x1=\"0\" y1=\"0\" x2=\"" + Px(kRadius * image.length) +
               "\" y2=\"0\" transform=\"rotate(" + Rounded(dial.standbyDegrees(), 9) + ")\"/>\n";
    }
    return svg + "</g>\n";
}

} // namespace

std::string DialSvg(const DialGeometry& dial, const AngleConvention& convention, int32_t gauge,
                    double lowest, double highest, const std::optional<DialFace>& face) {
    const double half = kRadius + kMargin;
    std::string svg = "<svg class=\"dial\" data-gauge=\"" + std::to_string(gauge) +
                      "\" viewBox=\"" + Px(-half) + " " + Px(-half) + " " + Px(2 * half) + " " +
                      Px(2 * half) + "\" role=\"img\">\n";
    if (face) {
        const double scale = kRadius / face->radius;
        svg += "<image class=\"face\" href=\"" + face->dataUri + "\" x=\"" +
               Px(-face->hubX * scale) + "\" y=\"" + Px(-face->hubY * scale) + "\" width=\"" +
               Px(face->width * scale) + "\" height=\"" + Px(face->height * scale) + "\"/>\n";
    }

    svg += SectorsSvg(dial, convention) +
           Polyline(ArcPoints(dial, convention, 0, 360, 1.0), "class=\"outline\"") +
           ScaleSvg(dial, convention, lowest, highest) + NeedlesSvg(dial, convention) +
           "<circle class=\"hub\" r=\"4\"/>\n</svg>\n";
    return svg;
}

} // namespace mirevane::tool
