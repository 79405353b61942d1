#include "run/run_command.h"

#include "check/check.h"
#include "check/gauge_titles.h"
#include "common/diagnostic_line.h"
#include "common/output_file.h"
#include "common/tool_error.h"
#include "dial/face.h"
#include "panel/panel_file.h"
#include "plot/svg_plot.h"
#include "replay/replay.h"
#include "replay/scenario.h"
#include "run/progress_line.h"
#include "run/trace_csv.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

namespace mirevane::tool {
namespace {

void Warn(const std::string& file, int line, const std::string& message, const std::string& code) {
    const DiagnosticKind& kind = DiagnosticOf(code);
    std::cerr << DiagnosticLine({file, line, 0, kind.severity, message, kind.code}) << "\n";
}

bool IsSvgName(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    return extension.size() == 4 && (extension[1] | 0x20) == 's' && (extension[2] | 0x20) == 'v' &&
           (extension[3] | 0x20) == 'g';
}

// Every file the run reads: the scenario and what check says Load reads or looks for; the
// path the run was given, which may be the plug-in itself; the panel file and its pictures.
std::vector<NamedPath> FilesRead(const RunOptions& o, const CheckReport& report,
                                 const DialPageContent& page) {
    std::vector<NamedPath> reads{{"the scenario", o.scenario},
                                 {"the plug-in's path", o.argument},
                                 {"the main profile", report.mainProfile},
                                 {"the fallback profile", report.fallbackProfile}};
    for (const GaugeSummary& g : report.gauges) {
        const std::string gauge = "gauge " + std::to_string(g.number) + "'s ";
        reads.push_back({gauge + "profile", g.profile});
        reads.push_back({gauge + "table", g.tableFile});
    }
    for (const std::string& face : o.page.faces) {
        const DialFaceOption option = ParseDialFace(face);
        reads.push_back({"gauge " + std::to_string(option.gauge) + "'s dial picture", option.path});
    }
    for (std::size_t i = 0; page.cab != nullptr && i < page.cab->filesRead.size(); ++i) {
        reads.push_back(
            {i == 0 ? "the panel file" : "a picture of the panel", page.cab->filesRead[i]});
    }
    return reads;
}

// Rows far apart give a damped needle one step per row: it jumps where the cab would glide.
void WarnOfSparseRows(const Scenario& scenario, const CheckReport& report) {
    constexpr int64_t kSparseMs = 100;
    if (scenario.widestRowGap() <= kSparseMs) {
        return;
    }
    std::string damped;
    for (const GaugeSummary& g : report.gauges) {
        if (g.elliptic && g.naturalFrequency > 0.0) {
            damped += (damped.empty() ? "" : ", ") + std::to_string(g.number);
        }
    }
    if (!damped.empty()) {
        Warn(scenario.path(), scenario.widestRowGapLine(),
             "rows up to " + std::to_string(scenario.widestRowGap()) +
                 " milliseconds apart: the damped needles (gauge " + damped +
                 ") see one frame per row; add --fps 30 for frames in between",
             "sparse-frames");
    }
}

// The host sets its time back on a restart or a jump to another place: replayed as sent.
void WarnOfTimeJumps(const Scenario& scenario) {
    if (scenario.timeJumps() == 0) {
        return;
    }
    const std::size_t later = scenario.timeJumps() - 1;
    Warn(scenario.path(), scenario.firstJumpLine(),
         "the time goes back from " + std::to_string(scenario.firstJumpFrom()) + " to " +
             std::to_string(scenario.firstJumpTo()) +
             " milliseconds: the plug-in gets it as the host would send it, and the damped "
             "needles take it as a step of no time" +
             (later == 0 ? std::string()
                         : " (" + std::to_string(later) + " later jump" + (later == 1 ? "" : "s") +
                               " back not listed)") +
             "; plots and the page run on without it",
         "scenario-time-jump");
}

// Every output must be one the tool may write (no link, no folder) and none a file the run reads.
void RefuseOutputs(const RunOptions& o, const std::string& out, const CheckReport& report,
                   const DialPageContent& page) {
    std::vector<NamedPath> outputs{{"--out", out}};
    if (!o.plot.empty()) {
        outputs.push_back({"--plot", o.plot});
    }
    if (!o.page.path.empty()) {
        outputs.push_back({"--html", o.page.path});
    }
    for (const NamedPath& output : outputs) {
        RefuseUnsafeOutput(output.path, output.option);
    }
    RefuseOverlaps(outputs, FilesRead(o, report, page));
}

// What the replay will not say itself: jumps back in time, the check's errors and, without
// --fps, rows too far apart for a damped needle.
void WarnBeforeRun(const RunOptions& o, const Scenario& scenario, const CheckReport& report) {
    WarnOfTimeJumps(scenario);
    if (report.errors() > 0) {
        Warn(report.mainProfile, 0,
             "check finds " + std::to_string(report.errors()) +
                 (report.errors() == 1 ? " error" : " errors") +
                 " in this configuration: run 'mirevane check " + o.argument + "'",
             "check-errors");
    }
    if (!o.fps) {
        WarnOfSparseRows(scenario, report);
    }
}

} // namespace

int RunCommand(const RunOptions& o) {
    const std::string& path = o.pluginPath;
    const std::string out = o.out.empty() ? "-" : o.out;
    if (!o.plot.empty() && o.plot != "-" && !IsSvgName(o.plot)) {
        throw InputError(o.plot, 0, 0, "--plot draws SVG only: name a file ending in .svg",
                         "plot-not-svg");
    }
    RefuseFolderAsPath(o.argument);
    const CheckReport report = RunCheck(path);
    if (!report.mainFound) {
        throw InputError(o.argument, 0, 0,
                         "no main profile " + report.mainProfile +
                             ": the plug-in would build no gauge (run 'mirevane check')",
                         "not-a-profile");
    }

    // Which panel: said on standard error, as standard output is the trace. Only the page draws
    // it; without one the file is still read, so that a panel named wrong is never passed over.
    const PanelChoice panel = ChoosePanel(path, o.panel);
    SayPanelChoice(std::cerr, panel);
    DialPageContent page;
    if (!o.page.path.empty()) {
        DialPageRequest request = o.page;
        request.panel = panel.path;
        page = ReadDialPageRequest(request);
    } else if (!panel.path.empty()) {
        ReadPanelFile(panel.path);
    }
    RefuseOutputs(o, out, report, page);
    Scenario scenario = Scenario::Read(o.scenario, o.fps);
    WarnBeforeRun(o, scenario, report);

    // The plot and the page are opened first and committed first: a trace file that exists is
    // then always complete, they included. The page embeds the plot, so it needs one even when
    // --plot writes none.
    const std::string title = "Mirevane: " + scenario.path() + " on " + path;
    std::unique_ptr<OutputFile> plotFile;
    std::unique_ptr<SvgPlotWriter> plot;
    std::unique_ptr<OutputFile> pageFile;
    std::unique_ptr<DialPageWriter> pageWriter;
    std::vector<FrameConsumer*> consumers;
    if (!o.plot.empty() || !o.page.path.empty()) {
        if (!o.plot.empty()) {
            plotFile = std::make_unique<OutputFile>(o.plot);
        }
        plot = std::make_unique<SvgPlotWriter>(plotFile.get(), title, GaugeTitles(report),
                                               KeyLabels(report));
        consumers.push_back(plot.get());
    }
    if (!o.page.path.empty()) {
        pageFile = std::make_unique<OutputFile>(o.page.path);
        page.title = title;
        page.gaugeTitles = GaugeTitles(report);
        pageWriter = std::make_unique<DialPageWriter>(pageFile.get(), std::move(page), *plot);
        consumers.push_back(pageWriter.get());
    }
    OutputFile traceFile(out);
    TraceCsvWriter trace(traceFile, o.detail);
    consumers.push_back(&trace);
    ProgressLine progress;
    if (ProgressLine::StandardErrorIsTerminal()) {
        consumers.push_back(&progress);
    }
    Replay(path, scenario, o.detail || plot != nullptr, consumers);
    if (plotFile) {
        plotFile->Commit();
    }
    if (pageFile) {
        pageFile->Commit();
    }
    traceFile.Commit();
    return 0;
}

} // namespace mirevane::tool
