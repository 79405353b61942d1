// Did-you-mean for names a cab builder types: keys, sections, scenario columns, commands.
#pragma once

#include <string>
#include <vector>

namespace mirevane::tool {

// The known name nearest to `name` (letter case ignored), or "" when none is near enough to
// be a likely typo: NaturalFrequency -> NaturalFreq, Flatening -> Flattening.
std::string NearestName(const std::string& name, const std::vector<std::string>& known);

} // namespace mirevane::tool
