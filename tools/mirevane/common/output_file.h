// Where a run writes, without ever losing a file the tool did not make: a regular file (or a
// new one) is written beside the target under a fresh name and renamed over it only once
// complete; a character device or a pipe (/dev/null, a FIFO) is written directly; "-" is
// standard output. Anything else (a symbolic link, a folder) is refused before a byte is
// written.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace mirevane::tool {

// Throws InputError (exit status 2) when `path` may not be written: a symbolic link, a
// folder, or anything but a regular file, a character device or a pipe. option names the
// argument in the message ("--out").
void RefuseUnsafeOutput(const std::string& path, const std::string& option);

struct NamedPath {
    std::string option; // "--out", or what the file is to the command: "the scenario"
    std::string path;   // "-": standard input or output
};

// Throws InputError when an output is one of the files the command reads, or another
// output: the same file by name or, where both exist, by identity (links, letter case).
void RefuseOverlaps(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& reads);

// A file made at `path` that did not exist before (never one of another program), open for
// writing in binary; nullptr when the name is taken (errno EEXIST) or cannot be made.
std::FILE* CreateNewFile(const std::string& path);

class OutputFile {
public:
    // Opens the target for writing (a regular file: its stand-in); throws InputError.
    explicit OutputFile(const std::string& path);
    // Without Commit, a stand-in is removed and the target left as it was.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const char* data, std::size_t size);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    // Flushes and, for a regular file, renames the stand-in over the target.
    void Commit();

private:
    void Fail(const std::string& why);

    std::string path_;
    std::string standIn_; // empty: written directly
    std::FILE* file_ = nullptr;
    bool standardOutput_ = false;
    bool committed_ = false;
};

} // namespace mirevane::tool
