#include "dial/face.h"

#include "common/number_text.h"
#include "common/tool_error.h"
#include "dial/data_uri.h"
#include "panel/panel_picture.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace mirevane::tool {

DialFaceOption ParseDialFace(const std::string& text) {
    const auto bad = [&](const std::string& why) {
        return InputError("--dial", 0, 0,
                          "'" + text + "': " + why + " (expected GAUGE=image.png,cx,cy,r)",
                          "page-option");
    };
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        throw bad("no '='");
    }
    DialFaceOption option;
    double gauge = 0.0;
    if (!ReadNumber(text.substr(0, equals), gauge) || gauge < 0 || gauge != std::floor(gauge) ||
        gauge > 64) {
        throw bad("the gauge is not a gauge number");
    }
    option.gauge = static_cast<int32_t>(gauge);
    // The numbers are the last three fields, so the file name may hold commas.
    std::string rest = text.substr(equals + 1);
    double numbers[3] = {};
    for (int i = 2; i >= 0; --i) {
        const std::size_t comma = rest.rfind(',');
        if (comma == std::string::npos || !ReadNumber(rest.substr(comma + 1), numbers[i])) {
            throw bad("cx, cy and r must be numbers");
        }
        rest.erase(comma);
    }
    if (rest.empty()) {
        throw bad("no image file");
    }
    if (!(numbers[2] > 0)) {
        throw bad("r must be above 0");
    }
    option.path = rest;
    option.face.hubX = numbers[0];
    option.face.hubY = numbers[1];
    option.face.radius = numbers[2];
    return option;
}

DialFace LoadDialFace(const DialFaceOption& option) {
    std::ifstream in(option.path, std::ios::binary);
    if (!in) {
        throw InputError(option.path, 0, 0, "cannot read the dial picture", "dial-picture");
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // The page embeds the picture as it is, as image/png.
    static const std::string kPngSignature = "\x89PNG\r\n\x1a\n";
    if (bytes.compare(0, kPngSignature.size(), kPngSignature) != 0) {
        throw InputError(option.path, 0, 0, "not a PNG picture", "dial-picture");
    }
    DialFace face = option.face;
    try {
        std::tie(face.width, face.height) = PictureSize(bytes);
    } catch (const std::runtime_error& error) {
        throw InputError(option.path, 0, 0, std::string("not a PNG picture: ") + error.what(),
                         "dial-picture");
    }
    face.dataUri = DataUri("image/png", bytes);
    return face;
}

} // namespace mirevane::tool
