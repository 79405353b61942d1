#include "sections/panel_subcommand.h"

#include "check/check.h"
#include "common/path_argument.h"
#include "common/tool_error.h"
#include "dial/dial_options.h"
#include "panel/panel_option.h"
#include "sections/needle_sections.h"

#include <iostream>
#include <memory>

namespace mirevane::tool {
namespace {

constexpr const char* kPanelFooter = R"(
panel prints a [Needle] section of the host's panel file for every panel entry the plug-in
writes: a plain gauge's needle entry and each image entry of an elliptic gauge, with a
comment on what the entry holds. The plug-in writes angles in thousandths of a degree, so
every needle maps 0..360000 onto a whole turn. Where the cab's panel file is known (found
beside the library or up to two folders above it, or named with --panel) its needles keep
their Location, pictures and offset; a mapping that does not turn 1 degree per 1000 units is
replaced. Others get the offset of --angles and placeholders to replace. Which panel was read
is said on standard error; the sections go to standard output.

Examples:
  mirevane panel Cab/Mirevane.dll > needles.cfg
  mirevane panel Cab/Mirevane.dll --no-panel --angles down-cw)";

struct PanelArguments {
    std::string path;
    PanelOptions panel;
    std::string angles = AngleConvention::kDefault;
};

int PrintSections(const PanelArguments& a) {
    RefuseFolderAsPath(a.path);
    const std::optional<AngleConvention> convention = AngleConvention::Parse(a.angles);
    if (!convention) {
        throw InputError("--angles", 0, 0, "'" + a.angles + "' is not " + AngleConvention::kHelp,
                         "page-option");
    }
    SectionsRequest request{PluginPath(a.path), a.path, *convention, a.angles, std::nullopt};
    const PanelChoice choice = ChoosePanel(request.pluginPath, a.panel);
    SayPanelChoice(std::cerr, choice);
    if (!choice.path.empty()) {
        request.panel = ReadPanelFile(choice.path);
    }
    std::cout << NeedleSections(request);
    std::cout.flush();
    return 0;
}

} // namespace

Subcommand AddPanelSubcommand(CLI::App& app) {
    const auto a = std::make_shared<PanelArguments>();
    CLI::App* command = app.add_subcommand(
        "panel", "Print the panel file's [Needle] sections for every entry the plug-in writes, "
                 "to paste into the cab's panel file.");
    AddPathArgument(command, a->path);
    AddPanelOptions(command, a->panel);
    AddAnglesOption(command, a->angles);
    command->footer(kPanelFooter);
    return {command, [a] { return PrintSections(*a); }, [a] { return CommandInputs{a->path, ""}; }};
}

} // namespace mirevane::tool
