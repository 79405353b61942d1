// The host's sixteen key names and their key numbers as KeyDown delivers them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mirevane {

// By key number, 0..15, as settings write them (letter case does not matter).
constexpr std::array<const char*, 16> kHostKeyNames = {
    "S", "A1", "A2", "B1", "B2", "C1", "C2", "D", "E", "F", "G", "H", "I", "J", "K", "L"};

// A host key name in any letter case gives its number; any other text gives -1, which no key
// press matches.
int32_t KeyNameToNumber(const std::string& name);
// The other way, as settings write them ("A1"); a number outside 0..15 as its digits.
std::string KeyNumberToName(int32_t number);

} // namespace mirevane
