// A file of the cab's panel read whole, by the file system's own name for it: the host reads
// its panel and pictures by their full names, not through the code page the plug-in's profile
// functions use, so a folder the code page cannot spell is read all the same.
#pragma once

#include <filesystem>
#include <string>

namespace mirevane::tool {

// False when the file cannot be opened or a read fails.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);

} // namespace mirevane::tool
