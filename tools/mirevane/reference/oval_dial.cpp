#include "reference/oval_dial.h"

#include "common/number_text.h"
#include "config/settings_model.h"
#include "dial/angle_convention.h"
#include "dynamics/angle_units.h"
#include "dynamics/ellipse_gauge.h"
#include "plot/svg_document.h"
#include "plugin/panel_value.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

// The worked example of the section and its figure: an oval whose short axis is half its long
// one, the long axis turned by 30 degrees, four images. Image k is drawn on panel entry k, so that
// the entry the plug-in selects names the image.
constexpr int32_t kDivision = 4;
constexpr double kFlattening = 0.5;
constexpr double kRotateAngle = 30.0;
constexpr double kStandbyAngle = 180.0;
constexpr double kTableAngle = 270.0; // a needle 60 degrees (parameter angle) off the long axis

CEllipseGauge ExampleGauge() {
    CEllipseGauge gauge;
    for (int32_t k = 0; k < kEllipsePanelCount; ++k) {
        gauge.AddPanelIndex(k);
    }
    gauge.Setup(kDivision, kFlattening, kRotateAngle, kStandbyAngle);
    return gauge;
}

// b: the oval's short semi-axis, its long one 1.
double ShortSemiAxis(const CEllipseGauge& gauge) {
    return 1.0 - gauge.flattening();
}

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

std::string Number(double value) {
    return Rounded(value, 6);
}

// Per image of the example: its length and the folded angles it is chosen for.
std::string ExampleImageTable(const CEllipseGauge& gauge) {
    const double b = ShortSemiAxis(gauge);
    const int32_t n = gauge.divisionCount();
    std::string out = "| Image (entry) | Length r(k) | Chosen for folded angles e |\n"
                      "|---|---|---|\n";
    double from = 0.0;
    for (int32_t k = 0; k < n; ++k) {
        const double r = CEllipseGauge::NeedleLength(k, n, b);
        const double to = std::min(gauge.divisionTable()[static_cast<std::size_t>(k)].first, 90.0);
        out += "| `Ellipse" + std::to_string(k) + "` | " + Rounded(r, 4) + " | " +
               (k == 0 ? "0" : "above " + Rounded(from, 4)) + " to " + Rounded(to, 4) + "° |\n";
        from = to;
    }
    return out;
}

// Panel angles on the figure: angle 0 up, growing clockwise, as the dial page draws them by
// default.
struct Figure {
    AngleConvention convention;
    Point hub{200.0, 215.0};
    double radius = 160.0; // the long semi-axis, pixels

    Point At(double panelDegrees, double length) const {
        const Point p = convention.ToScreen(panelDegrees, length * radius);
        return {hub.x + p.x, hub.y + p.y};
    }
    void Line(Svg& svg, Point from, Point to, const char* colour, double width,
              const char* dash = "") const {
        svg.Line(from.x, from.y, to.x, to.y, colour, width, dash);
    }
};

constexpr double kWidth = 650.0;
constexpr double kHeight = 410.0;
constexpr double kLegend = 455.0; // left edge of the legend

constexpr const char* kImageColours[] = {"#1f77b4", "#2ca02c", "#d62728", "#9467bd"};

// A curve through 91 points from parameter `from` to `to`.
template <class PointAt> std::vector<CurvePoint> Arc(double from, double to, PointAt point) {
    std::vector<CurvePoint> points;
    for (int i = 0; i <= 90; ++i) {
        const Point p = point(from + (to - from) * i / 90.0);
        points.push_back({p.x, p.y});
    }
    return points;
}

// The rim point of parameter angle t: in the direction the plug-in draws, at the oval's
// radius there.
Point RimPoint(const CEllipseGauge& gauge, const Figure& f, double t) {
    const double b = ShortSemiAxis(gauge);
    const double x = Radians(t + gauge.rotateAngle());
    const double length = std::hypot(std::cos(Radians(t)), b * std::sin(Radians(t)));
    return f.At(gauge.DrawnAngleDegrees(x), length);
}

// The circle the oval is squashed from, and the rim in the colours of the images.
void DrawRim(Svg& svg, const CEllipseGauge& gauge, const Figure& f) {
    const auto rim = [&](double t) { return RimPoint(gauge, f, t); };
    svg.Curve(Arc(0.0, 360.0, [&](double a) { return f.At(a, 1.0); }), {"#999999", 1.0, "4 4"});
    // The rim, each stretch in the colour of the image the plug-in chooses there: the folded
    // angles of a division mirrored into the four quadrants.
    double lo = 0.0;
    for (const auto& [boundary, entry] : gauge.divisionTable()) {
        const double hi = std::min(boundary, 90.0);
        for (const auto& [from, to] :
             {std::pair{lo, hi}, std::pair{180.0 - hi, 180.0 - lo},
              std::pair{180.0 + lo, 180.0 + hi}, std::pair{360.0 - hi, 360.0 - lo}}) {
            svg.Curve(Arc(from, to, rim), {kImageColours[entry % 4], 5.0});
        }
        lo = std::max(lo, hi);
    }
}

void DrawAngleMarks(Svg& svg, const CEllipseGauge& gauge, const Figure& f) {
    const double rotate = gauge.rotateAngle();
    // Panel angle 0, the long axis at RotateAngle, and the sense of growing angles.
    f.Line(svg, f.hub, f.At(0.0, 1.22), "#444444", 1.0);
    const Point zero = f.At(0.0, 1.27);
    svg.Text(zero.x, zero.y, "panel angle 0", "middle", 12);
    f.Line(svg, f.At(rotate + 180.0, 1.12), f.At(rotate, 1.12), "#444444", 1.0, "2 3");
    const Point axis = f.At(rotate, 1.18);
    svg.Text(axis.x, axis.y, "long axis", "start", 12);
    svg.Curve(Arc(0.0, rotate, [&](double a) { return f.At(a, 0.3); }), {"#444444", 1.0});
    const Point label = f.At(rotate / 2.0, 0.36);
    svg.Text(label.x, label.y, "RotateAngle", "start", 11);
    svg.Curve(Arc(-26.0, -8.0, [&](double a) { return f.At(a, 1.08); }), {"#444444", 1.0});
    f.Line(svg, f.At(-8.0, 1.08), f.At(-12.0, 1.11), "#444444", 1.0);
    f.Line(svg, f.At(-8.0, 1.08), f.At(-12.0, 1.05), "#444444", 1.0);
    const Point grow = f.At(-28.0, 1.1);
    svg.Text(grow.x, grow.y, "angles grow", "end", 11);
}

void DrawExampleNeedle(Svg& svg, const CEllipseGauge& gauge, const Figure& f) {
    const double b = ShortSemiAxis(gauge);
    // The example needle: panel angle a on the circle, moved towards the long axis, drawn with
    // the image chosen for it.
    const double panel = kTableAngle + kNeedleOffsetDegrees;
    const double x = Radians(panel);
    const double drawn = gauge.DrawnAngleDegrees(x);
    const int32_t image = gauge.SelectedEntry(gauge.FoldedAngleDegrees(x));
    const double length = CEllipseGauge::NeedleLength(image, gauge.divisionCount(), b);
    const Point onCircle = f.At(panel, 1.0);
    f.Line(svg, f.hub, onCircle, "#777777", 1.0, "6 3");
    svg.Circle(onCircle.x, onCircle.y, 3.5, "#777777");
    const Point onRim = RimPoint(gauge, f, panel - gauge.rotateAngle());
    f.Line(svg, onCircle, onRim, "#777777", 1.0, "2 2");
    svg.Circle(onRim.x, onRim.y, 3.5, "#222222");
    f.Line(svg, f.hub, f.At(drawn, length), kImageColours[image % 4], 4.0);
    svg.Circle(f.hub.x, f.hub.y, 4.0, "#222222");
    const Point a = f.At(panel, 1.06);
    svg.Text(a.x, a.y, "a = A + 180", "start", 12, "#555555");
    const Point needle = f.At(drawn, length + 0.05);
    svg.Text(needle.x, needle.y - 6.0, "drawn", "start", 12, kImageColours[image % 4]);
}

void DrawLegend(Svg& svg, const CEllipseGauge& gauge) {
    const double b = ShortSemiAxis(gauge);
    // The legend: each image's length and the folded angles it is chosen for.
    svg.Text(kLegend, 40,
             "Flattening " + Number(kFlattening) + ", RotateAngle " + Number(kRotateAngle) + ",",
             "start", 12);
    svg.Text(kLegend, 56,
             "Division " + std::to_string(kDivision) + ", table angle A " + Number(kTableAngle),
             "start", 12);
    double from = 0.0;
    for (int32_t k = 0; k < gauge.divisionCount(); ++k) {
        const double y = 90.0 + 44.0 * k;
        const double to = std::min(gauge.divisionTable()[static_cast<std::size_t>(k)].first, 90.0);
        svg.Rect(kLegend, y - 9, 14, 10, kImageColours[k % 4]);
        svg.Text(kLegend + 20, y,
                 "Ellipse" + std::to_string(k) + ": length " +
                     Rounded(CEllipseGauge::NeedleLength(k, gauge.divisionCount(), b), 3),
                 "start", 12);
        svg.Text(kLegend + 20, y + 16, "folded " + Rounded(from, 3) + " to " + Rounded(to, 3) + "°",
                 "start", 12, "#555555");
        from = to;
    }
}

} // namespace

std::string OvalDialSection() {
    const CEllipseGauge gauge = ExampleGauge();
    const double panel = kTableAngle + kNeedleOffsetDegrees;
    const double x = Radians(panel);
    const double drawn = gauge.DrawnAngleDegrees(x);
    const int32_t image = gauge.SelectedEntry(gauge.FoldedAngleDegrees(x));
    const std::string offset = Rounded(kNeedleOffsetDegrees, 6);
    const std::string units = Rounded(kPanelUnitsPerDegree, 6);
    return "## How an elliptic gauge draws its needle\n"
           "\n"
           "A gauge with `Division` 2 or more draws its needle on an oval (or perspective) dial "
           "through several needle images of stepped lengths, image k on the panel entry "
           "`Ellipse`k, so that the needle reaches the oval's rim at every angle. Everything "
           "here is in panel angles, in degrees: the angle by which the host turns a needle "
           "image, " +
           units +
           " units of its panel entry to the degree. Where panel angle 0 points on the "
           "screen and which way panel angles grow is set by the cab's panel file for each "
           "image, not by the plug-in; give all images of one gauge the same mapping, or the "
           "needle jumps where it changes image.\n"
           "\n"
           "Each frame, with A the angle the scale table gives for the value:\n"
           "\n"
           "1. **Panel angle**: `a = A + " +
           offset +
           "`. With `[Damping]` set, a is then damped (the needle's mass and spring), and the "
           "damped angle takes its place below.\n"
           "2. **The oval**: a circle of radius 1 squashed across its long axis to the short "
           "semi-axis `b = 1 - Flattening` (Flattening counted between 0 and 1). Its long axis "
           "lies along panel angle `RotateAngle`, measured from panel angle 0 in the sense in "
           "which panel angles grow; `RotateAngle = 0` puts the long axis through table angle "
           "0 (panel angle " +
           offset +
           ").\n"
           "3. **Direction**: the needle does not point along a. It points at the point of the "
           "oval with parameter angle `t = a - RotateAngle`, which is `(cos t, b·sin t)` in "
           "axes along and across the long axis: the point of the circle at angle a moved "
           "straight towards the long axis. The plug-in writes\n"
           "\n"
           "   `drawn = RotateAngle + 360 + atan2(b·sin t, cos t)` (atan2 in degrees, -180 to "
           "180),\n"
           "\n"
           "   so between `180 + RotateAngle` and `540 + RotateAngle`. With Flattening 0 it is "
           "a itself, give or take whole turns.\n"
           "4. **Image**: with n = `Division` images (at most 64), image k (k = 0 to n - 1) has "
           "the length\n"
           "\n"
           "   `r(k) = b + (1 - b)·(n - 1 - k)/(n - 1)`\n"
           "\n"
           "   times the long semi-axis: from 1 (`Ellipse0`) down to b (the last image). Image k "
           "fits the oval at the parameter angle `θ(k) = arccos(√((r(k)² - b²)/(1 - b²)))`, "
           "from 0 to 90 degrees. The plug-in folds t onto the first quadrant, `e = |t| mod "
           "180`, and `180 - e` where that is above 90, and chooses the image whose θ(k) is "
           "nearest to e (at a tie, the longer one). With Flattening 0 every image has length "
           "1 and only the last one is drawn; the plug-in never writes the others' entries.\n"
           "5. **Panel entries**: the chosen image's entry gets `drawn × " +
           units + "`; the image drawn in the frame before, if another, gets `StandbyAngle × " +
           units + "` (no " + offset +
           " added), which parks it; and on the first frame and after the host's Initialize "
           "every image is parked before the needle is drawn. Both are cut towards zero to whole "
           "numbers.\n"
           "\n"
           "So draw image k as long as r(k) times the dial's long semi-axis (from the hub to "
           "the rim along RotateAngle), each image turning about the same hub. For example, "
           "with `Flattening = " +
           Number(kFlattening) + "`, `RotateAngle = " + Number(kRotateAngle) +
           "` and `Division = " + std::to_string(kDivision) + "`:\n\n" + ExampleImageTable(gauge) +
           "\n"
           "A table angle of " +
           Number(kTableAngle) + " is panel angle " + Number(panel) +
           ", t = " + Number(panel - kRotateAngle) + ", folded " +
           Number(gauge.FoldedAngleDegrees(x)) + " degrees: the plug-in writes " +
           std::to_string(ToPanelValue(drawn)) + " (drawn " + Number(drawn) + "°) into `Ellipse" +
           std::to_string(image) + "` and parks the image it drew before at " +
           std::to_string(ToPanelValue(kStandbyAngle)) +
           ". `mirevane run --detail` shows the damped angle and the chosen entry of every "
           "frame.\n"
           "\n"
           "![The oval of the example, drawn with panel angle 0 up and angles growing "
           "clockwise (the dial page's default, `--angles up-cw`): the long axis at "
           "RotateAngle, the rim coloured by the image chosen there, and the needle for table "
           "angle " +
           Number(kTableAngle) +
           ", the point of the circle at its panel angle moved towards the long axis, drawn "
           "with the image that fits](oval-dial.svg)\n"
           "\n"
           "**The sense of a table.** The plug-in follows a table as written: for a needle that "
           "turns the way panel angles grow as the value rises, the table's angles rise with "
           "the value; for one that turns the other way, they fall. Calibrating from a dial "
           "picture (`mirevane calibrate`, the "
           "studio) reads the sense off the marks themselves: in order of value, every step "
           "from one mark to the next is taken the same way round, the way whose steps sweep "
           "less in all; the gauge's present table decides only when both ways sweep exactly "
           "as far, and two neighbouring marks 180 degrees or more apart are refused as "
           "ambiguous (add a mark between them). docs/studio.md says the rest.\n";
}

std::string OvalDialFigure() {
    const CEllipseGauge gauge = ExampleGauge();
    const Figure f;
    Svg svg;
    svg.Rect(0, 0, kWidth, kHeight, "#ffffff");
    DrawRim(svg, gauge, f);
    DrawAngleMarks(svg, gauge, f);
    DrawExampleNeedle(svg, gauge, f);
    DrawLegend(svg, gauge);
    const std::string w = Px(kWidth);
    const std::string h = Px(kHeight);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h + "\" font-family=\"sans-serif\">\n" + svg.text +
           "</svg>\n";
}

} // namespace mirevane::tool
