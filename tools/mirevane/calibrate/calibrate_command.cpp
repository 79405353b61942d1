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

} // namespace

int CalibrateCommand(const CalibrateOptions& o) {
    const std::optional<AngleConvention> convention = AngleConvention::Parse(o.angles);
    if (!convention) {
        throw Bad("--angles", o.angles, std::string("not ") + AngleConvention::kHelp);
    }
    CalibrationRequest request;
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
    std::vector<Point> rim;
    for (const std::string& text : o.rim) {
        request.rim.push_back(ReadPoint("--rim", text));
        rim.push_back({request.rim.back().x - request.hub.x, request.rim.back().y - request.hub.y});
    }
    if (!rim.empty() && rim.size() < 5) {
        throw InputError("--rim", 0, 0,
                         "an ellipse needs five or more points on the rim, " +
                             std::to_string(rim.size()) + " given",
                         "calibrate-option");
    }

    Workspace workspace(o.pluginPath);
    if (o.gauge < 0 || o.gauge >= workspace.gaugeCount()) {
        throw InputError("--gauge", 0, 0,
                         std::to_string(o.gauge) + " is no gauge of " + o.argument + " (it has " +
                             std::to_string(workspace.gaugeCount()) + ")",
                         "calibrate-option");
    }
    std::optional<EllipseFit> fit;
    EllipseSettingsText settings;
    if (!rim.empty()) {
        fit = FitEllipse(rim, *convention);
        if (!fit) {
            throw InputError("--rim", 0, 0, "the rim points lie on no ellipse about the hub",
                             "calibrate-option");
        }
        // The marks are then read through the fitted ellipse, as the plug-in will draw them.
        settings = SettingsText(*fit);
        workspace.SetSetting(o.gauge, "Ellipse", "Flattening", settings.flattening);
        workspace.SetSetting(o.gauge, "Ellipse", "RotateAngle", settings.rotateAngle);
    }
    workspace.LayOut();
    CMirevane gauges;
    gauges.Load(workspace.shadowPluginPath());
    const DialGeometry dial(gauges, o.gauge);
    Calibration calibration;
    try {
        calibration =
            Calibrate(dial, *convention, TableRows(workspace.tableOf(o.gauge).current), request);
    } catch (const CalibrationRefused& e) {
        throw InputError(e.note().option, 0, 0, e.note().message, e.note().code);
    }

    std::cout << "; gauge " << o.gauge << ", table " << workspace.tableOf(o.gauge).path << ": "
              << calibration.reading.angles.size() << " marks, hub " << o.hub << ", --angles "
              << o.angles << "\n";
    for (const MarkAngle& a : calibration.reading.angles) {
        std::cout << Shortest(a.value) << "," << Shortest(RowAngle(a.angle)) << "\n";
    }
    std::cout << "; " << SenseText(calibration.reading.sense) << "\n";
    if (fit) {
        std::cout
            << "; from " << rim.size() << " rim points, " << Rounded(fit->residualPixels, 3)
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
    if (!o.write) {
        return 0;
    }
    if (const std::optional<CalibrationNote> kept = KeptRowsNote(calibration.table)) {
        std::cerr << NoteLine(*kept) << "\n";
    }
    workspace.SetTable(o.gauge, calibration.table.rows);
    const SaveOutcome outcome = workspace.Save(false);
    if (!outcome.saved) {
        std::string files;
        for (const std::string& f : outcome.conflicts) {
            files += (files.empty() ? "" : ", ") + f;
        }
        if (!files.empty()) {
            throw InputError(files, 0, 0, "changed on disk while calibrating: nothing was saved",
                             "save-refused");
        }
        for (const std::string& f : outcome.backupsInTheWay) {
            files += (files.empty() ? "" : ", ") + f;
        }
        throw InputError(files, 0, 0,
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
    return 0;
}

} // namespace mirevane::tool
