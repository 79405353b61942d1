// One value of a profile changed as a careful hand would change it: the lookup's own line (the
// first key of that name in the first section of that name, letter case ignored) keeps its
// layout, comments and neighbours, and only the text of its value is replaced. A key that is
// absent joins its section after the section's last key; a section that is absent is added at
// the end, in the file's own line ends.
#pragma once

#include <string>

namespace mirevane::tool {

// value: as the profile functions would return it (no line end, no blanks at either end).
std::string SetProfileValue(const std::string& text, const std::string& section,
                            const std::string& key, const std::string& value);

// The line end the file uses most: its first one, or CR LF for a file of one line.
std::string LineEndOf(const std::string& text);

} // namespace mirevane::tool
