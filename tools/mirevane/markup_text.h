// Text for SVG and HTML as the tool writes it: coordinates with one decimal, and escaped
// content and attribute values.
#pragma once

#include <string>

namespace mirevane::tool {

// A coordinate in user units, one decimal: "12.5", "-3.0".
std::string Px(double value);
// Text safe in element content and in double-quoted attributes; control characters, which
// XML forbids, are left out.
std::string Escaped(const std::string& text);

} // namespace mirevane::tool
