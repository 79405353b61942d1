// The needle that draws a gauge on the cab's panel picture, as calibration on that picture
// takes it: the needle turns about its Location (panel units are the picture's pixels) and its
// mapping is the screen convention, so no hub is clicked and no convention guessed.
#pragma once

#include "dial/angle_convention.h"
#include "panel/panel_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mirevane::tool {

struct GaugeNeedle {
    Point hub;                  // the needle's Location, pixels of the panel picture
    AngleConvention convention; // from the needle's mapping
    std::string at;             // "panel2.cfg:12", the needle's section
    int order = 0;              // the needle's PanelElement::order

    // "the needle at panel2.cfg:12 (Location 200, 200; angle 0 at 90 degrees clockwise from up,
    // growing clockwise)"
    std::string Said() const;
};

// The needle of every panel entry the gauge writes (its needle's entry, or each division
// entry of an oval gauge); they must turn about one point with one convention, each turning 1
// degree per 1000 units by its own mapping, none by a Function. Throws InputError
// (calibrate-panel-needle) located at the panel line that stands in the way, or at the panel
// file when no needle reads any of the entries.
GaugeNeedle FindGaugeNeedle(const PanelFile& panel, int gauge, const std::vector<int32_t>& entries);

// One convention as a person reads it, whatever its offset: "angle 0 at 90 degrees clockwise
// from up, growing anticlockwise".
std::string ConventionText(const AngleConvention& convention);

// True when two conventions put every angle in the same direction.
bool SameConvention(const AngleConvention& a, const AngleConvention& b);

} // namespace mirevane::tool
