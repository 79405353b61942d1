// A fresh folder for one test's files, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace mirevane::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes the bytes exactly as given (binary mode) and returns the file's full path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A file's bytes exactly as on disk (binary mode); empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

} // namespace mirevane::test
