// The panel file reader and the picture decoder on any bytes. The reader must give spots
// inside the text, elements in file order and subjects that are either an entry or a
// quantity, and read an ASCII text the same whatever the letter case of its ASCII letters. The
// decoder must refuse the bytes with std::runtime_error or give a picture within its bounds,
// of the size its header claims, that survives a PNG round trip.
#include "fuzz_check.h"
#include "panel/panel_file.h"
#include "panel/panel_picture.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace mirevane::tool {
namespace {

std::string Raised(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Whether the text is ASCII alone: in code page 932 an ASCII byte may stand inside a longer
// character, and raising it could change what the text decodes to.
bool AsciiStandsAlone(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

void CheckPanel(const std::string& text) {
    const PanelFile file = ParsePanelText("panel2.cfg", text);
    int lines = 1;
    for (const char c : text) {
        lines += c == '\n' || c == '\r';
    }
    const auto inside = [&](const PanelSpot& spot) {
        return spot.line >= 1 && spot.line <= lines && spot.column >= 1;
    };
    for (const PanelFile::Problem& problem : file.problems) {
        FUZZ_REQUIRE(inside(problem.spot) && !problem.message.empty(), problem.message);
    }
    for (std::size_t i = 0; i < file.elements.size(); ++i) {
        const PanelElement& element = file.elements[i];
        FUZZ_REQUIRE(element.order == static_cast<int>(i), std::to_string(element.order));
        FUZZ_REQUIRE(inside(element.section), std::to_string(element.section.line));
        // An entry, or else the text itself lower-cased as the quantity.
        const PanelSubject& subject = element.subject;
        FUZZ_REQUIRE(subject.entry >= 0
                         ? subject.quantity.empty()
                         : subject.entry == -1 && subject.quantity.size() == subject.text.size(),
                     subject.text);
        for (const auto& [name, key] : element.keys) {
            FUZZ_REQUIRE(inside(key.spot) && key.valueColumn > key.spot.column, name);
        }
    }

    if (!AsciiStandsAlone(text)) {
        return;
    }
    const PanelFile raised = ParsePanelText("panel2.cfg", Raised(text));
    FUZZ_REQUIRE(raised.elements.size() == file.elements.size() &&
                     raised.problems.size() == file.problems.size(),
                 "letter case changed the reading");
    for (std::size_t i = 0; i < file.elements.size(); ++i) {
        const PanelElement& a = file.elements[i];
        const PanelElement& b = raised.elements[i];
        const auto same = [](double x, double y) { return x == y || (x != x && y != y); };
        FUZZ_REQUIRE(a.kind == b.kind && a.subject.entry == b.subject.entry &&
                         same(a.mapping.initialAngle, b.mapping.initialAngle) &&
                         same(a.mapping.lastAngle, b.mapping.lastAngle) &&
                         same(a.mapping.minimum, b.mapping.minimum) &&
                         same(a.mapping.maximum, b.mapping.maximum) &&
                         a.mapping.backstop == b.mapping.backstop && a.colour == b.colour &&
                         a.transparentColour == b.transparentColour && a.layer == b.layer &&
                         a.origin.has_value() == b.origin.has_value() &&
                         a.HostDamps() == b.HostDamps(),
                     "element " + std::to_string(i) + " read otherwise in capitals");
    }
}

void CheckPicture(const std::string& bytes) {
    Picture picture;
    try {
        picture = DecodePicture(bytes);
    } catch (const std::runtime_error&) {
        return;
    }
    const std::string size = std::to_string(picture.width) + " x " + std::to_string(picture.height);
    FUZZ_REQUIRE(picture.width > 0 && picture.height > 0 && picture.width <= 16384 &&
                     picture.height <= 16384 &&
                     static_cast<long long>(picture.width) * picture.height <= 64LL << 20,
                 size);
    FUZZ_REQUIRE(
        picture.rgba.size() == static_cast<std::size_t>(picture.width) * picture.height * 4, size);
    FUZZ_REQUIRE(PictureSize(bytes) == std::make_pair(picture.width, picture.height), size);
    const double reach = OpaqueReach(picture, {picture.width / 2.0, picture.height / 2.0}, 1.0);
    FUZZ_REQUIRE(
        reach >= 0 && reach <= std::hypot(picture.width / 2.0, picture.height / 2.0) + 1e-9, size);
    if (static_cast<long long>(picture.width) * picture.height <= 4096) {
        const Picture back = DecodePicture(EncodePng(picture));
        FUZZ_REQUIRE(back.width == picture.width && back.height == picture.height &&
                         back.rgba == picture.rgba,
                     size + " changed in a PNG round trip");
    }
}

} // namespace
} // namespace mirevane::tool

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    mirevane::tool::CheckPanel(bytes);
    mirevane::tool::CheckPicture(bytes);
    return 0;
}
