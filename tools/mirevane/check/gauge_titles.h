// What the plots and the dial page call each gauge and each bound key, from the check's
// report of the cab: shared by `run` and the studio.
#pragma once

#include "check/check.h"
#include "common/key_label.h"

#include <map>
#include <string>
#include <vector>

namespace mirevane::tool {

// "Gauge 1  ·  bc.ini  ·  bc → elliptic, entries 30–37", one per gauge.
std::vector<std::string> GaugeTitles(const CheckReport& report);

// The bound host keys by number: the name written first and the actions they run.
std::map<int32_t, KeyLabel> KeyLabels(const CheckReport& report);

} // namespace mirevane::tool
