// Opens the studio in the user's browser without putting its token on a command line, where
// every local user could read it (ps, the Windows task list): the browser is given a file that
// only the user can read, which forwards to the tokened address, as notebook servers do.
#pragma once

#include <filesystem>
#include <string>

namespace mirevane::tool {

// A page in a folder of its own in the temporary folder (on POSIX the folder is 0700 and the
// file 0600; on Windows the user's temporary folder is the user's alone) that forwards to
// address. Both are removed when it is destroyed.
class ForwardingFile {
public:
    explicit ForwardingFile(const std::string& address);
    ~ForwardingFile();
    ForwardingFile(const ForwardingFile&) = delete;
    ForwardingFile& operator=(const ForwardingFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

// Starts the user's browser on file (xdg-open; on Windows the shell's handler for .html),
// without waiting for it; false when it could not be started.
bool OpenInBrowser(const std::filesystem::path& file);

} // namespace mirevane::tool
