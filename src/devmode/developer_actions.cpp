#include "devmode/developer_actions.h"

#include "dynamics/needle_scale.h"

namespace mirevane {

const std::array<DeveloperAction, kDeveloperKeyCount> kDeveloperActions = {{
    {"CopyValueToClipboard", "S", [](NeedleScale& s) { s.CopyValueToClipboard(); },
     "in angle mode, puts the fixed angle on the clipboard as text, ready for a table file"},
    {"AdjustIncrementSmall", "A1", [](NeedleScale& s) { s.AdjustIncrementSmall(); },
     "raises the fixed value by a tenth of the value step, or the fixed angle by a tenth of "
     "the angle step"},
    {"AdjustDecrementSmall", "A2", [](NeedleScale& s) { s.AdjustDecrementSmall(); },
     "lowers the fixed value by a tenth of the value step, or the fixed angle by a tenth of "
     "the angle step"},
    {"AdjustIncrementMedium", "B1", [](NeedleScale& s) { s.AdjustIncrementMedium(); },
     "raises the fixed value by the value step, or the fixed angle by the angle step"},
    {"AdjustDecrementMedium", "B2", [](NeedleScale& s) { s.AdjustDecrementMedium(); },
     "lowers the fixed value by the value step, or the fixed angle by the angle step"},
    {"AdjustIncrementLarge", "C1", [](NeedleScale& s) { s.AdjustIncrementLarge(); },
     "raises the fixed value or the fixed angle by ten steps"},
    {"AdjustDecrementLarge", "C2", [](NeedleScale& s) { s.AdjustDecrementLarge(); },
     "lowers the fixed value or the fixed angle by ten steps"},
    {"SwitchAdjustMode", "D", [](NeedleScale& s) { s.SwitchAdjustMode(); },
     "with developer mode on, moves every needle to its next mode: live, angle, value, "
     "rotate, live"},
    {"ResetAdjustValue", "L", [](NeedleScale& s) { s.ResetAdjustValue(); },
     "sets the fixed value or the fixed angle back to 0"},
}};

} // namespace mirevane
