// A host key as the cab binds it: the name written in the profile and the actions it runs.
// The check's report names the keys, the plots and the dial page label their presses.
#pragma once

#include <string>

namespace mirevane::tool {

struct KeyLabel {
    std::string name;    // "D"
    std::string actions; // "SwitchAdjustMode"
};

} // namespace mirevane::tool
