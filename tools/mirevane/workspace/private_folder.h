// The folder under the system's temporary one where the studio lays out its copy of the cab:
// readable by the user only, marked with the studio that made it, and removed when that
// studio ends. Folders left by studios that were killed are removed by the next one, and
// only those: a folder without the mark, of another user, or of a studio that may still run
// stays.
#pragma once

#include <filesystem>
#include <string>

namespace mirevane::tool {

class PrivateFolder {
public:
    // Removes the stale folders of dead studios under `temp`, then makes a new one there.
    explicit PrivateFolder(const std::filesystem::path& temp);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }

private:
    std::filesystem::path path_;
};

// The folders under `temp` that studios no longer running left behind, removed; returns how
// many.
int RemoveStaleFolders(const std::filesystem::path& temp);

} // namespace mirevane::tool
