// `mirevane explain CODE` and `mirevane docs PAGE`: the tool's reference, from the same tables
// the plug-in and the check read.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace mirevane::tool {

class ReferenceCommands {
public:
    // Adds both subcommands to the application.
    explicit ReferenceCommands(CLI::App& app);
    ReferenceCommands(const ReferenceCommands&) = delete;
    ReferenceCommands& operator=(const ReferenceCommands&) = delete;

    bool Parsed() const;
    // Prints what was asked for; exit status 2 for a code that is not a diagnostic.
    int Run() const;

private:
    CLI::App* explain_;
    CLI::App* docs_;
    std::string code_;
    std::string page_;
};

} // namespace mirevane::tool
