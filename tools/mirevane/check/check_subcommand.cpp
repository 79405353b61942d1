#include "check/check_subcommand.h"

#include "check/check.h"
#include "check/output.h"
#include "common/path_argument.h"
#include "panel/panel_option.h"

#include <iostream>
#include <memory>

namespace mirevane::tool {
namespace {

constexpr const char* kCheckFooter = R"(
check loads the files with the plug-in's own code and prints the key bindings and, per
gauge, its profile, what it reads, where it draws, its vibration, damping, ellipse and
table. Then every problem it found, as FILE:LINE:COL: error|warning|note: text [code].
Errors (the gauge cannot show what you meant): no main profile; a file saved as
UTF-16; a table file missing, empty or with one point; a subject that names nothing; a
gauge with neither Needle nor Division; a plain needle outside panel entries 0..255; an
elliptic gauge with no division entry in 0..255; a Gauge file not found.
Warnings: unknown sections and keys (with the nearest known name), numbers that do not
read (the setting keeps its default), table lines skipped or read only in part, byte
order marks, key names that bind no key, two gauges writing one entry, and more.
The cab's panel file (panel2.cfg beside the library or up to two folders above it, the
folder whose ats.cfg names this library first; --panel FILE names it, --no-panel leaves
it out) is named at the top and checked against what the gauges write: an entry no
element reads (error, at the profile line that names it), a picture missing or that
cannot be decoded (errors), a needle that does not turn 1 degree per 1000 units, a
Backstop that clips the gauge's values, host damping on an elliptic gauge's images,
images of one oval gauge with different hubs or out of their order of length, an entry
also read by a lamp or a number (warnings); a needle drawn by a Function and an atsN
entry no gauge writes (notes). Whether the table's angles match the dial's marks only
the picture shows: mirevane calibrate, the studio.

Examples:
  mirevane check Cab/Mirevane.dll
  mirevane check Cab/Mirevane.ini --strict        exit status 1 on warnings too
  mirevane check Cab/Mirevane.dll --json > report.json
  mirevane check Train/plugin/Mirevane.dll --panel Train/panel2.cfg)";

struct CheckArguments {
    std::string path;
    bool json = false;
    bool strict = false;
    PanelOptions panel;
};

// Exit status 1 on errors, with --strict on warnings too.
int Check(const CheckArguments& a) {
    RefuseFolderAsPath(a.path);
    const std::string path = PluginPath(a.path);
    const CheckReport report = RunCheck(path, ChoosePanel(path, a.panel));
    std::cout << (a.json ? CheckJson(report) : CheckText(report));
    std::cout.flush();
    if (report.errors() > 0 || (a.strict && report.warnings() > 0)) {
        return 1;
    }
    return 0;
}

} // namespace

Subcommand AddCheckSubcommand(CLI::App& app) {
    const auto a = std::make_shared<CheckArguments>();
    CLI::App* command = app.add_subcommand(
        "check", "Load the configuration as the plug-in does; list its gauges and every "
                 "problem found, with file and line.");
    AddPathArgument(command, a->path);
    command->add_flag("--json", a->json, "Print the same report as JSON.");
    command->add_flag("--strict", a->strict, "Exit with status 1 on warnings too.");
    AddPanelOptions(command, a->panel);
    command->footer(kCheckFooter);
    return {command, [a] { return Check(*a); }, [a] { return CommandInputs{a->path, ""}; }};
}

} // namespace mirevane::tool
