// The cab as the host draws it: the panel's picture and every needle of the panel file with
// its own picture, placed and stacked as the host places and stacks them, and for every frame
// a run kept the screen angle the host turns each needle to. Built in two steps: the scene
// once per panel file (pictures decoded and encoded once, however many runs show them), the
// motion once per run. A page draws the scene and turns the needles by the angles given: it
// never maps a value to an angle itself.
#pragma once

#include "dial/angle_convention.h"
#include "dial/recorder.h"
#include "panel/panel_file.h"
#include "panel/panel_images.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

// A picture as a page embeds it: once, as a PNG data: URI, or, when it could not be read, as
// a marked placeholder that says which picture and why.
struct CabPicture {
    std::string name;    // as the panel file names it
    std::string dataUri; // "data:image/png;base64,..."; empty: drawn as a placeholder
    double width = 0.0;  // pixels; 0 when unknown
    double height = 0.0;
    std::string problem; // why there is no picture ("no such file", the decoder's reason)
};

// One [Needle] of the panel file, where and how the host draws it.
struct CabNeedle {
    int element = 0;      // PanelElement::order: its place among the panel's elements
    PanelSpot section;    // its [Needle] line
    std::string subject;  // as written
    int32_t entry = -1;   // atsN: N; -1 for a host quantity
    std::string quantity; // a host quantity it reads ("kmph"), lower case; "" for an entry
    int picture = -1;     // index into CabScene::pictures; -1: no DaytimeImage
    PanelPoint location;  // the pivot, panel units
    PanelPoint origin;    // the picture's pixel that sits on the pivot
    double scale = 1.0;   // by Radius
    int layer = 0;
    NeedleMapping mapping;
    bool function = false; // drawn by a host formula, which the tool does not evaluate
};

struct CabScene {
    std::string panelPath;
    CabPicture background;
    std::vector<CabPicture> pictures; // each distinct needle picture once
    std::vector<CabNeedle> needles;   // drawing order: Layer ascending, equal layers in file order
    double width = 0.0;               // the panel's extent, panel units: the background's
    double height = 0.0;              // size, or what the needles span when it has none
    std::vector<std::string> filesRead; // the panel file and every picture found
};

// The scene from a panel file read and its pictures loaded (LoadPanelPictures).
CabScene BuildCabScene(const PanelFile& panel, const PanelPictures& pictures);
// Reads the panel file and its pictures. Throws InputError when the file cannot be read; a
// picture that cannot be read becomes a placeholder.
CabScene ReadCabScene(const std::string& panelPath);

// The screen convention of a gauge that writes these entries: that of the first needle in the
// panel file on one of them whose mapping turns 1 degree per 1000 units; nothing when none
// does.
std::optional<AngleConvention> ConventionOfEntries(const CabScene& scene,
                                                   const std::vector<int32_t>& entries);

// What turns a needle in a run.
enum class CabDrive {
    kEntry,    // a panel entry a gauge writes
    kQuantity, // a host quantity the scenario sets
    kRest,     // nothing the run has: it stands at its Minimum
};

struct CabNeedleMotion {
    CabDrive drive = CabDrive::kRest;
    int32_t gauge = -1; // the gauge that writes its entry (the first, when several do)
    // Why it does not move, for kRest: "no gauge writes entry 40", "the scenario has no bc".
    std::string rest;
    std::vector<double> angles; // screen degrees (0 up, clockwise) per frame the run kept
};

// Per needle of the scene, in its order: the angle the host draws it at in every frame the
// recorder kept, by the needle's own mapping of the value the run put in its entry or
// quantity; a needle the run gives nothing at its Minimum's angle.
std::vector<CabNeedleMotion> MoveCab(const CabScene& scene, const DialRecorder& recorder);

// The cab's figure, the same for every run of one scene: an SVG of the panel's picture with
// every needle (group .cab-needle, data-needle = its index) turned to its rest angle by an
// inner group .cab-turn whose transform is "rotate(DEGREES)"; each picture is in <defs> once
// and every needle that uses it refers to it.
std::string CabSvg(const CabScene& scene);
// The motion as the page's data takes it: [{"gauge", "drive", "rest", "angle": [runs]}].
nlohmann::ordered_json CabMotionJson(const std::vector<CabNeedleMotion>& motion);

} // namespace mirevane::tool
