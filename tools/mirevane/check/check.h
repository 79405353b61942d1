// `mirevane check`: loads a cab's configuration with the plug-in's own Load, describes the
// gauges it built, and lists what the plug-in silently makes of every questionable line.
#pragma once

#include "common/diagnostics.h"
#include "common/gauge_description.h"
#include "config/settings_model.h"
#include "panel/panel_discovery.h"
#include "panel/panel_file.h"
#include "panel/panel_images.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirevane::tool {

struct Diagnostic {
    const DiagnosticKind* kind; // code, severity, summary and fix
    std::string file;
    int line = 0;   // 0: no particular line
    int column = 0; // 1-based byte column; 0: not known
    std::string message;
};

struct TableSummary {
    bool found = false;
    int points = 0;
    double minValue = 0.0;
    double maxValue = 0.0;
    double minAngle = 0.0; // before the scale's +180
    double maxAngle = 0.0;
};

// A gauge as the report shows it: the tool's description of it (subject: "kmph", "panel60",
// "nothing"), then what only the report tells.
struct GaugeSummary : GaugeDescription {
    int number = 0;
    std::string profile;
    std::string tableFile;
    std::string subjectText; // as written
    int32_t maxIndex = 255;
    int32_t needle = -1;
    double amplitude = 0.0;
    double period = 0.0;     // the setting: seconds per cycle at 10 km/h
    double wavelength = 0.0; // metres per cycle; 0: no tremble
    double threshold = 0.0;
    double naturalFrequency = 0.0; // rad/s; 0: no damping
    double dampingRatio = 0.0;
    int32_t division = 0; // the setting
    int32_t divisionCount = 0;
    double flattening = 0.0;
    double rotateAngle = 0.0;
    double standbyAngle = 0.0;
    std::vector<std::pair<double, int32_t>> divisionTable; // folded-angle bound -> entry
    TableSummary table;
    SettingsModel settings; // as Load read them: its own profile over the fallback, defaults
};

struct KeyBinding {
    std::string action;
    std::string name; // as written
    int32_t key = -1;
};

struct CheckReport {
    std::string path;
    std::string mainProfile;
    bool mainFound = false;
    std::string fallbackProfile; // as Load names it
    bool fallbackFound = false;
    std::vector<KeyBinding> keys;
    bool developerMode = false;
    double valueStep = 0.0;
    double angleStep = 0.0;
    double rotateStep = 0.0;
    std::vector<GaugeSummary> gauges;
    // The panel file whose wiring was checked, and how it was found; said empty: the check was
    // run without looking for one.
    PanelChoice panel;
    std::vector<Diagnostic> diagnostics;

    int errors() const;
    int warnings() const;
    int notes() const;
};

// The chosen panel file and its pictures, read once for as many checks as need them (the
// studio checks the cab after every edit; the panel is only ever read).
struct PanelReading {
    PanelChoice choice;
    std::optional<PanelFile> file; // nothing: none chosen, or it cannot be read (error says)
    PanelPictures pictures;
    std::string error;
};
PanelReading ReadPanel(const PanelChoice& choice);

// path: the library or its main profile (both name the same base). Without a panel choice no
// panel file is read.
CheckReport RunCheck(const std::string& path);
// The same, and the wiring of the chosen panel file (none when its path is empty).
CheckReport RunCheck(const std::string& path, const PanelChoice& panel);
CheckReport RunCheck(const std::string& path, const PanelReading& panel);

// Throws InputError (not-a-profile) when the PATH a command was given is a folder: the
// plug-in's library or its main profile is named, not the cab's folder.
void RefuseFolderAsPath(const std::string& argument);

} // namespace mirevane::tool
