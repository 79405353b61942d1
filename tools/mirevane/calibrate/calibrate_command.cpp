#include "calibrate/calibrate_command.h"

#include "calibrate/calibration.h"
#include "calibrate/ellipse_fit.h"
#include "common/number_text.h"
#include "common/tool_error.h"
#include "gauges/c_mirevane.h"
#include "workspace/workspace.h"

#include <iostream>

namespace mirevane::tool {
namespace {

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

// What the options ask for: the marks and rim in picture pixels, and the rim about the hub as
// the fit takes it (empty: no --rim).
struct Asked {
    AngleConvention convention;
    CalibrationRequest request;
    std::vector<Point> rim;
};

Asked ReadOptions(const CalibrateOptions& o) {
    const std::optional<AngleConvention> convention = AngleConvention::Parse(o.angles);
    if (!convention) {
        throw Bad("--angles", o.angles, std::string("not ") + AngleConvention::kHelp);
    }
    Asked asked{*convention, {}, {}};
    CalibrationRequest& request = asked.request;
    request.hub = ReadPoint("--hub", o.hub);
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
        asked.rim.push_back(
            {request.rim.back().x - request.hub.x, request.rim.back().y - request.hub.y});
    }
    if (!asked.rim.empty() && asked.rim.size() < 5) {
        throw InputError("--rim", 0, 0,
                         "an ellipse needs five or more points on the rim, " +
                             std::to_string(asked.rim.size()) + " given",
                         "calibrate-option");
    }
    return asked;
}

// The oval's settings from the rim, put into the workspace so that the marks are read through
// the fitted ellipse, as the plug-in will draw them.
std::optional<EllipseFit> FitRim(Workspace& workspace, int gauge, const Asked& asked,
                                 EllipseSettingsText& settings) {
    if (asked.rim.empty()) {
        return std::nullopt;
    }
    const std::optional<EllipseFit> fit = FitEllipse(asked.rim, asked.convention);
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
Calibration CalibrateGauge(Workspace& workspace, int gauge, const Asked& asked) {
    workspace.LayOut();
    CMirevane gauges;
    gauges.Load(workspace.shadowPluginPath());
    const DialGeometry dial(gauges, gauge);
    try {
        return Calibrate(dial, asked.convention, TableRows(workspace.tableOf(gauge).current),
                         asked.request);
    } catch (const CalibrationRefused& e) {
        throw InputError(e.note().option, 0, 0, e.note().message, e.note().code);
    }
}

void Print(const CalibrateOptions& o, const Workspace& workspace, const Calibration& calibration,
           const std::optional<EllipseFit>& fit, const EllipseSettingsText& settings,
           std::size_t rimPoints) {
    std::cout << "; gauge " << o.gauge << ", table " << workspace.tableOf(o.gauge).path << ": "
              << calibration.reading.angles.size() << " marks, hub " << o.hub << ", --angles "
              << o.angles << "\n";
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
    const Asked asked = ReadOptions(o);
    try {
        Workspace workspace(o.pluginPath);
        if (o.gauge < 0 || o.gauge >= workspace.gaugeCount()) {
            throw InputError("--gauge", 0, 0,
                             std::to_string(o.gauge) + " is no gauge of " + o.argument +
                                 " (it has " + std::to_string(workspace.gaugeCount()) + ")",
                             "calibrate-option");
        }
        EllipseSettingsText settings;
        const std::optional<EllipseFit> fit = FitRim(workspace, o.gauge, asked, settings);
        const Calibration calibration = CalibrateGauge(workspace, o.gauge, asked);
        Print(o, workspace, calibration, fit, settings, asked.rim.size());
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
