#include "studio/studio_subcommand.h"

#include "check/check.h"
#include "common/fps_option.h"
#include "common/path_argument.h"
#include "dial/dial_options.h"
#include "panel/panel_option.h"
#include "studio/server.h"

#include <memory>

namespace mirevane::tool {
namespace {

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
Where the cab's panel file is known (--panel FILE, or found beside the library or up to two
folders above it; --no-panel leaves it out), the studio opens on the cab as the host draws
it: the panel's picture with every needle on its own picture. A click on a needle opens its
gauge's editor, and each gauge is calibrated by clicking its marks on that picture: the
needle gives the hub and the screen convention. The page says which panel it uses.

Examples:
  mirevane studio Cab/Mirevane.dll --scenario run.csv --fps 30
  mirevane studio Cab/Mirevane.ini --dial 0=speedometer.png,200,200,180 --angles up-cw
  mirevane studio Cab/Mirevane.dll --port 8765 --no-browser)";

// The options as parsed. --fps writes into its own member: the arguments stay put.
struct StudioArguments {
    std::string path;
    StudioOptions options;
    StudioServerOptions serve;
    FpsOption fps;
    bool noBrowser = false;
};

int Studio(StudioArguments& a) {
    RefuseFolderAsPath(a.path);
    a.options.argument = a.path;
    a.options.pluginPath = PluginPath(a.path);
    a.options.fps = a.fps.value();
    a.serve.openBrowser = !a.noBrowser;
    return RunStudio(a.options, a.serve);
}

} // namespace

Subcommand AddStudioSubcommand(CLI::App& app) {
    const auto a = std::make_shared<StudioArguments>();
    CLI::App* command = app.add_subcommand(
        "studio", "Tune every gauge in your browser, live through the plug-in's own code, and "
                  "save the edits into the cab.");
    AddPathArgument(command, a->path);
    command
        ->add_option("--scenario", a->options.scenario,
                     "The scenario CSV file, as run takes it (default: a sweep of every "
                     "gauge's whole table).")
        ->type_name("FILE");
    a->fps.AddTo(command);
    AddDialOptions(command, a->options.page);
    AddPanelOptions(command, a->options.panel);
    command
        ->add_option("--port", a->serve.port,
                     "Listen on this port of 127.0.0.1 (default: any free).")
        ->type_name("N")
        ->check(CLI::Range(1, 65535));
    command->add_flag("--no-browser", a->noBrowser,
                      "Only print the address; do not open a browser.");
    command->footer(kStudioFooter);
    return {command, [a] { return Studio(*a); },
            [a] {
                return CommandInputs{a->path, a->options.scenario};
            }};
}

} // namespace mirevane::tool
