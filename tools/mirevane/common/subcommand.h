// A command of the tool as the room that holds it adds it to the command line: its options and
// help sit beside its code, and the program (cli/) only collects the commands in order and runs
// the one the arguments chose.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace mirevane::tool {

// What a command reads, for the line that says the tool ran out of memory.
struct CommandInputs {
    std::string cab;      // PATH as given; "" for a command without one
    std::string scenario; // the scenario it replays; "" for none, "-" standard input
};

struct Subcommand {
    CLI::App* command = nullptr; // added to the tool's command line with its options and help
    std::function<int()> run;    // once parsed: the exit status; throws InputError (status 2)
    std::function<CommandInputs()> inputs = [] { return CommandInputs{}; };
};

} // namespace mirevane::tool
