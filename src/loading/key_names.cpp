#include "loading/key_names.h"

#include "config/ascii_case.h"

#include <iterator>

namespace mirevane {

namespace {

constexpr const char* kNames[] = {"s", "a1", "a2", "b1", "b2", "c1", "c2", "d",
                                  "e", "f",  "g",  "h",  "i",  "j",  "k",  "l"};

} // namespace

int32_t KeyNameToNumber(std::string name) {
    ToLowerAscii(name);
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kNames)); ++i) {
        if (name == kNames[i]) {
            return i;
        }
    }
    return -1;
}

std::string KeyNumberToName(int32_t number) {
    if (number < 0 || number >= static_cast<int32_t>(std::size(kNames))) {
        return std::to_string(number);
    }
    std::string name = kNames[number];
    for (char& c : name) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return name;
}

} // namespace mirevane
