#include "calibrate/calibrate_command.h"

#include "calibrate/ellipse_fit.h"
#include "calibrate/mark_angles.h"
#include "common/number_text.h"
#include "common/tool_error.h"
#include "gauges/c_mirevane.h"
#include "workspace/workspace.h"

#include <cmath>
#include <iostream>
#include <map>

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

// To the thousandth of a degree: far below what a needle image shows.
std::string Angle(double degrees) {
    return Shortest(std::round(degrees * 1000.0) / 1000.0 + 0.0);
}

} // namespace

int CalibrateCommand(const CalibrateOptions& o) {
    const std::optional<AngleConvention> convention = AngleConvention::Parse(o.angles);
    if (!convention) {
        throw Bad("--angles", o.angles, std::string("not ") + AngleConvention::kHelp);
    }
    const Point hub = ReadPoint("--hub", o.hub);
    std::vector<DialMark> marks;
    for (const std::string& text : o.marks) {
        const std::size_t at = text.find('@');
        DialMark mark;
        if (at == std::string::npos || !ReadNumber(text.substr(0, at), mark.value)) {
            throw Bad("--mark", text, "expected VALUE@X,Y: the mark's value, then where it is");
        }
        mark.picture = ReadPoint("--mark", text.substr(at + 1));
        marks.push_back(mark);
    }
    std::vector<Point> rim;
    for (const std::string& text : o.rim) {
        const Point p = ReadPoint("--rim", text);
        rim.push_back({p.x - hub.x, p.y - hub.y});
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
    std::string flattening;
    std::string rotate;
    if (!rim.empty()) {
        fit = FitEllipse(rim, *convention);
        if (!fit) {
            throw InputError("--rim", 0, 0, "the rim points lie on no ellipse about the hub",
                             "calibrate-option");
        }
        // The marks are then read through the fitted ellipse, as the plug-in will draw them.
        flattening = Shortest(std::round(fit->flattening * 1e4) / 1e4 + 0.0);
        rotate = Angle(fit->rotateDegrees);
        workspace.SetSetting(o.gauge, "Ellipse", "Flattening", flattening);
        workspace.SetSetting(o.gauge, "Ellipse", "RotateAngle", rotate);
    }
    workspace.LayOut();
    CMirevane gauges;
    gauges.Load(workspace.shadowPluginPath());
    const DialGeometry dial(gauges, o.gauge);
    const std::vector<MarkAngle> angles = AnglesForMarks(dial, *convention, hub, marks);

    std::cout << "; gauge " << o.gauge << ", table " << workspace.tableOf(o.gauge).path << ": "
              << angles.size() << " marks, hub " << o.hub << ", --angles " << o.angles << "\n";
    for (const MarkAngle& a : angles) {
        std::cout << Shortest(a.value) << "," << Angle(a.angle) << "\n";
    }
    if (fit) {
        std::cout
            << "; from " << rim.size() << " rim points, " << Rounded(fit->residualPixels, 3)
            << " px from the fitted ellipse (root mean square, along each point's "
               "radius); [Ellipse] of "
            << workspace.SettingFile(o.gauge, *Workspace::FindKey("Ellipse", "Flattening")).path
            << ":\n"
            << "Flattening = " << flattening << "\nRotateAngle = " << rotate << "\n";
    }
    if (!o.write) {
        return 0;
    }
    // The marks join the table: a row of the same value takes the new angle.
    std::map<double, double> rows;
    for (const TableRow& row : TableRows(workspace.tableOf(o.gauge).current)) {
        rows.emplace(row.value, row.angle);
    }
    for (const MarkAngle& a : angles) {
        rows[a.value] = std::round(a.angle * 1000.0) / 1000.0 + 0.0;
    }
    std::vector<TableRow> table;
    for (const auto& [value, angle] : rows) {
        table.push_back({value, angle});
    }
    workspace.SetTable(o.gauge, table);
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
