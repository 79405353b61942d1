// Writes a whole file or nothing: the text goes to a temporary file beside the target, which
// is renamed over it only once every byte is written. An interrupted or failed run never
// leaves a file that looks complete.
#pragma once

#include <string>

namespace mirevane::tool {

// Throws InputError (file, no line) when the file cannot be written.
void WriteWholeFile(const std::string& path, const std::string& text);

// Standard output in binary mode, so that Windows writes LF line ends as the file does.
void WriteStandardOutput(const std::string& text);

} // namespace mirevane::tool
