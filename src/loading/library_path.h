// Splits the library's own path into the pieces the configuration paths are built from.
#pragma once

#include <string>

namespace mirevane {

struct LibraryPath {
    std::string drive;     // "D:" or empty
    std::string directory; // up to and including the last separator, or empty
    std::string baseName;  // up to, not including, the last dot

    static LibraryPath Split(const std::string& path);

    std::string ModuleDirectory() const { return drive + directory; }
    std::string MainProfile() const { return ModuleDirectory() + baseName + ".ini"; }
    std::string MainTable() const { return ModuleDirectory() + baseName + ".csv"; }
};

} // namespace mirevane
