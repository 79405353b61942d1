// Inside `check`: the checker that its parts (profile lines, table, drawing, gauge set) share,
// and the small text helpers of their messages.
#pragma once

#include "check/check.h"
#include "config/settings_model.h"
#include "dynamics/scale_table_file.h"
#include "gauges/c_mirevane.h"
#include "panel/panel_file.h"
#include "panel/panel_images.h"
#include "profile/format_lookup.h"
#include "profile/profile_scan.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mirevane::tool {

// A profile Load built a gauge from, as Load reported it.
struct Profile {
    std::string path; // the .ini
    std::string table;
    SettingsModel settings; // as read: its own profile over the fallback over the defaults
    bool main = false;
};

struct Where {
    std::string file;
    int line = 0;
    int column = 0;
};

// Where a table's points came from.
struct TableLines {
    std::map<double, int> lineOfValue; // the line that gave the value its angle
    int firstSkipped = 0;              // the first line that gave no point and is not blank
    // UTF-16, a folder, or a spreadsheet's semicolons: one error says what the table is, and
    // what follows from it (an empty table, angles that turn back) is not listed.
    bool unreadable = false;
};

// A per-line warning of a table, held back until the whole table is read (Checker::AddCollapsed).
struct LineFinding {
    const char* code;
    Where where;
    std::string message;
};

// One gauge under check: what the plug-in built and the lines that built it.
struct GaugeUnderCheck {
    const Subject& subject;
    const SettingsModel& settings;
    const Profile& profile;
    GaugeSummary& summary;
    std::string name; // "gauge 3", for messages
};

class Checker {
public:
    explicit Checker(CheckReport& report) : report_(report) {}

    void Run(const std::string& path, const PanelReading& panel);

private:
    friend class LoadRecord;

    // Severity comes from the code's entry in the diagnostics registry.
    void Add(const char* code, const Where& where, const std::string& message);
    void Add(const char* code, const std::string& file, int line, const std::string& message) {
        Add(code, Where{file, line, 0}, message);
    }

    const ProfileScan& Scan(const std::string& path);
    // The line that set a key for this profile: its own, else the fallback profile's.
    Where Locate(const Profile& profile, const std::string& section, const std::string& key);

    // profile.cpp
    void CheckProfileLines(const std::string& path, const SettingsModel& model, bool further);
    void CheckKeyLine(const std::string& path, const ProfileKeyLine& line, const SettingKey& known,
                      const SettingsModel& model);
    void CheckUnknownKey(const std::string& path, const ProfileKeyLine& line);
    // table.cpp
    // Returns the lines its points came from, for the checks of the points.
    TableLines CheckTable(GaugeSummary& gauge);
    // False, with its one error, for a table that is a folder or saved as UTF-16.
    bool CheckTableReadable(const GaugeSummary& gauge);
    // A row as the plug-in read it: a point (a value again, a row read in part) or skipped.
    void CheckTableRow(const std::string& file, int number, const std::string& text,
                       const TableLine& parsed, bool mark, std::map<double, int>& lineOfValue,
                       std::vector<LineFinding>& findings);
    void CheckPartlyRead(const std::string& file, int number, const std::string& text,
                         const TableLine& parsed, std::vector<LineFinding>& findings);
    // The first few findings of each kind in full, the rest as one line with their count, so
    // that a table written the wrong way throughout does not bury the report.
    void AddCollapsed(const std::vector<LineFinding>& findings);
    void CheckTablePoints(const GaugeUnderCheck& c, const TableLines& lines,
                          const std::vector<std::pair<double, double>>& points);
    // drawing.cpp
    void CheckSubject(const GaugeUnderCheck& c);
    void CheckDrawing(const GaugeUnderCheck& c);
    // A plain needle: its entry, or nothing drawn at all, and the damping it ignores.
    void CheckPlainNeedle(const GaugeUnderCheck& c);
    // An elliptic gauge: its division entries, their gaps and the entries left unused.
    void CheckEllipseEntries(const GaugeUnderCheck& c);
    // Divisions whose entry is outside 0..255, neighbours reported together as one gap.
    void CheckDivisionGaps(const GaugeUnderCheck& c, const Where& division);
    // Ellipse entries set but never drawn: beyond Division, or all but one on a round dial.
    void CheckUnusedEllipseEntries(const GaugeUnderCheck& c);
    // A gauge with neither a Needle nor a Division: blamed on the line that most likely meant
    // one of them (a misspelt key or section), else on the profile as a whole.
    void CheckDrawsNothing(const GaugeUnderCheck& c);
    void CheckVibration(const GaugeUnderCheck& c);
    // oval_needle.cpp
    // Damping that never settles or is switched off, and a flattening outside 0 to 1.
    void CheckOvalNeedle(const GaugeUnderCheck& c);
    // gauge_set.cpp
    void CheckGaugeSet(const CMirevane& gauges, const Profile& main);
    // The line that gives gauge g the panel entry: its Needle, or the first drawn EllipseN.
    Where LocateEntry(const CMirevane& gauges, int32_t g, int32_t entry);

    void CheckGauge(const CMirevane& gauges, int32_t g, const Profile& profile);

    // panel.cpp
    // The chosen panel file: read, its own problems, its pictures, then its wiring.
    void CheckPanel(const CMirevane& gauges, const PanelReading& reading);
    void CheckPanelPictures(const PanelFile& panel, const PanelPictures& pictures);
    // wiring.cpp
    // The entries the gauges write against the elements that read them.
    void CheckWiring(const CMirevane& gauges, const PanelFile& panel,
                     const PanelPictures& pictures);
    // A needle on an entry gauge g writes: Function, scale, Backstop, damping.
    void CheckWiredNeedle(const CMirevane& gauges, int32_t g, const PanelFile& panel,
                          const PanelElement& needle);
    void CheckBackstop(const CMirevane& gauges, int32_t g, const PanelFile& panel,
                       const PanelElement& needle);
    // The images of one elliptic gauge: one hub, and lengths in the order the gauge uses them.
    void CheckOvalImages(const CMirevane& gauges, int32_t g, const PanelFile& panel,
                         const PanelPictures& pictures);

    CheckReport& report_;
    std::map<std::string, ProfileScan> scans_;
    std::vector<Profile> profiles_;
};

// Where a key or section of the panel file stands.
Where At(const PanelFile& panel, const PanelSpot& spot);
// A profile or table name that names a folder: the plug-in reads nothing from it.
bool IsFolder(const std::string& path);
// A file the check could not find may exist under another letter case: Windows would open
// it, a case-sensitive file system does not. " ('name' differs only in letter case ...)" or "".
std::string NotFoundHint(const std::string& path);
std::string Quoted(const std::string& text);
// At most 40 characters of a line, for quoting it in a message; control bytes as \xNN.
std::string Shortened(const std::string& text);

} // namespace mirevane::tool
