#include "panel/panel_option.h"

#include <CLI/CLI.hpp>

namespace mirevane::tool {

void AddPanelOptions(CLI::App* command, PanelOptions& options) {
    CLI::Option* panel =
        command
            ->add_option("--panel", options.panel,
                         "The cab's 2D panel file (panel2.cfg), whose needles show the plug-in's "
                         "entries. Without it, panel2.cfg is looked for beside the library and up "
                         "to two folders above it, preferring the folder whose ats.cfg names "
                         "this library.")
            ->type_name("FILE");
    CLI::Option* none =
        command->add_flag("--no-panel", options.noPanel,
                          "Read no panel file, not even one found beside the library.");
    panel->excludes(none);
    none->excludes(panel);
}

} // namespace mirevane::tool
