// PATH, the cab every command but the reference reads: the plug-in's library or its main
// profile as the user names it, and the path the host would hand the plug-in.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace mirevane::tool {

// Adds the required PATH argument, with its help, to a command.
void AddPathArgument(CLI::App* command, std::string& path);

// The host always hands the plug-in its full path. A bare file name would make the Windows
// profile functions look for the profiles in the Windows folder, not in the current one:
// "./" keeps the name short in messages and the files where the cab builder means them.
std::string PluginPath(const std::string& argument);

} // namespace mirevane::tool
