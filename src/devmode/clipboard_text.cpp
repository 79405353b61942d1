#include "devmode/clipboard_text.h"

#include <charconv>

namespace mirevane {

std::string FormatClipboardAngle(double angleDegrees) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, angleDegrees, std::chars_format::general, 6);
    std::string text(buffer, result.ptr);
    // to_chars writes at least two exponent digits, as C does; pad to three.
    const std::size_t e = text.find('e');
    if (e != std::string::npos) {
        const std::size_t digits = e + 2; // after the exponent's sign
        while (text.size() - digits < 3) {
            text.insert(digits, 1, '0');
        }
    }
    return text;
}

} // namespace mirevane
