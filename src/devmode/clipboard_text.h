// The text the copy key puts on the clipboard: the fixed angle as a default-formatted
// stream writes a double ("%.6g"), with the three-digit exponent of the Windows runtime.
#pragma once

#include <string>

namespace mirevane {

// 123.4567 -> "123.457", 1e-5 -> "1e-005", 1234567 -> "1.23457e+006". Built from
// std::to_chars, not printf: C runtimes disagree on the exponent's width.
std::string FormatClipboardAngle(double angleDegrees);

} // namespace mirevane
