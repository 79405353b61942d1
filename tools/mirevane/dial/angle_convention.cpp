#include "dial/angle_convention.h"

#include "common/number_text.h"
#include "config/text.h"

#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

} // namespace

std::optional<AngleConvention> AngleConvention::Parse(const std::string& text) {
    std::string name = text;
    ToLowerAscii(name);
    const std::size_t dash = name.rfind('-');
    if (dash == std::string::npos) {
        return std::nullopt;
    }
    const std::string zero = name.substr(0, dash);
    const std::string sense = name.substr(dash + 1);
    AngleConvention convention;
    // SVG's y axis points down: clockwise from right, up is -90 degrees.
    if (zero == "up") {
        convention.zeroDegrees = -90.0;
    } else if (zero == "right") {
        convention.zeroDegrees = 0.0;
    } else if (zero == "down") {
        convention.zeroDegrees = 90.0;
    } else if (zero == "left") {
        convention.zeroDegrees = 180.0;
    } else {
        return std::nullopt;
    }
    if (sense == "cw") {
        convention.sense = 1;
    } else if (sense == "ccw") {
        convention.sense = -1;
    } else {
        return std::nullopt;
    }
    return convention;
}

// Mirror the angle frame's y when angles grow anticlockwise, then turn angle 0 to its
// direction: M = R(zero) * diag(1, sense).
Point AngleConvention::ToScreen(Point p) const noexcept {
    const double c = std::cos(zeroDegrees * kRadiansPerDegree);
    const double s = std::sin(zeroDegrees * kRadiansPerDegree);
    const double y = sense * p.y;
    return {c * p.x - s * y, s * p.x + c * y};
}

double AngleConvention::FrameDegrees(Point screen) const noexcept {
    // p = diag(1, sense) * R(-zero) * screen.
    const double c = std::cos(zeroDegrees * kRadiansPerDegree);
    const double s = std::sin(zeroDegrees * kRadiansPerDegree);
    const double x = c * screen.x + s * screen.y;
    const double y = sense * (-s * screen.x + c * screen.y);
    return std::atan2(y, x) / kRadiansPerDegree;
}

Point AngleConvention::ToScreen(double angleDegrees, double radius) const noexcept {
    const double a = angleDegrees * kRadiansPerDegree;
    return ToScreen(Point{radius * std::cos(a), radius * std::sin(a)});
}

std::string AngleConvention::SvgMatrix() const {
    const Point xAxis = ToScreen(Point{1.0, 0.0});
    const Point yAxis = ToScreen(Point{0.0, 1.0});
    // Exact zeros, not 6e-17, in the page.
    const auto text = [](double v) { return Rounded(std::fabs(v) < 1e-12 ? 0.0 : v, 12); };
    return "matrix(" + text(xAxis.x) + " " + text(xAxis.y) + " " + text(yAxis.x) + " " +
           text(yAxis.y) + " 0 0)";
}

} // namespace mirevane::tool
