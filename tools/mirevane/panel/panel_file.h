// The host's 2D panel file as the tool reads it: the sections that draw or read panel entries,
// each key with the line and column it stands on, so that every finding can be located. Only
// read, never written.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

// Where a key or a section header stands: 1-based; line 0 when absent.
struct PanelSpot {
    int line = 0;
    int column = 0;
};

struct PanelPoint {
    double x = 0.0;
    double y = 0.0;
};

struct PanelColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const PanelColour& o) const noexcept {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

// A key as written: its value (trimmed, comment cut) and where it stands.
struct PanelKey {
    std::string value;
    PanelSpot spot;      // of the key
    int valueColumn = 0; // of the value, 1-based
};

// A picture the panel names, relative to the panel file's folder, as written (decoded to UTF-8
// when the file is in code page 932). Empty name: none given.
struct PanelImageName {
    std::string name;
    PanelSpot spot;
};

// What a Subject reads: panel entry N for "atsN" (any letter case), else a host quantity by
// its name ("kmph", "bc", ...), lower-cased.
struct PanelSubject {
    std::string text; // as written
    int32_t entry = -1;
    std::string quantity;
};

enum class PanelElementKind {
    kNeedle,
    kPilotLamp,
    kLinearGauge,
    kDigitalNumber,
    kDigitalGauge,
    kTimetable,
    kWindscreen,
};

// The section name of a kind, as the host writes it ("Needle", "PilotLamp", ...).
const char* PanelElementName(PanelElementKind kind);

// The host's needle mapping: value -> screen angle, degrees, 0 pointing up and growing
// clockwise on the screen, extrapolated beyond the range; held between InitialAngle and
// LastAngle with Backstop.
struct NeedleMapping {
    double initialAngle = -120.0;
    double lastAngle = 120.0;
    double minimum = 0.0;
    double maximum = 1000.0;
    bool backstop = false;

    // Degrees per unit of the entry's value; not finite when Maximum equals Minimum.
    double DegreesPerUnit() const noexcept;
    // The screen angle the host draws for a value. Maximum == Minimum: InitialAngle.
    double ScreenDegrees(double value) const noexcept;
    // The value that the unclamped mapping takes to a screen angle; nothing when the mapping
    // does not turn (Maximum == Minimum or InitialAngle == LastAngle).
    std::optional<double> ValueAt(double screenDegrees) const noexcept;
    // True when the needle turns 1 degree per 1000 units in either sense (to 1e-9 relative).
    bool TurnsOneDegreePerThousand() const noexcept;
};

// One element of the panel that reads an entry or a quantity: every kind above; the needle's
// own keys filled for needles.
struct PanelElement {
    PanelElementKind kind = PanelElementKind::kNeedle;
    PanelSpot section; // the "[Needle]" line
    int order = 0;     // position among all elements of the file, from 0
    PanelSubject subject;
    PanelSpot subjectSpot; // line 0: no Subject key
    // Every key of the section by lower-cased name; the first of a name wins.
    std::map<std::string, PanelKey> keys;

    // Needle (and the location of any element that has one).
    PanelPoint location;
    PanelImageName dayImage;
    PanelImageName nightImage;
    PanelColour transparentColour{0, 0, 255};
    PanelColour colour{255, 255, 255};
    std::optional<PanelPoint> origin; // nothing: the picture's centre
    double radius = 0.0;
    NeedleMapping mapping;
    std::optional<double> naturalFrequency; // present when written
    std::optional<double> dampingRatio;
    int layer = 0;
    std::string function; // a host formula; empty when none

    // The key's spot, or the section's when the key is absent.
    PanelSpot SpotOf(const std::string& lowerCaseKey) const;
    // True when the host damps this needle itself: both keys given, neither negative.
    bool HostDamps() const noexcept;
};

struct PanelFile {
    std::string path;        // as opened
    std::string folder;      // the folder file names are relative to, with a trailing separator
    PanelImageName dayImage; // [This]
    PanelImageName nightImage;
    PanelColour transparentColour{0, 0, 255};
    std::vector<PanelElement> elements; // in file order
    // Problems of the file itself (a number that does not read, a colour not #RRGGBB): line,
    // column and text, reported by check as panel-syntax warnings.
    struct Problem {
        PanelSpot spot;
        std::string message;
    };
    std::vector<Problem> problems;

    // The first [Needle] on panel entry `entry` (the one a reader of the file meets first), or
    // nullptr.
    const PanelElement* NeedleOn(int32_t entry) const;
};

// Reads a panel file's text (UTF-8, or code page 932: names are decoded to UTF-8).
PanelFile ParsePanelText(const std::string& path, const std::string& text);
// Reads the file; throws InputError (code panel-unreadable) when it cannot be read.
PanelFile ReadPanelFile(const std::string& path);

} // namespace mirevane::tool
