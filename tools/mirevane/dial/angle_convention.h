// How the panel's needle angles turn on the screen: the direction of angle 0 and the sense in
// which angles grow. Cab pictures differ, so the dial page lets the user choose.
#pragma once

#include <optional>
#include <string>

namespace mirevane::tool {

// A point in the dial's own frame: x right, y down, as SVG draws.
struct Point {
    double x = 0.0;
    double y = 0.0;
};

struct AngleConvention {
    // Names of the four directions of angle 0, and of the two senses, as the option takes
    // them: "up-cw" is angle 0 pointing up and angles growing clockwise.
    static constexpr const char* kHelp = "up|right|down|left followed by -cw or -ccw";
    static constexpr const char* kDefault = "up-cw";

    double zeroDegrees = -90.0; // screen direction of angle 0, degrees clockwise from right
    int sense = 1;              // +1: angles grow clockwise on the screen, -1: anticlockwise

    // "up-cw", "right-ccw", ... in any letter case; nothing for anything else.
    static std::optional<AngleConvention> Parse(const std::string& text);

    // A vector of the angle frame (angle a along (cos a, sin a)) on the screen.
    Point ToScreen(Point angleFrame) const noexcept;
    // The screen point at this panel angle and distance from the hub.
    Point ToScreen(double angleDegrees, double radius) const noexcept;
    // The direction of a screen point seen from the hub, as an angle of the angle frame
    // (degrees, -180..180): the inverse of ToScreen.
    double FrameDegrees(Point screen) const noexcept;
    // The same map as an SVG transform, for elements that the page turns by "rotate(angle)".
    std::string SvgMatrix() const;
};

} // namespace mirevane::tool
