#include "common/gauge_entries.h"

#include <algorithm>

namespace mirevane::tool {
namespace {

void SortUnique(std::vector<int32_t>& entries) {
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
}

} // namespace

std::vector<int32_t> EntriesWrittenBy(const CMirevane& gauges, int32_t gauge) {
    std::vector<int32_t> entries;
    if (gauges.isElliptic()[gauge]) {
        for (const auto& division : gauges.ellipses()[gauge].divisionTable()) {
            if (IsHostArrayIndex(division.second)) {
                entries.push_back(division.second);
            }
        }
    } else if (IsHostArrayIndex(gauges.needlePanelIndex()[gauge])) {
        entries.push_back(gauges.needlePanelIndex()[gauge]);
    }
    SortUnique(entries);
    return entries;
}

std::vector<int32_t> EntriesWritten(const CMirevane& gauges) {
    std::vector<int32_t> entries;
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        const std::vector<int32_t> own = EntriesWrittenBy(gauges, g);
        entries.insert(entries.end(), own.begin(), own.end());
    }
    SortUnique(entries);
    return entries;
}

} // namespace mirevane::tool
