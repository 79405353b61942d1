// The panel file's text as UTF-8: cab builders often save it in code page 932 (Shift-JIS),
// the code page of the host's home market, with Japanese comments and picture names.
#pragma once

#include <string>

namespace mirevane::tool {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool IsUtf8(const std::string& bytes);

// Code page 932 bytes as UTF-8; a byte sequence the code page does not define becomes U+FFFD.
std::string Utf8FromCodePage932(const std::string& bytes);

} // namespace mirevane::tool
