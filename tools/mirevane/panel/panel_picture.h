// The panel's pictures as the host draws them: decoded (BMP, PNG, GIF, JPEG) by a well-kept
// library, the transparent colour cut out, tinted, and written out again as PNG for a page.
#pragma once

#include "panel/panel_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mirevane::tool {

// Straight (not premultiplied) RGBA, rows top to bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// Decodes a picture's bytes; throws std::runtime_error with the decoder's reason ("unsupported
// BMP compression", "corrupt JPEG") when it cannot. Pictures over 16384 pixels a side are
// refused rather than decoded.
Picture DecodePicture(const std::string& bytes);
// Pixels of exactly this colour become fully transparent; a picture's own alpha is kept.
void CutTransparentColour(Picture& picture, PanelColour colour);
// Multiplies every pixel's colour by the tint (255: unchanged).
void Tint(Picture& picture, PanelColour tint);
// The picture as PNG bytes; throws std::invalid_argument for a picture without pixels.
std::string EncodePng(const Picture& picture);
// The width and height of a picture's bytes without decoding it; throws like DecodePicture.
std::pair<int, int> PictureSize(const std::string& bytes);

// How far the picture reaches from its pivot: the greatest distance from `pivot` (picture
// pixels) to the far edge of an opaque pixel (alpha > 0), times `scale`. 0 for a picture
// with no opaque pixel.
double OpaqueReach(const Picture& picture, PanelPoint pivot, double scale);

} // namespace mirevane::tool
