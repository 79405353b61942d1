// The nine developer actions in dispatch order: the settings key that binds each (its name),
// the host key it binds by default, and what it does to a gauge's scale. Adding an action is
// one row; the settings format, the key dispatch, the tool and the docs all walk this table.
#pragma once

#include <array>

namespace mirevane {

class NeedleScale;

struct DeveloperAction {
    const char* name;       // the action, and its key in section [KeyIndex]
    const char* defaultKey; // host key name bound when no profile names one
    void (*run)(NeedleScale& scale);
    const char* meaning; // one sentence for a cab builder
};

constexpr int kDeveloperKeyCount = 9;

// Indices into kDeveloperActions, for the few places that name one action.
enum DeveloperKey : int {
    kCopyValueToClipboard = 0,
    kSwitchAdjustMode = 7,
};

extern const std::array<DeveloperAction, kDeveloperKeyCount> kDeveloperActions;

} // namespace mirevane
