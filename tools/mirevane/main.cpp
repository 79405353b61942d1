// mirevane: the plug-in's companion on the command line. It links the plug-in's own core, so
// what it reports is what the plug-in does with the same files.
#include "check.h"
#include "check_output.h"
#include "dial_page.h"
#include "loading/library_path.h"
#include "output_file.h"
#include "replay.h"
#include "scenario.h"
#include "svg_plot.h"
#include "tool_error.h"
#include "trace_csv.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <locale>
#include <optional>
#include <sstream>

namespace {

using namespace mirevane::tool;
using mirevane::LibraryPath;

constexpr const char* kPathHelp =
    "The plug-in's library or its main profile, e.g. Cab/Mirevane.dll or Cab/Mirevane.ini "
    "(both name the same files). The fallback profile ./Ats.ini is read from the current "
    "folder, as the host's working folder would be.";

constexpr const char* kMainFooter = R"(
Exit status: 0 when all is well, 1 when check found errors (with --strict also warnings),
2 for bad arguments or a scenario that cannot be read.

Examples:
  mirevane check Cab/Mirevane.dll
  mirevane run Cab/Mirevane.dll --scenario run.csv --out trace.csv --plot trace.svg
  mirevane run Cab/Mirevane.dll --scenario run.csv --fps 30 --html dials.html
Use "mirevane check --help" or "mirevane run --help" for more.)";

constexpr const char* kCheckFooter = R"(
check loads the files with the plug-in's own code and prints the key bindings and, per
gauge, its profile, what it reads, where it draws, its vibration, damping, ellipse and
table. Then every problem it found, as FILE:LINE: error|warning: text [code].
Errors (the gauge cannot show what you meant): no main profile; a table file missing,
empty or with one point; a subject that names nothing; a plain needle outside panel
entries 0..255; an elliptic gauge with no division entry in 0..255.
Warnings: unknown sections and keys (with the nearest known name), numbers that do not
read (the setting keeps its default), skipped table lines, byte order marks, further
gauge files not found, key names that bind no key, two gauges writing one entry, and
more. It cannot see the cab's panel picture: whether entry 20 is really the speedometer
needle, and whether the table's angles match the dial, only the simulator shows.)";

constexpr const char* kRunFooter = R"(
The scenario is a CSV file with a header row; column names in any letter case:
  time                   host time in ms (integer, required)
  location               metres; without it the train moves at the previous row's speed
  speed                  km/h
  bc mr er bp sap        pressures
  current                amperes, signed
  brake power reverser   handle positions, set when the cell is not empty
  keys                   host keys pressed before the frame: numbers 0..15 or names
                         (S A1 A2 B1 B2 C1 C2 D E F G H I J K L), separated by blanks or ;
  initialize             non-zero: the host's Initialize before the frame
  panelN soundN          entries N (0..255) the host sets in its arrays
Every row is one frame. An empty cell repeats the row before (0 in the first row), except
keys and initialize, where an empty cell means nothing happens.
With --fps N the rows are key frames: frames every 1000/N ms from the first to the last
row's time, numbers interpolated in between, keys and initialize firing at the first
frame at or after their row.
The trace is CSV: time, every panel entry a gauge can write (panelN, thousandths of a
degree), and clipboard (what the copy key copied in that frame). --detail adds per gauge
K: gK_value, gK_vibrated, gK_angle and, for elliptic gauges, gK_damped and gK_entry.)";

// The host always hands the plug-in its full path. A bare file name would make the Windows
// profile functions look for the profiles in the Windows folder, not in the current one:
// "./" keeps the name short in messages and the files where the cab builder means them.
std::string PluginPath(const std::string& argument) {
    const LibraryPath parts = LibraryPath::Split(argument);
    return parts.drive.empty() && parts.directory.empty() ? "./" + argument : argument;
}

std::vector<std::string> GaugeTitles(const CheckReport& report) {
    std::vector<std::string> titles;
    for (const GaugeSummary& g : report.gauges) {
        const std::string file = std::filesystem::path(g.profile).filename().string();
        std::string draws;
        if (g.entries.empty()) {
            draws = "draws on no panel entry";
        } else if (g.elliptic) {
            draws = "elliptic, entries " + std::to_string(g.entries.front()) + "\u2013" +
                    std::to_string(g.entries.back());
        } else {
            draws = "panel " + std::to_string(g.entries.front());
        }
        titles.push_back("Gauge " + std::to_string(g.number) + "  \u00b7  " + file + "  \u00b7  " +
                         g.subject + " \u2192 " + draws);
    }
    return titles;
}

int Check(const std::string& path, bool json, bool strict) {
    const CheckReport report = RunCheck(PluginPath(path));
    std::cout << (json ? CheckJson(report) : CheckText(report));
    std::cout.flush();
    if (report.errors() > 0 || (strict && report.warnings() > 0)) {
        return 1;
    }
    return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

int Run(const std::string& argument, const std::string& scenario, const std::string& out,
        std::optional<double> fps, bool detail, const std::string& plot,
        const DialPageRequest& page) {
    if (!out.empty() && SameFile(out, scenario)) {
        throw InputError(out, 0, "--out names the scenario itself");
    }
    if (!plot.empty() && SameFile(plot, scenario)) {
        throw InputError(plot, 0, "--plot names the scenario itself");
    }
    if (!page.path.empty() && SameFile(page.path, scenario)) {
        throw InputError(page.path, 0, "--html names the scenario itself");
    }
    DialPageContent pageContent = page.path.empty() ? DialPageContent{} : ReadDialPageRequest(page);
    const std::vector<Frame> frames = ReadScenario(scenario, fps);
    const std::string path = PluginPath(argument);
    const Trace trace = Replay(path, frames, detail || !plot.empty() || !page.path.empty());
    if (!trace.loaded) {
        std::cerr << "mirevane run: warning: no gauge was loaded from " << path
                  << " (run 'mirevane check' to see why)\n";
    }
    const std::string csv = TraceCsv(trace, detail);
    std::string svg;
    std::string html;
    if (!plot.empty() || !page.path.empty()) {
        const std::string title = "Mirevane: " + scenario + " on " + path;
        const std::vector<std::string> titles = GaugeTitles(RunCheck(path));
        svg = PlotSvg(trace, title, titles);
        if (!page.path.empty()) {
            pageContent.title = title;
            pageContent.gaugeTitles = titles;
            pageContent.plotSvg = svg;
            html = DialPageOfTrace(path, frames, trace, pageContent);
        }
    }
    // Plot and page first: a trace file that exists is then always complete, they included.
    if (!plot.empty()) {
        WriteWholeFile(plot, svg);
    }
    if (!page.path.empty()) {
        WriteWholeFile(page.path, html);
    }
    if (out.empty()) {
        WriteStandardOutput(csv);
    } else {
        WriteWholeFile(out, csv);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Shows what the Mirevane plug-in will do with a cab's files before the "
                 "simulator starts: check the configuration, replay a scenario through the "
                 "plug-in and plot the needles.",
                 "mirevane"};
    app.require_subcommand(1);
    app.footer(kMainFooter);

    std::string path;
    bool json = false;
    bool strict = false;
    CLI::App* check = app.add_subcommand(
        "check", "Load the configuration as the plug-in does; list its gauges and every "
                 "problem found, with file and line.");
    check->add_option("PATH", path, kPathHelp)->required();
    check->add_flag("--json", json, "Print the same report as JSON.");
    check->add_flag("--strict", strict, "Exit with status 1 on warnings too.");
    check->footer(kCheckFooter);

    std::string scenario;
    std::string out;
    std::string plot;
    double fps = 0.0;
    bool detail = false;
    CLI::App* run = app.add_subcommand(
        "run", "Replay a scenario through the plug-in, as a host calls it, and write the panel "
               "entries per frame.");
    run->add_option("PATH", path, kPathHelp)->required();
    run->add_option("--scenario", scenario, "The scenario CSV file (see below).")
        ->required()
        ->type_name("FILE");
    run->add_option("--out", out, "Write the trace to FILE instead of standard output.")
        ->type_name("FILE");
    CLI::Option* fpsOption =
        run->add_option("--fps", fps,
                        "Treat rows as key frames and generate N frames per second "
                        "(0 < N <= 1000).")
            ->type_name("N")
            ->check(CLI::Validator(
                [](std::string& text) -> std::string {
                    double n = 0.0;
                    std::istringstream in(text);
                    in.imbue(std::locale::classic());
                    in >> n;
                    const bool whole = !in.fail() && (in >> std::ws).eof();
                    return whole && n > 0.0 && n <= 1000.0
                               ? ""
                               : "'" + text + "' is not a number above 0 and at most 1000";
                },
                ""));
    run->add_flag("--detail", detail,
                  "Add every gauge's stages: subject value, vibrated value, scale angle, and for "
                  "elliptic gauges the damped angle and the selected entry.");
    run->add_option("--plot", plot, "Draw each gauge's needle angle over time into FILE.svg.")
        ->type_name("FILE.svg");
    DialPageRequest page;
    run->add_option("--html", page.path,
                    "Write a self-contained page: every needle on its dial, a time slider, "
                    "the plots.")
        ->type_name("FILE.html");
    run->add_option("--dial", page.faces,
                    "A picture of gauge GAUGE's real dial under its needles on the page; hub "
                    "and radius in pixels.")
        ->type_name("GAUGE=image.png,cx,cy,r")
        ->allow_extra_args(false);
    run->add_option("--angles", page.angles,
                    std::string("The page's dials: angle 0's direction and the way angles "
                                "grow, ") +
                        AngleConvention::kHelp + " (default " + AngleConvention::kDefault + ").")
        ->type_name("CONVENTION");
    run->footer(kRunFooter);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    try {
        if (check->parsed()) {
            return Check(path, json, strict);
        }
        return Run(path, scenario, out,
                   fpsOption->count() > 0 ? std::optional<double>(fps) : std::nullopt, detail, plot,
                   page);
    } catch (const InputError& e) {
        std::cerr << "mirevane " << (check->parsed() ? "check" : "run") << ": error: " << e.what()
                  << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "mirevane: error: " << e.what() << "\n";
        return 2;
    }
}
