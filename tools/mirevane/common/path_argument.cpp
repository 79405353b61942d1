#include "common/path_argument.h"

#include "loading/library_path.h"

#include <filesystem>

namespace mirevane::tool {

void AddPathArgument(CLI::App* command, std::string& path) {
    command
        ->add_option("PATH", path,
                     "The plug-in's library or its main profile, e.g. Cab/Mirevane.dll or "
                     "Cab/Mirevane.ini (both name the same files). The fallback profile ./Ats.ini "
                     "is read from the current folder, as the host's working folder would be.")
        ->required();
}

std::string PluginPath(const std::string& argument) {
    const LibraryPath parts = LibraryPath::Split(argument);
    // As this system writes it: .\Cab.dll on Windows.
    return parts.drive.empty() && parts.directory.empty()
               ? (std::filesystem::path(".") / argument).string()
               : argument;
}

} // namespace mirevane::tool
