// The --dial option: a picture of a gauge's real dial face, drawn under its needles on the
// dial page so that the calibration can be checked against it.
#pragma once

#include "dial/svg.h"

#include <cstdint>
#include <string>

namespace mirevane::tool {

struct DialFaceOption {
    int32_t gauge = 0;
    std::string path;
    DialFace face; // all but the picture and its size, read by LoadDialFace
};

// "GAUGE=image.png,cx,cy,r": the gauge number, the PNG file, and its hub (cx, cy) and the
// dial's radius r in the picture's pixels. Throws InputError on anything else.
DialFaceOption ParseDialFace(const std::string& text);

// Reads the PNG file into the face: its size from the header, the bytes as a data: URI.
// Throws InputError when the file cannot be read or is not a PNG picture.
DialFace LoadDialFace(const DialFaceOption& option);

} // namespace mirevane::tool
