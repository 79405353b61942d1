// The command line as the tool takes it. Paths go to the plug-in's own code in the system's
// ANSI code page, as the host names its files. On Windows an argument that this code page
// cannot spell (a folder named in Japanese on a Windows set up for Western Europe) arrives
// in argv with '?' for the letters it lacks: it is taken from the wide command line instead
// and spelt by its short (8.3) name, with a warning that the host will not find files there.
#pragma once

#include <string>
#include <vector>

namespace mirevane::tool {

struct CommandLine {
    std::vector<std::string> arguments; // the program's name first, as argv
    std::vector<std::string> warnings;  // diagnostic lines about arguments respelt, or not
};

CommandLine ReadCommandLine(int argc, char** argv);

} // namespace mirevane::tool
