#include "calibrate/calibrate_subcommand.h"

#include "calibrate/calibrate_command.h"
#include "check/check.h"
#include "common/path_argument.h"
#include "dial/dial_options.h"
#include "panel/panel_option.h"

#include <memory>

namespace mirevane::tool {
namespace {

constexpr const char* kCalibrateFooter = R"(
calibrate turns the marks of a dial picture into the gauge's calibration table: for each mark,
its value and where it is, in pixels of the picture (x to the right, y down, as image editors
show them). Each row gets the angle that makes the plug-in and the host draw the needle
through the mark, through the gauge's own elliptic mapping for an oval gauge.
Where the cab's panel file is known (--panel FILE, or found beside the library or up to two
folders above it), the marks are in pixels of the panel's picture: the gauge's needle in the
panel gives the hub (its Location) and the screen convention (its mapping, which turns 1
degree per 1000 units), so --hub and --angles are left out; given, they must agree with the
needle. Which panel was used is said on standard error. --no-panel calibrates on another
picture (a crop, a photo): then give the needle's hub with --hub and the host's angle
convention with --angles.
With --rim, five or more points on the dial's rim (or on the tips of the marks), the ellipse
about the hub that fits them best gives Flattening and RotateAngle, and the marks are read
through it.
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
  mirevane calibrate Train/Cab/Mirevane.dll --gauge 0 --mark 0@412,530 --mark 120@530,402
  mirevane calibrate Cab/Mirevane.dll --no-panel --gauge 0 --hub 200,200 --mark 0@120,330 --mark 50@200,60 --mark 100@300,90
  mirevane calibrate Cab/Mirevane.dll --no-panel --gauge 1 --hub 150,150 --angles up-cw --mark 0@90,240 \
      --rim 250,150 --rim 150,100 --rim 50,150 --rim 150,200 --rim 221,185 --write)";

// The options as parsed; --turns counts only when given.
struct CalibrateArguments {
    std::string path;
    CalibrateOptions options;
    double turns = 0.0;
    CLI::Option* turnsOption = nullptr;
};

int Calibrate(CalibrateArguments& a) {
    RefuseFolderAsPath(a.path);
    a.options.argument = a.path;
    a.options.pluginPath = PluginPath(a.path);
    if (a.turnsOption->count() > 0) {
        a.options.turns = a.turns;
    }
    return CalibrateCommand(a.options);
}

} // namespace

Subcommand AddCalibrateSubcommand(CLI::App& app) {
    const auto a = std::make_shared<CalibrateArguments>();
    CalibrateOptions& o = a->options;
    CLI::App* command = app.add_subcommand(
        "calibrate", "Make a gauge's calibration table from the marks of its dial picture, and an "
                     "oval dial's Flattening and RotateAngle from its rim.");
    AddPathArgument(command, a->path);
    command->add_option("--gauge", o.gauge, "The gauge's number (0: the main profile's).")
        ->required()
        ->type_name("N");
    command
        ->add_option("--hub", o.hub,
                     "Where the needle turns, in pixels (with a panel: its needle's Location).")
        ->type_name("X,Y");
    AddAnglesOption(command, o.angles);
    command->add_option("--mark", o.marks, "A mark of the scale: its value, and where it is.")
        ->type_name("VALUE@X,Y")
        ->allow_extra_args(false);
    command->add_option("--rim", o.rim, "A point on an oval dial's rim (five or more).")
        ->type_name("X,Y")
        ->allow_extra_args(false);
    a->turnsOption = command->add_option(
        "--turns", a->turns,
        "The scale's sweep from its first mark to its last, in turns, where marks lie half a "
        "turn apart or more.");
    a->turnsOption->type_name("N");
    command->add_flag("--replace", o.replace,
                      "The marks make the whole table (else other rows stay).");
    command->add_flag("--write", o.write, "Save the rows and settings into the cab.");
    AddPanelOptions(command, o.panel);
    command->footer(kCalibrateFooter);
    return {command, [a] { return Calibrate(*a); }, [a] { return CommandInputs{a->path, ""}; }};
}

} // namespace mirevane::tool
