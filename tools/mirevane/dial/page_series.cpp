#include "dial/page_series.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace mirevane::tool {

using JsonValue = nlohmann::ordered_json;

// The page holds many thousands of these: no string and no stream per number.
JsonValue PageNumber(double value) {
    if (!std::isfinite(value)) {
        return JsonValue(nullptr);
    }
    char digits[32];
    const std::to_chars_result written =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 7);
    double rounded = 0.0;
    std::from_chars(digits, written.ptr, rounded);
    if (std::fabs(rounded) < 9.0e15 && rounded == std::floor(rounded)) {
        return JsonValue(static_cast<int64_t>(rounded));
    }
    return JsonValue(rounded);
}

void RunArray::Add(const JsonValue& value) {
    if (count_ > 0 && value == current_) {
        ++count_;
        return;
    }
    Flush();
    current_ = value;
    count_ = 1;
}

JsonValue RunArray::Finish() {
    Flush();
    return std::move(out_);
}

void RunArray::Flush() {
    if (count_ >= 3) {
        out_.push_back(JsonValue::array({current_, count_}));
    } else {
        for (std::size_t i = 0; i < count_; ++i) {
            out_.push_back(current_);
        }
    }
    count_ = 0;
}

} // namespace mirevane::tool
