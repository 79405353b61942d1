// `mirevane calibrate`: a gauge's calibration table from the marks of its dial picture, and for
// an oval dial its Flattening and RotateAngle from points on the rim; printed in the files'
// own formats, or saved into the cab through the studio's safe save.
#pragma once

#include "dial/angle_convention.h"
#include "panel/panel_discovery.h"

#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

struct CalibrateOptions {
    std::string argument;   // PATH as given, for messages
    std::string pluginPath; // the path the host would hand the plug-in
    int gauge = 0;
    std::string hub;                // "X,Y"; empty: not given (the panel's needle gives it)
    std::string angles;             // empty: not given (the panel's needle, or the default up-cw)
    PanelOptions panel;             // --panel, --no-panel
    std::vector<std::string> marks; // "VALUE@X,Y"
    std::vector<std::string> rim;   // "X,Y"
    bool replace = false;           // the marks make the whole table
    std::optional<double> turns;    // the scale's sweep, when the marks cannot tell it
    bool write = false;
};

// Returns the exit status; throws InputError for anything it refuses (exit status 2).
int CalibrateCommand(const CalibrateOptions& options);

} // namespace mirevane::tool
