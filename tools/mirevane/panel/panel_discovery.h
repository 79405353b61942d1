// Which panel file belongs to a cab: the one given with --panel, or the one found beside the
// library or up to two folders above it, preferring the folder whose ats.cfg names this
// library. Said in one line wherever a command reports.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mirevane::tool {

struct PanelOptions {
    std::string panel; // --panel FILE; empty: look for one
    bool noPanel = false;
};

struct PanelChoice {
    std::string path;   // the panel file to read; empty: none
    bool given = false; // named with --panel
    // One line for the report: "panel: Train/panel2.cfg (found: Train/ats.cfg names this
    // library; --no-panel leaves it out)", "panel: none found beside Cab/Mirevane.dll or up
    // to two folders above it (--panel FILE names one)", "panel: the cab is 3D: the wiring
    // check reads 2D panel files only", "panel: none (--no-panel)".
    std::string said;
    // Further notes: an ats.cfg beside the panel that names another library.
    std::vector<std::string> notes;
};

// libraryPath: the plug-in's library (or its main profile), as the commands take it.
PanelChoice ChoosePanel(const std::string& libraryPath, const PanelOptions& options);

// The choice as a command whose standard output is data says it on standard error: the line
// said, then each note.
void SayPanelChoice(std::ostream& out, const PanelChoice& choice);

} // namespace mirevane::tool
