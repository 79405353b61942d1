#include "run/run_subcommand.h"

#include "common/fps_option.h"
#include "common/path_argument.h"
#include "dial/dial_options.h"
#include "panel/panel_option.h"
#include "replay/scenario_columns.h"
#include "run/run_command.h"

#include <memory>

namespace mirevane::tool {
namespace {

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

// The options as parsed. --fps writes into its own member: the arguments stay put.
struct RunArguments {
    std::string path;
    RunOptions options;
    FpsOption fps;
};

int Run(RunArguments& a) {
    a.options.argument = a.path;
    a.options.pluginPath = PluginPath(a.path);
    a.options.fps = a.fps.value();
    return RunCommand(a.options);
}

} // namespace

Subcommand AddRunSubcommand(CLI::App& app) {
    const auto a = std::make_shared<RunArguments>();
    RunOptions& o = a->options;
    CLI::App* command = app.add_subcommand(
        "run", "Replay a scenario through the plug-in, as a host calls it, and write the panel "
               "entries per frame.");
    AddPathArgument(command, a->path);
    command
        ->add_option("--scenario", o.scenario,
                     "The scenario CSV file (see below); - reads standard input.")
        ->required()
        ->type_name("FILE");
    command
        ->add_option("--out", o.out,
                     "Write the trace to FILE instead of standard output (- for it).")
        ->type_name("FILE");
    a->fps.AddTo(command);
    command->add_flag("--detail", o.detail,
                      "Add every gauge's stages: subject value, vibrated value, scale angle, and "
                      "for elliptic gauges the damped angle and the selected entry.");
    command
        ->add_option("--plot", o.plot,
                     "Draw each gauge's needle and calibration table into FILE.svg (SVG only).")
        ->type_name("FILE.svg");
    command
        ->add_option("--html", o.page.path,
                     "Write a self-contained page: every needle on its dial, a time slider, "
                     "the plots.")
        ->type_name("FILE.html");
    AddDialOptions(command, o.page);
    AddPanelOptions(command, o.panel);
    command->footer(RunFooter());
    return {command, [a] { return Run(*a); },
            [a] {
                return CommandInputs{a->path, a->options.scenario};
            }};
}

} // namespace mirevane::tool
