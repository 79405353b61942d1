#include "loading/key_names.h"

#include "config/text.h"

namespace mirevane {

int32_t KeyNameToNumber(const std::string& name) {
    for (std::size_t i = 0; i < kHostKeyNames.size(); ++i) {
        if (SameName(name, kHostKeyNames[i])) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

std::string KeyNumberToName(int32_t number) {
    if (number < 0 || number >= static_cast<int32_t>(kHostKeyNames.size())) {
        return std::to_string(number);
    }
    return kHostKeyNames[static_cast<std::size_t>(number)];
}

} // namespace mirevane
