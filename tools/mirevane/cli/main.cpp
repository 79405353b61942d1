// mirevane: the plug-in's companion on the command line. It links the plug-in's own core, so
// what it reports is what the plug-in does with the same files. Each command adds itself, with
// its options and help, from its own room; this program collects them and runs the one chosen.
#include "calibrate/calibrate_subcommand.h"
#include "check/check_subcommand.h"
#include "cli/arguments.h"
#include "cli/help_text.h"
#include "common/nearest_name.h"
#include "common/subcommand.h"
#include "common/tool_error.h"
#include "config/text.h"
#include "reference/commands.h"
#include "run/run_subcommand.h"
#include "sections/panel_subcommand.h"
#include "studio/studio_subcommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>

namespace {

using namespace mirevane::tool;

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

// CLI11's help, its long descriptions wrapped to the help width.
class WrappingFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        return WrapHelp(CLI::Formatter::make_help(app, std::move(name), mode));
    }
};

// The tool's own description, version and help, and how its argument errors are said.
void DescribeTool(CLI::App& app) {
    app.set_version_flag("--version", "mirevane " MIREVANE_VERSION);
    app.require_subcommand(1);
    app.formatter(std::make_shared<WrappingFormatter>());
    app.footer(kMainFooter);
    // Argument errors name the program and the command, as every message of the tool does.
    app.failure_message([](const CLI::App* top, const CLI::Error& e) {
        std::string command = "mirevane";
        for (const CLI::App* sub : top->get_subcommands()) {
            command += " " + sub->get_name();
        }
        return command + ": error: " + e.what() + "\nRun '" + command + " --help' for more.\n";
    });
}

// The commands in the order the help lists them.
std::vector<Subcommand> AddCommands(CLI::App& app) {
    return {AddCheckSubcommand(app),     AddRunSubcommand(app),   AddStudioSubcommand(app),
            AddCalibrateSubcommand(app), AddPanelSubcommand(app), AddExplainSubcommand(app),
            AddDocsSubcommand(app)};
}

// An unknown first word: the nearest command, or where plotting lives.
std::string UnknownCommand(const std::string& word, const std::vector<std::string>& commands) {
    std::string lower = word;
    mirevane::ToLowerAscii(lower);
    if (lower == "plot") {
        return "mirevane: error: there is no 'plot' command: plots come from run --plot FILE.svg";
    }
    const std::string nearest = NearestName(word, commands);
    std::string listed;
    for (const std::string& command : commands) {
        listed += (listed.empty() ? "" : ", ") + command;
    }
    return "mirevane: error: unknown command '" + word + "'" +
           (nearest.empty() ? "" : ": did you mean '" + nearest + "'?") + " (commands: " + listed +
           "; see mirevane --help)";
}

// Parses the command line; an exit status when there is nothing more to do (help, version,
// bad arguments), else nothing and the chosen command parsed.
std::optional<int> Parse(CLI::App& app, const std::vector<Subcommand>& commands, int argc,
                         char** argv) {
    // Arguments the system's code page cannot spell, respelt (Windows) and said so first.
    const CommandLine line = ReadCommandLine(argc, argv);
    for (const std::string& warning : line.warnings) {
        std::cerr << warning << "\n";
    }
    std::vector<const char*> arguments;
    for (const std::string& argument : line.arguments) {
        arguments.push_back(argument.c_str());
    }
    std::vector<std::string> names;
    for (const Subcommand& c : commands) {
        names.push_back(c.command->get_name());
    }
    if (arguments.size() > 1 && arguments[1][0] != '-' &&
        std::find(names.begin(), names.end(), arguments[1]) == names.end()) {
        std::cerr << UnknownCommand(arguments[1], names) << "\n";
        return 2;
    }
    try {
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    return std::nullopt;
}

// Every output is a stand-in until it is complete: the unwinding has removed them.
int OutOfMemory(const CommandInputs& inputs) {
    const std::string& scenario = inputs.scenario;
    const bool replaying = !scenario.empty() && scenario != "-";
    std::error_code error;
    const auto bytes = replaying ? std::filesystem::file_size(scenario, error) : 0;
    const std::string size =
        replaying && !error ? " (" + std::to_string(bytes / 1000000) + " MB)" : "";
    std::cerr << InputError(replaying ? scenario : inputs.cab, 0, 0,
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
}

// Runs the command the arguments chose (require_subcommand(1): there is one); every refusal
// is a line on standard error and exit status 2.
int RunChosen(const std::vector<Subcommand>& commands) {
    const Subcommand& chosen = *std::find_if(
        commands.begin(), commands.end(), [](const Subcommand& c) { return c.command->parsed(); });
    try {
        return chosen.run();
    } catch (const InputError& e) {
        std::cerr << e.Line() << "\n";
        return 2;
    } catch (const std::bad_alloc&) {
        return OutOfMemory(chosen.inputs());
    } catch (const std::exception& e) {
        std::cerr << "mirevane " << chosen.command->get_name() << ": error: " << e.what() << "\n";
        return 2;
    }
}

} // namespace

int main(int argc, char** argv) {
    // MIREVANE_VERSION: the project's version, given by the build.
    CLI::App app{"mirevane " MIREVANE_VERSION ": shows what the Mirevane plug-in will do with a "
                 "cab's files before the simulator starts: check the configuration, replay a "
                 "scenario through the plug-in and plot the needles.",
                 "mirevane"};
    DescribeTool(app);
    const std::vector<Subcommand> commands = AddCommands(app);
    if (const std::optional<int> status = Parse(app, commands, argc, argv)) {
        return *status;
    }
    return RunChosen(commands);
}
