// mirevane: the plug-in's companion on the command line. It links the plug-in's own core, so
// what it reports is what the plug-in does with the same files.
#include "calibrate/calibrate_command.h"
#include "check/check.h"
#include "check/output.h"
#include "cli/arguments.h"
#include "cli/help_text.h"
#include "common/nearest_name.h"
#include "common/tool_error.h"
#include "config/text.h"
#include "loading/library_path.h"
#include "reference/commands.h"
#include "replay/scenario_columns.h"
#include "run/run_command.h"
#include "studio/server.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <locale>
#include <memory>
#include <new>
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
2 for bad arguments, a scenario that cannot be read or an output the tool may not write.

Examples:
  mirevane check Cab/Mirevane.dll
  mirevane run Cab/Mirevane.dll --scenario run.csv --fps 30 --out trace.csv --plot trace.svg
  mirevane run Cab/Mirevane.dll --scenario run.csv --fps 30 --html dials.html
  mirevane studio Cab/Mirevane.dll --scenario run.csv --fps 30
  mirevane calibrate Cab/Mirevane.dll --gauge 0 --hub 200,200 --mark 0@120,330 --mark 100@300,90
Use "mirevane COMMAND --help" for more.)";

constexpr const char* kCalibrateFooter = R"(
calibrate turns the marks of a dial picture into the gauge's calibration table: give the
needle's hub and, for each mark, its value and where it is, in pixels of the picture (x to
the right, y down, as image editors show them). Each row gets the angle that makes the
plug-in and the host draw the needle through the mark, with the host's angle convention
(--angles) and, for an oval gauge, the gauge's own elliptic mapping. With --rim, five or more
points on the dial's rim (or on the tips of the marks), the ellipse about the hub that fits
them best gives Flattening and RotateAngle, and the marks are read through it.
A direction gives an angle only up to whole turns: the sense in which the angles run is the
one in which the marks sweep the shorter way, and the output says which. Two marks next to
each other in value half a turn apart or more are refused: add a mark between them, or give
the sweep with --turns. Marks on the hub or of one value twice are refused.
It prints the rows as table lines (value,angle) and the fitted settings as profile lines.
With --write it saves them into the cab as the studio does: rows of the same value replaced,
the other rows kept (and named; --replace drops them), each original kept once as NAME.bak,
nothing written if a file changed on disk. In the studio the same is done by clicking on the
picture.

Examples:
  mirevane calibrate Cab/Mirevane.dll --gauge 0 --hub 200,200 --mark 0@120,330 --mark 50@200,60 --mark 100@300,90
  mirevane calibrate Cab/Mirevane.dll --gauge 1 --hub 150,150 --angles up-cw --mark 0@90,240 \
      --rim 250,150 --rim 150,100 --rim 50,150 --rim 150,200 --rim 221,185 --write)";

constexpr const char* kStudioFooter = R"(
The studio is a page in your browser, served by this program on 127.0.0.1 only, at an
address with a secret token that it prints. Beside each dial: the gauge's calibration table
(edit, add, delete rows, or drag a tick on the dial), its subject, vibration, damping (with
the needle's step response) and oval settings, and the check's findings, live. Every edit
runs the scenario again through the plug-in's own code, so the needles, readouts and plots
show what the plug-in will do. Undo and redo with the buttons or Ctrl+Z and Ctrl+Y.
Save writes the edits into the cab's own files: only the values that changed, keeping the
layout and comments, each original kept once as NAME.bak; a file changed on disk since the
studio read it is never overwritten. Without --scenario what every gauge reads (a vehicle
quantity, a panel or a sound entry) sweeps over the whole of its gauges' tables, from the
lowest value to the highest in 10 s and back in 10 s more.

Examples:
  mirevane studio Cab/Mirevane.dll --scenario run.csv --fps 30
  mirevane studio Cab/Mirevane.ini --dial 0=speedometer.png,200,200,180 --angles up-cw
  mirevane studio Cab/Mirevane.dll --port 8765 --no-browser)";

constexpr const char* kCheckFooter = R"(
check loads the files with the plug-in's own code and prints the key bindings and, per
gauge, its profile, what it reads, where it draws, its vibration, damping, ellipse and
table. Then every problem it found, as FILE:LINE:COL: error|warning: text [code].
Errors (the gauge cannot show what you meant): no main profile; a file saved as
UTF-16; a table file missing, empty or with one point; a subject that names nothing; a
gauge with neither Needle nor Division; a plain needle outside panel entries 0..255; an
elliptic gauge with no division entry in 0..255; a Gauge file not found.
Warnings: unknown sections and keys (with the nearest known name), numbers that do not
read (the setting keeps its default), table lines skipped or read only in part, byte
order marks, key names that bind no key, two gauges writing one entry, and more. It cannot see the cab's panel picture: whether entry 20 is really the speedometer
needle, and whether the table's angles match the dial, only the simulator shows.

Examples:
  mirevane check Cab/Mirevane.dll
  mirevane check Cab/Mirevane.ini --strict        exit status 1 on warnings too
  mirevane check Cab/Mirevane.dll --json > report.json)";

// The scenario columns come from their table; the rest of run's help is written here.
std::string RunFooter() {
    return "\nThe scenario is a CSV file with a header row, commas between cells; column names "
           "in any\nletter case:\n" +
           ScenarioColumnsHelp() +
           R"(Every row is one frame. An empty cell repeats the row before (0 in the first row),
except keys and initialize, where an empty cell means nothing happens. A time earlier
than the row before's is sent as it is, as a host does on a restart (run warns once);
past 2147483647 the time wraps to -2147483648, a step forward.
With --fps N the rows are key frames: frames every 1000/N ms from the first to the last
row's time (over each run of rows between two jumps back), numbers interpolated in
between, keys and initialize firing at the first frame at or after their row. Damped
needles need frames close together: with rows more than 100 ms apart and no --fps, run
warns.
The trace is CSV: time, run_time after a jump back or a wrap (the time the damping saw
pass), every panel entry a gauge can write (panelN, thousandths of a degree), and
clipboard (what the copy key copied in that frame). --detail adds per gauge
K: gK_value, gK_vibrated, gK_angle and, for elliptic gauges, gK_damped and gK_entry.
--out and --plot never replace a file the run reads or a symbolic link; - is standard
output (and --scenario - standard input). Problems go to standard error as
FILE:LINE:COL: error|warning: text [code].

Examples:
  mirevane run Cab/Mirevane.dll --scenario run.csv > trace.csv
  mirevane run Cab/Mirevane.dll --scenario run.csv --fps 30 --out trace.csv --plot run.svg
  mirevane run Cab/Mirevane.dll --scenario keys.csv --fps 20 --detail --out - | less)";
}

// The host always hands the plug-in its full path. A bare file name would make the Windows
// profile functions look for the profiles in the Windows folder, not in the current one:
// "./" keeps the name short in messages and the files where the cab builder means them.
std::string PluginPath(const std::string& argument) {
    const LibraryPath parts = LibraryPath::Split(argument);
    // As this system writes it: .\Cab.dll on Windows.
    return parts.drive.empty() && parts.directory.empty()
               ? (std::filesystem::path(".") / argument).string()
               : argument;
}

int Check(const std::string& path, bool json, bool strict) {
    RefuseFolderAsPath(path);
    const CheckReport report = RunCheck(PluginPath(path));
    std::cout << (json ? CheckJson(report) : CheckText(report));
    std::cout.flush();
    if (report.errors() > 0 || (strict && report.warnings() > 0)) {
        return 1;
    }
    return 0;
}

// The subcommands, for "did you mean" on a misspelt one.
const std::vector<std::string> kCommands = {"check",     "run",     "studio",
                                            "calibrate", "explain", "docs"};

// An unknown first word: the nearest command, or where plotting lives.
std::string UnknownCommand(const std::string& word) {
    std::string lower = word;
    mirevane::ToLowerAscii(lower);
    if (lower == "plot") {
        return "mirevane: error: there is no 'plot' command: plots come from run --plot FILE.svg";
    }
    const std::string nearest = NearestName(word, kCommands);
    std::string commands;
    for (const std::string& command : kCommands) {
        commands += (commands.empty() ? "" : ", ") + command;
    }
    return "mirevane: error: unknown command '" + word + "'" +
           (nearest.empty() ? "" : ": did you mean '" + nearest + "'?") +
           " (commands: " + commands + "; see mirevane --help)";
}

// --fps, as run and the studio take it: rows are key frames, N frames a second between them.
CLI::Option* AddFpsOption(CLI::App* command, double& fps) {
    return command
        ->add_option("--fps", fps,
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
}

// --angles: how the host turns the panel's angles on the screen (run, studio, calibrate).
void AddAnglesOption(CLI::App* command, std::string& angles) {
    command
        ->add_option("--angles", angles,
                     std::string("The dials: angle 0's direction and the way angles grow, ") +
                         AngleConvention::kHelp + " (default " + AngleConvention::kDefault + ").")
        ->type_name("ZERO-SENSE");
}

// --dial and --angles: what the dials of a page show (run --html, the studio).
void AddDialOptions(CLI::App* command, DialPageRequest& page) {
    command
        ->add_option("--dial", page.faces,
                     "A picture of gauge GAUGE's real dial under its needles on the page; hub "
                     "and radius in pixels.")
        ->type_name("GAUGE=image.png,cx,cy,r")
        ->allow_extra_args(false);
    AddAnglesOption(command, page.angles);
}

} // namespace

// CLI11's help, its long descriptions wrapped to the help width.
class WrappingFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        return WrapHelp(CLI::Formatter::make_help(app, std::move(name), mode));
    }
};

int main(int argc, char** argv) {
    // MIREVANE_VERSION: the project's version, given by the build.
    CLI::App app{"mirevane " MIREVANE_VERSION ": shows what the Mirevane plug-in will do with a "
                 "cab's files before the simulator starts: check the configuration, replay a "
                 "scenario through the plug-in and plot the needles.",
                 "mirevane"};
    app.set_version_flag("--version", "mirevane " MIREVANE_VERSION);
    app.require_subcommand(1);
    app.formatter(std::make_shared<WrappingFormatter>());
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

    RunOptions options;
    double fps = 0.0;
    CLI::App* run = app.add_subcommand(
        "run", "Replay a scenario through the plug-in, as a host calls it, and write the panel "
               "entries per frame.");
    run->add_option("PATH", path, kPathHelp)->required();
    run->add_option("--scenario", options.scenario,
                    "The scenario CSV file (see below); - reads standard input.")
        ->required()
        ->type_name("FILE");
    run->add_option("--out", options.out,
                    "Write the trace to FILE instead of standard output (- for it).")
        ->type_name("FILE");
    CLI::Option* fpsOption = AddFpsOption(run, fps);
    run->add_flag("--detail", options.detail,
                  "Add every gauge's stages: subject value, vibrated value, scale angle, and for "
                  "elliptic gauges the damped angle and the selected entry.");
    run->add_option("--plot", options.plot,
                    "Draw each gauge's needle and calibration table into FILE.svg (SVG only).")
        ->type_name("FILE.svg");
    run->add_option("--html", options.page.path,
                    "Write a self-contained page: every needle on its dial, a time slider, "
                    "the plots.")
        ->type_name("FILE.html");
    AddDialOptions(run, options.page);
    run->footer(RunFooter());

    StudioOptions studio;
    StudioServerOptions serve;
    bool noBrowser = false;
    double studioFps = 0.0;
    CLI::App* studioCommand = app.add_subcommand(
        "studio", "Tune every gauge in your browser, live through the plug-in's own code, and "
                  "save the edits into the cab.");
    studioCommand->add_option("PATH", path, kPathHelp)->required();
    studioCommand
        ->add_option("--scenario", studio.scenario,
                     "The scenario CSV file, as run takes it (default: a sweep of every "
                     "gauge's whole table).")
        ->type_name("FILE");
    CLI::Option* studioFpsOption = AddFpsOption(studioCommand, studioFps);
    AddDialOptions(studioCommand, studio.page);
    studioCommand
        ->add_option("--port", serve.port, "Listen on this port of 127.0.0.1 (default: any free).")
        ->type_name("N")
        ->check(CLI::Range(1, 65535));
    studioCommand->add_flag("--no-browser", noBrowser,
                            "Only print the address; do not open a browser.");
    studioCommand->footer(kStudioFooter);

    CalibrateOptions calibrate;
    CLI::App* calibrateCommand = app.add_subcommand(
        "calibrate", "Make a gauge's calibration table from the marks of its dial picture, and an "
                     "oval dial's Flattening and RotateAngle from its rim.");
    calibrateCommand->add_option("PATH", path, kPathHelp)->required();
    calibrateCommand
        ->add_option("--gauge", calibrate.gauge, "The gauge's number (0: the main profile's).")
        ->required()
        ->type_name("N");
    calibrateCommand->add_option("--hub", calibrate.hub, "Where the needle turns, in pixels.")
        ->required()
        ->type_name("X,Y");
    AddAnglesOption(calibrateCommand, calibrate.angles);
    calibrateCommand
        ->add_option("--mark", calibrate.marks, "A mark of the scale: its value, and where it is.")
        ->type_name("VALUE@X,Y")
        ->allow_extra_args(false);
    calibrateCommand
        ->add_option("--rim", calibrate.rim, "A point on an oval dial's rim (five or more).")
        ->type_name("X,Y")
        ->allow_extra_args(false);
    double turns = 0.0;
    CLI::Option* turnsOption = calibrateCommand->add_option(
        "--turns", turns,
        "The scale's sweep from its first mark to its last, in turns, where marks lie half a "
        "turn apart or more.");
    turnsOption->type_name("N");
    calibrateCommand->add_flag("--replace", calibrate.replace,
                               "The marks make the whole table (else other rows stay).");
    calibrateCommand->add_flag("--write", calibrate.write,
                               "Save the rows and settings into the cab.");
    calibrateCommand->footer(kCalibrateFooter);
    const ReferenceCommands reference(app);

    // Argument errors name the program and the command, as every message of the tool does.
    app.failure_message([](const CLI::App* top, const CLI::Error& e) {
        std::string command = "mirevane";
        for (const CLI::App* sub : top->get_subcommands()) {
            command += " " + sub->get_name();
        }
        return command + ": error: " + e.what() + "\nRun '" + command + " --help' for more.\n";
    });
    // Arguments the system's code page cannot spell, respelt (Windows) and said so first.
    const CommandLine line = ReadCommandLine(argc, argv);
    for (const std::string& warning : line.warnings) {
        std::cerr << warning << "\n";
    }
    std::vector<const char*> arguments;
    for (const std::string& argument : line.arguments) {
        arguments.push_back(argument.c_str());
    }
    if (arguments.size() > 1 && arguments[1][0] != '-' &&
        std::find(kCommands.begin(), kCommands.end(), arguments[1]) == kCommands.end()) {
        std::cerr << UnknownCommand(arguments[1]) << "\n";
        return 2;
    }
    try {
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    try {
        if (check->parsed()) {
            return Check(path, json, strict);
        }
        if (reference.Parsed()) {
            return reference.Run();
        }
        if (calibrateCommand->parsed()) {
            RefuseFolderAsPath(path);
            calibrate.argument = path;
            calibrate.pluginPath = PluginPath(path);
            if (turnsOption->count() > 0) {
                calibrate.turns = turns;
            }
            return CalibrateCommand(calibrate);
        }
        if (studioCommand->parsed()) {
            RefuseFolderAsPath(path);
            studio.argument = path;
            studio.pluginPath = PluginPath(path);
            if (studioFpsOption->count() > 0) {
                studio.fps = studioFps;
            }
            serve.openBrowser = !noBrowser;
            return RunStudio(studio, serve);
        }
        options.argument = path;
        options.pluginPath = PluginPath(path);
        if (fpsOption->count() > 0) {
            options.fps = fps;
        }
        return RunCommand(options);
    } catch (const InputError& e) {
        std::cerr << e.Line() << "\n";
        return 2;
    } catch (const std::bad_alloc&) {
        // Every output is a stand-in until it is complete: the unwinding has removed them.
        const std::string& scenario = run->parsed() ? options.scenario : studio.scenario;
        const bool replaying = !scenario.empty() && scenario != "-";
        std::error_code error;
        const auto bytes = replaying ? std::filesystem::file_size(scenario, error) : 0;
        const std::string size =
            replaying && !error ? " (" + std::to_string(bytes / 1000000) + " MB)" : "";
        std::cerr << InputError(replaying ? scenario : path, 0, 0,
                                std::string("the tool ran out of memory ") +
                                    (replaying ? "with this scenario" + size +
                                                     ": a line of it may be far too long; close "
                                                     "other programs and try again"
                                               : "reading this cab: close other programs and "
                                                 "try again") +
                                    "; nothing was written",
                                "out-of-memory")
                         .Line()
                  << "\n";
        return 2;
    } catch (const std::exception& e) {
        const std::vector<CLI::App*> parsed = app.get_subcommands();
        std::cerr << "mirevane " << (parsed.empty() ? "run" : parsed.front()->get_name())
                  << ": error: " << e.what() << "\n";
        return 2;
    }
}
