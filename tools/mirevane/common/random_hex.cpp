#include "common/random_hex.h"

#include <random>

namespace mirevane::tool {

std::string RandomHex(int words) {
    // std::random_device reads the system's source (getrandom, /dev/urandom, rand_s).
    std::random_device source;
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < words; ++i) {
        const unsigned int word = source();
        for (int b = 0; b < 8; ++b) {
            text += kHex[(word >> (4 * b)) & 0xF];
        }
    }
    return text;
}

} // namespace mirevane::tool
