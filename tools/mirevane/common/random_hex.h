// Names and tokens nobody can guess: hex digits from the system's random source.
#pragma once

#include <string>

namespace mirevane::tool {

// 8 hex digits (32 bits) per word.
std::string RandomHex(int words);

} // namespace mirevane::tool
