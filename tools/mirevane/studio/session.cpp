#include "studio/session.h"

#include "calibrate/ellipse_fit.h"
#include "calibrate/gauge_needle.h"
#include "check/check.h"
#include "check/gauge_titles.h"
#include "common/diagnostic_line.h"
#include "common/gauge_entries.h"
#include "common/number_text.h"
#include "common/tool_error.h"
#include "dynamics/angle_units.h"
#include "gauges/c_mirevane.h"
#include "plot/svg_plot.h"
#include "profile/format_lookup.h"
#include "profile/profile_scan.h"
#include "replay/consumer_thread.h"
#include "replay/replay.h"
#include "replay/scenario_columns.h"
#include "studio/step_response.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace mirevane::tool {
namespace {

using nlohmann::json;

// What the page edits beside each dial, in its order: the subject, the tremble, the damping
// and the oval.
constexpr std::pair<const char*, const char*> kEditedKeys[] = {
    {"SubjectKey", "Subject"},   {"Vibration", "Amplitude"}, {"Vibration", "Period"},
    {"Vibration", "Threshold"},  {"Damping", "NaturalFreq"}, {"Damping", "DampingRatio"},
    {"Ellipse", "Flattening"},   {"Ellipse", "RotateAngle"}, {"Ellipse", "Division"},
    {"Ellipse", "StandbyAngle"},
};

// Keeps each gauge's dial geometry and panel entries as Load built them.
class GeometryKeeper : public FrameConsumer {
public:
    GeometryKeeper(std::vector<DialGeometry>& dials, std::vector<std::vector<int32_t>>& entries)
        : dials_(dials), entries_(entries) {}
    void Begin(const RunHeader& run) override {
        dials_.clear();
        entries_.clear();
        for (int32_t g = 0; run.gaugeSet != nullptr && g < run.gaugeSet->gaugeCount(); ++g) {
            dials_.emplace_back(*run.gaugeSet, g);
            entries_.push_back(EntriesWrittenBy(*run.gaugeSet, g));
        }
    }
    void Take(const FrameRecord&) override {}
    void End() override {}

private:
    std::vector<DialGeometry>& dials_;
    std::vector<std::vector<int32_t>>& entries_;
};

// The panel the studio uses, for the page to say: {"said", "notes", "picture": the name of
// the panel's picture as written, or null}.
json PanelJson(const PanelChoice& choice, const std::optional<PanelFile>& panel) {
    json picture = nullptr;
    if (panel && !panel->dayImage.name.empty()) {
        picture = panel->dayImage.name;
    }
    return {{"said", choice.said}, {"notes", choice.notes}, {"picture", picture}};
}

// The gauge's needle on the panel picture, where calibration there takes its hub and
// convention: {"hub": [x, y], "said"}, or {"refused": the diagnostic line saying why not}.
json NeedleJson(const PanelFile& panel, int gauge, const std::vector<int32_t>& entries) {
    try {
        const GaugeNeedle needle = FindGaugeNeedle(panel, gauge, entries);
        return {{"hub", {needle.hub.x, needle.hub.y}}, {"said", needle.Said()}};
    } catch (const InputError& e) {
        return {{"refused", e.Line()}};
    }
}

// Without a scenario: twenty seconds at 30 frames a second in which every gauge's source (a
// vehicle quantity, a panel or a sound entry) sweeps over the tables of the gauges that read
// it, from the lowest value of any of them to the highest in 10 s and back in 10 s more.
std::string SweepScenario(const CheckReport& report) {
    std::map<std::string, std::pair<double, double>> range; // column -> lowest, highest
    for (const GaugeSummary& g : report.gauges) {
        const std::string column = ScenarioColumnFor(g.subject);
        if (column.empty() || !g.table.found) {
            continue;
        }
        const auto [it, first] =
            range.emplace(column, std::pair{g.table.minValue, g.table.maxValue});
        if (!first) {
            it->second.first = std::min(it->second.first, g.table.minValue);
            it->second.second = std::max(it->second.second, g.table.maxValue);
        }
    }
    std::string header = "time";
    std::string low;
    std::string high;
    for (const auto& [column, ends] : range) {
        // Panel and sound entries hold whole numbers: the ends are rounded outwards.
        int entry = 0;
        const bool integer = FindScenarioColumn(column, entry)->integer;
        header += "," + column;
        low += "," + Shortest(integer ? std::floor(ends.first) : ends.first);
        high += "," + Shortest(integer ? std::ceil(ends.second) : ends.second);
    }
    return header + "\n0" + low + "\n10000" + high + "\n20000" + low + "\n";
}

// The cab's files: [{"path", "editable", "dirty"}].
json FilesJson(const Workspace& workspace) {
    json files = json::array();
    for (const CabFile& f : workspace.files()) {
        files.push_back(
            {{"path", f.path}, {"editable", f.editable}, {"dirty", f.current != f.base}});
    }
    return files;
}

// The settings the page edits beside gauge g's dial, each where it is written and what Load
// made of it; `scans` keeps each file scanned once per view.
json SettingsJson(const Workspace& workspace, const GaugeSummary& g,
                  std::map<const CabFile*, ProfileScan>& scans) {
    json settings = json::array();
    for (const auto& [section, name] : kEditedKeys) {
        const SettingKey& key = *Workspace::FindKey(section, name);
        const CabFile& file = workspace.SettingFile(g.number, key);
        auto scanned = scans.find(&file);
        if (scanned == scans.end()) {
            scanned = scans.emplace(&file, ScanProfileText(file.current)).first;
        }
        const ProfileKeyLine* line = scanned->second.Find(section, name);
        settings.push_back(
            {{"section", section},
             {"key", name},
             {"unit", std::string(key.row->unit) == kSubjectUnit ? g.unit : key.row->unit},
             {"meaning", key.row->meaning},
             {"file", file.path},
             {"line", line != nullptr ? line->line : 0},
             {"written", line != nullptr ? json(line->value) : json(nullptr)},
             {"edited", workspace.SettingEdited(g.number, key)},
             {"effective", CurrentText(g.settings, key)}});
    }
    return settings;
}

// The table's rows as its file holds them now, and which of them differ from the file on disk.
void AddRows(const Workspace& workspace, int n, json& gauge) {
    gauge["rows"] = json::array();
    gauge["rowsEdited"] = json::array();
    const CabFile& table = workspace.tableOf(n);
    const std::vector<TableRow> read = TableRows(table.base);
    for (const TableRow& row : TableRows(table.current)) {
        gauge["rows"].push_back({row.value, row.angle});
        // A row is matched by its value: a new value is a new row, a changed angle an edit.
        const auto same = std::find_if(read.begin(), read.end(),
                                       [&](const TableRow& r) { return r.value == row.value; });
        gauge["rowsEdited"].push_back(
            {same == read.end(), same == read.end() || same->angle != row.angle});
    }
}

// One gauge of the view (format above Session::View).
json GaugeJson(const Workspace& workspace, const GaugeSummary& g, const std::string& title,
               const DialPageContent& page, std::map<const CabFile*, ProfileScan>& scans) {
    const int n = g.number;
    json gauge;
    gauge["number"] = n;
    gauge["title"] = title;
    gauge["profile"] = workspace.profileOf(n).path;
    gauge["table"] = workspace.tableOf(n).path;
    gauge["elliptic"] = g.elliptic;
    gauge["settings"] = SettingsJson(workspace, g, scans);
    gauge["tableEdited"] = workspace.TableEdited(n);
    if (const auto face = page.faces.find(n); face != page.faces.end()) {
        const DialFace& f = face->second;
        gauge["face"] = {{"picture", f.dataUri},
                         {"width", f.width},
                         {"height", f.height},
                         {"hub", {f.hubX, f.hubY}},
                         {"radius", f.radius}};
    }
    AddRows(workspace, n, gauge);
    gauge["step"] = json::array();
    if (g.elliptic) {
        for (const auto& [t, y] : StepResponse(g.naturalFrequency, g.dampingRatio)) {
            gauge["step"].push_back({t, y});
        }
    }
    return gauge;
}

// The check's diagnostics of the edited cab, named by the cab's own paths.
json DiagnosticsJson(const Workspace& workspace, const CheckReport& report) {
    json diagnostics = json::array();
    for (const Diagnostic& d : report.diagnostics) {
        const Located shown{workspace.ShownPath(d.file),    d.line,      d.column, d.kind->severity,
                            workspace.ShownPath(d.message), d.kind->code};
        diagnostics.push_back({{"file", shown.file},
                               {"line", d.line},
                               {"column", d.column},
                               {"severity", SeverityName(d.kind->severity)},
                               {"code", d.kind->code},
                               {"message", shown.message},
                               {"text", DiagnosticLine(shown)}});
    }
    return diagnostics;
}

// The dial page's parts of the run, named by the cab's own paths.
// The whole page holds the frames' data already: a view that carries the page leaves it out
// of the parts (a third of the first view's bytes on the example cab).
json RunJson(const Workspace& workspace, const DialPageWriter& page, bool withData) {
    const DialPageParts& parts = page.parts();
    const DialPagePlots plots = page.Plots();
    const auto shown = [&](const std::vector<std::string>& pieces) {
        json list = json::array();
        for (const std::string& piece : pieces) {
            list.push_back(workspace.ShownPath(piece));
        }
        return list;
    };
    json run = {{"note", workspace.ShownPath(parts.note)},
                {"dials", shown(parts.dials)},
                {"plotsHead", workspace.ShownPath(plots.head)},
                {"plots", shown(plots.gauges)},
                {"plotsTail", plots.tail}};
    if (withData) {
        run["data"] = workspace.ShownPath(parts.data);
    }
    return run;
}

} // namespace

namespace {

// The panel file as the check read it; one that cannot be read stops the studio's start.
std::optional<PanelFile> ReadablePanel(const PanelReading& reading) {
    if (!reading.error.empty()) {
        throw InputError(reading.choice.path, 0, 0, reading.error, "panel-unreadable");
    }
    return reading.file;
}

// The dial page of the studio's runs shows the cab of the panel chosen.
DialPageRequest WithPanel(DialPageRequest request, const PanelChoice& choice) {
    request.panel = choice.path;
    return request;
}

} // namespace

Session::Session(const StudioOptions& options)
    : options_(options), panelChoice_(ChoosePanel(options.pluginPath, options.panel)),
      panelReading_(ReadPanel(panelChoice_)), pictures_(ReadablePanel(panelReading_)),
      workspace_(options.pluginPath),
      scenario_(options.scenario.empty()
                    ? Scenario::Parse(SweepScenario(RunCheck(options.pluginPath)),
                                      "(a sweep of every gauge's range)",
                                      options.fps.value_or(30.0))
                    : Scenario::Read(options.scenario, options.fps)),
      page_(ReadDialPageRequest(WithPanel(options.page, panelChoice_))) {}

// {
//   "cab": PATH as given, "scenario": its name, "dirty": any unsaved edit,
//   "panel": {"said": which panel file is used, or that none is, "notes": [...],
//             "picture": the name of the panel's picture (GET /api/picture), or null},
//   "files": [{"path", "editable", "dirty"}],
//   "gauges": [{"number", "title", "profile", "table", "elliptic", "tableEdited",
//               "settings": [{"section", "key", "unit", "meaning", "file", "line",
//                             "written": text in the file or null, "edited",
//                             "effective": what Load made of it}],
//               "rows": [[value, angle], ...] as the table file holds them,
//               "rowsEdited": [[value edited, angle edited], ...] against the file on disk,
//               "step": [[seconds, fraction], ...] (empty: no damping),
//               "face": {"picture": data URI, "width", "height", "hub": [x, y], "radius"}
//                       (only for a gauge given --dial or a picture by /api/face),
//               "entries": the panel entries it writes,
//               "needle": with a panel, the gauge's needle on its picture: {"hub": [x, y],
//                         "said"}, or {"refused": why calibration there cannot be}}],
//   "diagnostics": [{"file", "line", "column", "severity", "code", "message",
//                    "text": the line as check writes it}],
//   "errors", "warnings", "summary": "1 error, 2 warnings",
//   "run": the dial page's parts of the run: {"note", "dials": [...], "plotsHead",
//          "plots": [...], "plotsTail", "data"} (dial/page.h; "data" only without "page"),
//   "page": the dial page of the run, as HTML (only when asked for)
// }
nlohmann::json Session::View(bool wholePage) {
    workspace_.LayOut();
    const CheckReport report = RunCheck(workspace_.shadowPluginPath(), panelReading_);

    const std::string title = "Mirevane studio: " + scenario_.path() + " on " + options_.argument;
    const std::vector<std::string> titles = GaugeTitles(report);
    SvgPlotWriter plot(nullptr, title, titles, KeyLabels(report));
    DialPageContent content = page_;
    content.title = title;
    content.gaugeTitles = titles;
    DialPageWriter page(nullptr, std::move(content), plot);
    GeometryKeeper geometry(dials_, entries_);
    // The plot and the page take the frames on a second core while the engine makes them,
    // and end side by side: the page is asked for its plots only after both ended.
    ConsumerThread drawing({&plot, &page});
    scenario_.Rewind();
    Replay(workspace_.shadowPluginPath(), scenario_, true, {&drawing, &geometry});

    json view;
    view["cab"] = options_.argument;
    view["scenario"] = scenario_.path();
    view["dirty"] = workspace_.dirty();
    view["panel"] = PanelJson(panelChoice_, pictures_.panel());
    view["files"] = FilesJson(workspace_);
    view["gauges"] = json::array();
    std::map<const CabFile*, ProfileScan> scans; // each file scanned once per view
    for (const GaugeSummary& g : report.gauges) {
        const auto n = static_cast<std::size_t>(g.number);
        json& gauge =
            view["gauges"].emplace_back(GaugeJson(workspace_, g, titles[n], page_, scans));
        gauge["entries"] = n < entries_.size() ? entries_[n] : std::vector<int32_t>();
        if (pictures_.panel() && n < entries_.size()) {
            gauge["needle"] = NeedleJson(*pictures_.panel(), g.number, entries_[n]);
        }
    }
    view["diagnostics"] = DiagnosticsJson(workspace_, report);
    view["errors"] = report.errors();
    view["warnings"] = report.warnings();
    view["summary"] = DiagnosticCounts(report.errors(), report.warnings());
    view["run"] = RunJson(workspace_, page, !wholePage);
    if (wholePage) {
        view["page"] = workspace_.ShownPath(page.Html());
    }
    return view;
}

const DialGeometry& Session::DialOf(int gauge) const {
    if (gauge < 0 || static_cast<std::size_t>(gauge) >= dials_.size()) {
        throw EditRefused(RefusalReason::kNoSuchGauge,
                          "there is no gauge " + std::to_string(gauge));
    }
    return dials_[static_cast<std::size_t>(gauge)];
}

AngleConvention Session::ConventionOf(int gauge) const {
    if (page_.cab != nullptr) {
        if (const std::optional<AngleConvention> own =
                ConventionOfEntries(*page_.cab, entries_[static_cast<std::size_t>(gauge)])) {
            return *own;
        }
    }
    return page_.convention;
}

double Session::TableAngleAt(int gauge, double x, double y, double near) const {
    const DialGeometry& dial = DialOf(gauge);
    const double frame = ConventionOf(gauge).FrameDegrees(Point{x, y});
    return dial.AngleDrawnAt(frame, near + 180.0) - 180.0;
}

nlohmann::json Session::ShowFace(int gauge, DialFace face) {
    DialOf(gauge); // refuses a gauge the run has not
    page_.faces[gauge] = std::move(face);
    return View(false);
}

// {"marks": [{"value", "angle", "entry", "drawn": screen degrees clockwise from right}],
//  "sense": {"sense": 1 rising, -1 falling, 0 one mark; "text"},
//  "rows": [[value, angle], ...] the table to edit in (null when refused),
//  "kept": [[value, angle], ...] present rows no mark gave,
//  "refused": null or {"option", "code", "message"}, "warnings": [{"option", "code", "message"}],
//  "fit": null or {"flattening", "rotateAngle", "residual" (px), "major": semi-axis (px),
//                  "outline": [[x, y], ...],
//                  "settings": {"Flattening", "RotateAngle"} as the profile takes them}}
nlohmann::json Session::Calibrate(int gauge, CalibrationRequest request, bool onPanel) const {
    const DialGeometry& dial = DialOf(gauge);
    AngleConvention convention = ConventionOf(gauge);
    const auto note = [](const CalibrationNote& n) {
        return json{{"option", n.option}, {"code", n.code}, {"message", n.message}};
    };
    json result;
    result["marks"] = json::array();
    result["sense"] = {{"sense", 0}, {"text", ""}};
    result["rows"] = nullptr;
    result["kept"] = json::array();
    result["refused"] = nullptr;
    result["warnings"] = json::array();
    result["fit"] = nullptr;
    if (onPanel) {
        // As `calibrate --panel`: the needle's Location is the hub, its mapping the convention.
        if (!pictures_.panel()) {
            throw EditRefused(RefusalReason::kBadValue, "the studio has no panel file");
        }
        try {
            const GaugeNeedle needle = FindGaugeNeedle(*pictures_.panel(), gauge,
                                                       entries_[static_cast<std::size_t>(gauge)]);
            request.hub = needle.hub;
            convention = needle.convention;
        } catch (const InputError& e) {
            result["refused"] = {
                {"option", "--panel"}, {"code", "calibrate-panel-needle"}, {"message", e.Line()}};
            return result;
        }
    }
    try {
        const tool::Calibration c = tool::Calibrate(
            dial, convention, TableRows(workspace_.tableOf(gauge).current), request);
        for (const MarkAngle& m : c.reading.angles) {
            const Point drawn = convention.ToScreen(dial.Locate(m.angle + 180.0).drawnDegrees, 1.0);
            result["marks"].push_back({{"value", m.value},
                                       {"angle", m.angle},
                                       {"entry", m.entry},
                                       {"drawn", std::atan2(drawn.y, drawn.x) * 180.0 / kPi}});
        }
        result["sense"] = {{"sense", c.reading.sense.sense}, {"text", SenseText(c.reading.sense)}};
        result["rows"] = json::array();
        for (const TableRow& row : c.table.rows) {
            result["rows"].push_back({row.value, row.angle});
        }
        for (const TableRow& row : c.table.kept) {
            result["kept"].push_back({row.value, row.angle});
        }
        for (const CalibrationNote& n : c.warnings) {
            result["warnings"].push_back(note(n));
        }
        // Every mark's value goes into the table at once here, so the kept rows are said too.
        if (const std::optional<CalibrationNote> kept = KeptRowsNote(c.table)) {
            result["warnings"].push_back(note(*kept));
        }
    } catch (const CalibrationRefused& e) {
        result["refused"] = note(e.note());
    }
    std::vector<Point> relative;
    for (const Point& p : request.rim) {
        relative.push_back({p.x - request.hub.x, p.y - request.hub.y});
    }
    if (relative.size() >= 5 && dial.elliptic()) {
        if (const std::optional<EllipseFit> fit = FitEllipse(relative, convention)) {
            // The fitted ellipse drawn over the picture: its points in the angle frame, turned
            // to the screen by the convention, about the hub.
            json outline = json::array();
            const double b = fit->minorPixels / fit->majorPixels;
            const double r = fit->rotateDegrees * kPi / 180.0;
            for (int k = 0; k <= 72; ++k) {
                const double t = k * 2.0 * kPi / 72;
                const Point frame{
                    fit->majorPixels * (std::cos(t) * std::cos(r) - b * std::sin(t) * std::sin(r)),
                    fit->majorPixels * (std::cos(t) * std::sin(r) + b * std::sin(t) * std::cos(r))};
                const Point screen = convention.ToScreen(frame);
                outline.push_back({request.hub.x + screen.x, request.hub.y + screen.y});
            }
            const EllipseSettingsText settings = SettingsText(*fit);
            result["fit"] = {
                {"flattening", fit->flattening},
                {"rotateAngle", fit->rotateDegrees},
                {"residual", fit->residualPixels},
                {"major", fit->majorPixels},
                {"outline", std::move(outline)},
                {"settings",
                 {{"Flattening", settings.flattening}, {"RotateAngle", settings.rotateAngle}}}};
        }
    }
    return result;
}

} // namespace mirevane::tool
