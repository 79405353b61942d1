// Text saved as UTF-16, the "Unicode" of Windows editors: the plug-in reads its files as
// bytes and finds nothing in it, so the check says so once instead of quoting NUL bytes.
#pragma once

#include <string>

namespace mirevane::tool {

// A byte order mark of UTF-16 (FF FE or FE FF), or text of which a third or more is NUL
// bytes: ASCII saved as UTF-16 is half NUL, a text with a few stray NULs far less.
bool LooksLikeUtf16(const std::string& text);

// The same test on the first few kilobytes of a file; false when it cannot be read.
bool FileLooksLikeUtf16(const std::string& path);

} // namespace mirevane::tool
