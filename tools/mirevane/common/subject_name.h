// A built subject described in the words of the configuration: the keyword it stands for,
// and the unit of its values.
#pragma once

#include "gauges/subject.h"

#include <string>

namespace mirevane::tool {

// "kmph", "bc", ..., "panel12", "sound3"; "nothing" for a subject whose value is always 0.
std::string SubjectName(const Subject& subject);
// "km/h", "kPa", "A"; for panel and sound entries the empty text (they carry no unit).
std::string SubjectUnit(const Subject& subject);
// What it reads in words, without the unit: "speed (magnitude)", "panel entry 60".
std::string SubjectMeaning(const Subject& subject);

} // namespace mirevane::tool
