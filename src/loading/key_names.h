// The host's sixteen key names and their key numbers as KeyDown delivers them.
#pragma once

#include <cstdint>
#include <string>

namespace mirevane {

// "S", "A1" ... "L" in any letter case give 0..15; any other text gives -1, which no key
// press matches.
int32_t KeyNameToNumber(std::string name);
// The other way, in capitals as the settings write them ("A1"); a number outside 0..15 as
// its digits.
std::string KeyNumberToName(int32_t number);

} // namespace mirevane
