#include "plugin/plugin.h"

#include <algorithm>
#include <cstring>

namespace mirevane {

void Plugin::SetModulePath(const char* path, int length) noexcept {
    const int kept = std::clamp(length, 0, kModulePathSize - 1);
    std::memcpy(modulePath_, path, static_cast<std::size_t>(kept));
    modulePath_[kept] = '\0';
}

AtsHandles Plugin::Elapse(const AtsVehicleState& state, int32_t* panel,
                          const int32_t* sound) noexcept {
    const AtsHandles handles{brake_, power_, reverser_, 0};
    gaugeSet_.Elapse(state, panel, sound);
    return handles;
}

} // namespace mirevane
