// The pictures a panel file names, found as the host on Windows finds them (letter case
// ignored) and decoded once, each one ready to draw: transparent colour cut, tint applied.
#pragma once

#include "panel/panel_file.h"
#include "panel/panel_picture.h"

#include <string>
#include <vector>

namespace mirevane::tool {

enum class PictureState {
    kNone,          // the key is absent or empty
    kFound,         // read and decoded
    kOtherCase,     // found only under another letter case (decoded; the host finds it)
    kMissing,       // no such file in any letter case
    kUnreadable,    // found, but the decoder cannot read it (reason says why)
    kOutsideFolder, // resolves (links included) outside the panel file's folder tree
};

struct PanelPicture {
    std::string name; // as written
    PanelSpot spot;   // of the key that names it
    std::string path; // the file found (real path), empty when none
    PictureState state = PictureState::kNone;
    std::string reason; // for kUnreadable / kOutsideFolder
    Picture picture;    // ready to draw; empty unless kFound or kOtherCase
};

// The panel's background and one daytime picture per element that names one, in the panel's
// element order (index = PanelElement::order; kNone for elements without a picture).
struct PanelPictures {
    PanelPicture background;
    std::vector<PanelPicture> elements;
};

// Finds and decodes every daytime picture the panel names. A picture is looked up inside the
// panel file's folder and its subfolders only. Never throws for a picture's own fault.
PanelPictures LoadPanelPictures(const PanelFile& panel);

// Where a needle's picture sits: its Origin (default the picture's centre) and the scale by
// Radius / Origin-y (1 when Radius or Origin-y is 0).
struct NeedlePlacement {
    PanelPoint origin;
    double scale = 1.0;
};
NeedlePlacement PlaceNeedle(const PanelElement& needle, const Picture& picture);

} // namespace mirevane::tool
