// A loaded gauge as the tool describes it wherever it shows one (check's report, a run's
// header): what it reads, in the configuration's words, and where it draws. Read from the
// gauge set once, here.
#pragma once

#include "gauges/c_mirevane.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mirevane::tool {

struct GaugeDescription {
    bool elliptic = false;
    std::string subject;          // what it reads, as SubjectName gives it
    std::string subjectMeaning;   // and in words
    std::string unit;             // of the subject's values; empty for array entries
    std::vector<int32_t> entries; // the panel entries it can write (EntriesWrittenBy)
};

GaugeDescription DescribeGauge(const CMirevane& gauges, int32_t gauge);

} // namespace mirevane::tool
