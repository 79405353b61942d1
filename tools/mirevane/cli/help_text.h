// Help text that fits a terminal: lines longer than the width are broken at blanks, and the
// continuation lines start under the description they continue (a hanging indent after the
// option or column name), so tables stay tables.
#pragma once

#include <string>

namespace mirevane::tool {

constexpr std::size_t kHelpWidth = 100;

std::string WrapHelp(const std::string& text, std::size_t width = kHelpWidth);

} // namespace mirevane::tool
