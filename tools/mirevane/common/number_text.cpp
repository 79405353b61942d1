#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>

namespace mirevane::tool {
namespace {

// to_chars spells NaN and infinity as "nan" and "inf" with a sign; keep them readable in CSV.
std::string NonFinite(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    return value < 0 ? "-inf" : "inf";
}

} // namespace

std::string Digits17(double value) {
    if (!std::isfinite(value)) {
        return NonFinite(value);
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    return std::string(buffer, result.ptr);
}

std::string Shortest(double value) {
    if (!std::isfinite(value)) {
        return NonFinite(value);
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Rounded(double value, int significantDigits) {
    if (!std::isfinite(value)) {
        return NonFinite(value);
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::general, significantDigits);
    return std::string(buffer, result.ptr);
}

bool ReadNumber(const std::string& text, double& number) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> number;
    return !in.fail() && (in >> std::ws).eof() && std::isfinite(number);
}

std::string Counted(int count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

} // namespace mirevane::tool
