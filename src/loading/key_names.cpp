#include "loading/key_names.h"

#include "config/ascii_case.h"

#include <iterator>

namespace mirevane {

int32_t KeyNameToNumber(std::string name) {
    static constexpr const char* kNames[] = {"s", "a1", "a2", "b1", "b2", "c1", "c2", "d",
                                             "e", "f",  "g",  "h",  "i",  "j",  "k",  "l"};
    ToLowerAscii(name);
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kNames)); ++i) {
        if (name == kNames[i]) {
            return i;
        }
    }
    return -1;
}

} // namespace mirevane
