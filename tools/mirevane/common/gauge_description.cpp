#include "common/gauge_description.h"

#include "common/gauge_entries.h"
#include "common/subject_name.h"

namespace mirevane::tool {

GaugeDescription DescribeGauge(const CMirevane& gauges, int32_t gauge) {
    const Subject& subject = gauges.subjects()[gauge];
    GaugeDescription description;
    description.elliptic = gauges.isElliptic()[gauge];
    description.subject = SubjectName(subject);
    description.subjectMeaning = SubjectMeaning(subject);
    description.unit = SubjectUnit(subject);
    description.entries = EntriesWrittenBy(gauges, gauge);
    return description;
}

} // namespace mirevane::tool
