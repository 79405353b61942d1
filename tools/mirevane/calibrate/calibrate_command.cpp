#include "calibrate/calibrate_command.h"

#include "calibrate/calibration.h"
#include "calibrate/ellipse_fit.h"
#include "calibrate/gauge_needle.h"
#include "common/gauge_entries.h"
#include "common/number_text.h"
#include "common/tool_error.h"
#include "gauges/c_mirevane.h"
#include "workspace/workspace.h"

#include <cmath>
#include <iostream>

namespace mirevane::tool {
namespace {

// A --hub that agrees with the panel's Location: the same point, as typed.
constexpr double kSamePixel = 1e-6;

InputError Bad(const std::string& option, const std::string& text, const std::string& why) {
    return InputError(option, 0, 0, "'" + text + "': " + why, "calibrate-option");
}

Point ReadPoint(const std::string& option, const std::string& text) {
    const std::size_t comma = text.find(',');
    Point p;
    if (comma == std::string::npos || !ReadNumber(text.substr(0, comma), p.x) ||
        !ReadNumber(text.substr(comma + 1), p.y)) {
        throw Bad(option, text, "expected X,Y in pixels of the picture");
    }
    return p;
}

std::string NoteLine(const CalibrationNote& note) {
    const DiagnosticKind& kind = DiagnosticOf(note.code);
    return DiagnosticLine({note.option, 0, 0, kind.severity, note.message, kind.code});
}

// The diagnostic a refusal of the workspace is reported as.
const char* CodeOf(RefusalReason reason) {
    switch (reason) {
    case RefusalReason::kSaveInProgress:
        return "save-refused";
    case RefusalReason::kPrivateFolderFailed:
        return "output-unwritable";
    case RefusalReason::kNoSuchGauge:
    case RefusalReason::kNotAKey:
    case RefusalReason::kGaugeListKey:
    case RefusalReason::kBadValue:
    case RefusalReason::kOutsideTheCab:
    case RefusalReason::kLeadsOutOfTheCab:
    case RefusalReason::kUnreadableByPlugin:
    case RefusalReason::kNotReplaceable:
        break;
    }
    return "cab-file-refused";
}

// What the options ask for: the marks and rim in picture pixels; the hub and the convention
// when given (a panel's needle gives them otherwise).
struct Asked {
    std::optional<Point> hub;
    std::optional<AngleConvention> convention;
    CalibrationRequest request;
};

Asked ReadOptions(const CalibrateOptions& o) {
    Asked asked;
    if (!o.angles.empty()) {
        asked.convention = AngleConvention::Parse(o.angles);
        if (!asked.convention) {
            throw Bad("--angles", o.angles, std::string("not ") + AngleConvention::kHelp);
        }
    }
    if (!o.hub.empty()) {
        asked.hub = ReadPoint("--hub", o.hub);
    }
    CalibrationRequest& request = asked.request;
    request.replace = o.replace;
    request.turns = o.turns;
    for (const std::string& text : o.marks) {
        const std::size_t at = text.find('@');
        DialMark mark;
        if (at == std::string::npos || !ReadNumber(text.substr(0, at), mark.value)) {
            throw Bad("--mark", text, "expected VALUE@X,Y: the mark's value, then where it is");
        }
        mark.picture = ReadPoint("--mark", text.substr(at + 1));
        request.marks.push_back(mark);
    }
    for (const std::string& text : o.rim) {
        request.rim.push_back(ReadPoint("--rim", text));
    }
    if (!request.rim.empty() && request.rim.size() < 5) {
        throw InputError("--rim", 0, 0,
                         "an ellipse needs five or more points on the rim, " +
                             std::to_string(request.rim.size()) + " given",
                         "calibrate-option");
    }
    return asked;
}

// Where the hub and the convention come from, for the output's first line.
struct Frame {
    AngleConvention convention;
    std::string said;
};

// With a panel the gauge's needle gives the hub and the convention; a --hub or --angles given
// as well is taken only when it agrees, so that a script that names them keeps working and a
// picture of another size is not read as the panel's.
Frame FromPanel(Workspace& workspace, const CalibrateOptions& o, const std::string& panelPath,
                Asked& asked) {
    workspace.LayOut();
    CMirevane gauges;
    gauges.Load(workspace.shadowPluginPath());
    const GaugeNeedle needle =
        FindGaugeNeedle(ReadPanelFile(panelPath), o.gauge, EntriesWrittenBy(gauges, o.gauge));
    const std::string instead =
        ": leave it out, or give --no-panel to calibrate on another picture";
    if (asked.hub && (std::fabs(asked.hub->x - needle.hub.x) > kSamePixel ||
                      std::fabs(asked.hub->y - needle.hub.y) > kSamePixel)) {
        throw Bad("--hub", o.hub, "the gauge turns about " + needle.Said() + instead);
    }
    if (asked.convention && !SameConvention(*asked.convention, needle.convention)) {
        throw Bad("--angles", o.angles, "the gauge is drawn by " + needle.Said() + instead);
    }
    asked.hub = needle.hub;
    asked.convention = needle.convention;
    return {needle.convention, "on the panel picture, hub and convention from " + needle.Said()};
}

Frame FromOptions(const CalibrateOptions& o, Asked& asked) {
    if (!asked.hub) {
        throw InputError("--hub", 0, 0,
                         "where the needle turns is not known: give --hub X,Y, or the cab's "
                         "panel file with --panel FILE, whose needle gives it",
                         "calibrate-option");
    }
    if (!asked.convention) {
        asked.convention = AngleConvention::Parse(AngleConvention::kDefault);
    }
    return {*asked.convention, "hub " + o.hub + ", --angles " +
                                   (o.angles.empty() ? AngleConvention::kDefault : o.angles)};
}

// The oval's settings from the rim, put into the workspace so that the marks are read through
// the fitted ellipse, as the plug-in will draw them.
std::optional<EllipseFit> FitRim(Workspace& workspace, int gauge, const Asked& asked,
                                 EllipseSettingsText& settings) {
    if (asked.request.rim.empty()) {
        return std::nullopt;
    }
    std::vector<Point> aboutHub;
    for (const Point& p : asked.request.rim) {
        aboutHub.push_back({p.x - asked.hub->x, p.y - asked.hub->y});
    }
    const std::optional<EllipseFit> fit = FitEllipse(aboutHub, *asked.convention);
    if (!fit) {
        throw InputError("--rim", 0, 0, "the rim points lie on no ellipse about the hub",
                         "calibrate-option");
    }
    settings = SettingsText(*fit);
    workspace.SetSetting(gauge, "Ellipse", "Flattening", settings.flattening);
    workspace.SetSetting(gauge, "Ellipse", "RotateAngle", settings.rotateAngle);
    return fit;
}

// The marks read through the gauge as the plug-in loads the workspace.
Calibration CalibrateGauge(Workspace& workspace, int gauge, Asked& asked) {
    workspace.LayOut();
    CMirevane gauges;
    gauges.Load(workspace.shadowPluginPath());
    const DialGeometry dial(gauges, gauge);
    asked.request.hub = *asked.hub;
    try {
        return Calibrate(dial, *asked.convention, TableRows(workspace.tableOf(gauge).current),
                         asked.request);
    } catch (const CalibrationRefused& e) {
        throw InputError(e.note().option, 0, 0, e.note().message, e.note().code);
    }
}

void Print(const CalibrateOptions& o, const Workspace& workspace, const Frame& frame,
           const Calibration& calibration, const std::optional<EllipseFit>& fit,
           const EllipseSettingsText& settings, std::size_t rimPoints) {
    std::cout << "; gauge " << o.gauge << ", table " << workspace.tableOf(o.gauge).path << ": "
              << calibration.reading.angles.size() << " marks, " << frame.said << "\n";
    for (const MarkAngle& a : calibration.reading.angles) {
        std::cout << Shortest(a.value) << "," << Shortest(RowAngle(a.angle)) << "\n";
    }
    std::cout << "; " << SenseText(calibration.reading.sense) << "\n";
    if (fit) {
        std::cout
            << "; from " << rimPoints << " rim points, " << Rounded(fit->residualPixels, 3)
            << " px from the fitted ellipse (root mean square, along each point's "
               "radius); [Ellipse] of "
            << workspace.SettingFile(o.gauge, *Workspace::FindKey("Ellipse", "Flattening")).path
            << ":\n"
            << "Flattening = " << settings.flattening << "\nRotateAngle = " << settings.rotateAngle
            << "\n";
    }
    for (const CalibrationNote& note : calibration.warnings) {
        std::cerr << NoteLine(note) << "\n";
    }
}

std::string Listed(const std::vector<std::string>& files) {
    std::string list;
    for (const std::string& f : files) {
        list += (list.empty() ? "" : ", ") + f;
    }
    return list;
}

// The table saved into the cab through the studio's safe save.
void Write(int gauge, Workspace& workspace, const Calibration& calibration) {
    if (const std::optional<CalibrationNote> kept = KeptRowsNote(calibration.table)) {
        std::cerr << NoteLine(*kept) << "\n";
    }
    workspace.SetTable(gauge, calibration.table.rows);
    const SaveOutcome outcome = workspace.Save(false);
    if (!outcome.conflicts.empty()) {
        throw InputError(Listed(outcome.conflicts), 0, 0,
                         "changed on disk while calibrating: nothing was saved", "save-refused");
    }
    if (!outcome.saved) {
        throw InputError(Listed(outcome.backupsInTheWay), 0, 0,
                         "an older backup differs from the file: nothing was saved (move it "
                         "away to keep it, then run again)",
                         "save-refused");
    }
    for (const CabFile& f : workspace.files()) {
        for (const std::string& written : outcome.written) {
            if (written == f.path) {
                std::cout << "wrote " << f.path
                          << (f.firstRead ? " (the original is kept as " + f.path + ".bak)" : "")
                          << "\n";
            }
        }
    }
}

} // namespace

int CalibrateCommand(const CalibrateOptions& o) {
    Asked asked = ReadOptions(o);
    // Said first: standard output is the rows.
    const PanelChoice panel = ChoosePanel(o.pluginPath, o.panel);
    SayPanelChoice(std::cerr, panel);
    try {
        Workspace workspace(o.pluginPath);
        if (o.gauge < 0 || o.gauge >= workspace.gaugeCount()) {
            throw InputError("--gauge", 0, 0,
                             std::to_string(o.gauge) + " is no gauge of " + o.argument +
                                 " (it has " + std::to_string(workspace.gaugeCount()) + ")",
                             "calibrate-option");
        }
        const Frame frame =
            panel.path.empty() ? FromOptions(o, asked) : FromPanel(workspace, o, panel.path, asked);
        EllipseSettingsText settings;
        const std::optional<EllipseFit> fit = FitRim(workspace, o.gauge, asked, settings);
        const Calibration calibration = CalibrateGauge(workspace, o.gauge, asked);
        Print(o, workspace, frame, calibration, fit, settings, asked.request.rim.size());
        if (o.write) {
            Write(o.gauge, workspace, calibration);
        }
        return 0;
    } catch (const EditRefused& e) {
        // Located at the file refused, so that an editor can open it.
        throw InputError(e.file().empty() ? o.argument : e.file(), 0, 0, e.what(),
                         CodeOf(e.reason()));
    }
}

} // namespace mirevane::tool
