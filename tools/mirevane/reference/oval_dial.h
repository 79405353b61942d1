// How an elliptic gauge turns a table angle into a needle image and its angle, for the cab
// builder who draws the images: the section of the configuration reference and its figure.
// The worked numbers and the figure come from the plug-in's own CEllipseGauge, so they show
// what the plug-in draws.
#pragma once

#include <string>

namespace mirevane::tool {

// The section of docs/configuration.md, with the formulas and a worked example.
std::string OvalDialSection();
// docs/oval-dial.svg, the section's figure, to scale.
std::string OvalDialFigure();

} // namespace mirevane::tool
