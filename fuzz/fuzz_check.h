// What the fuzz targets share: a failed property aborts, which libFuzzer (and the replay
// program) records as a crash together with the input that caused it; and a reader that
// turns the rest of an input into small numbers and host values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_REQUIRE(condition, what)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s (%s)\n", __FILE__, __LINE__,          \
                         #condition, std::string(what).c_str());                                   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace mirevane::fuzz {

// Splits an input at each occurrence of separator. The pieces keep every other byte.
inline std::vector<std::string_view> SplitInput(std::string_view input,
                                                std::string_view separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = input.find(separator);
        if (at == std::string_view::npos) {
            parts.push_back(input);
            return parts;
        }
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + separator.size());
    }
}

// Hands out the input's bytes as values; once they run out every value is zero, so a short
// input is still a complete script.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    bool empty() const noexcept { return bytes_.empty(); }

    uint8_t Byte() noexcept {
        if (bytes_.empty()) {
            return 0;
        }
        const auto byte = static_cast<uint8_t>(bytes_.front());
        bytes_.remove_prefix(1);
        return byte;
    }

    template <typename T> T Raw() noexcept {
        unsigned char buffer[sizeof(T)] = {};
        for (unsigned char& b : buffer) {
            b = Byte();
        }
        T value;
        std::memcpy(&value, buffer, sizeof value);
        return value;
    }

private:
    std::string_view bytes_;
};

} // namespace mirevane::fuzz
