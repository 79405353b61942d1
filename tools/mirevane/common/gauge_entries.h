// Which host panel entries a gauge of a loaded gauge set can write.
#pragma once

#include "gauges/c_mirevane.h"

#include <cstdint>
#include <vector>

namespace mirevane::tool {

// A plain gauge: its needle entry; an elliptic gauge: the entries of its division table
// (the only ones it draws on or parks). Entries outside 0..255 are never written and are
// left out. Ascending, without repeats.
std::vector<int32_t> EntriesWrittenBy(const CMirevane& gauges, int32_t gauge);

// The union over all gauges, ascending.
std::vector<int32_t> EntriesWritten(const CMirevane& gauges);

} // namespace mirevane::tool
