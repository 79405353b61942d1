#include "gauges/subject.h"

#include "config/text.h"
#include "gauges/vehicle_quantity.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace mirevane {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// An array index after "panel" or "sound": read like a double from a classic-locale stream,
// accepted only when whole, within 0..255, and written without any decimal point.
bool ParseArrayIndex(const std::string& rest, int32_t& index) {
    std::istringstream in(rest);
    in.imbue(std::locale::classic());
    double d = 0.0;
    in >> d;
    if (in.fail() || in.bad()) {
        return false;
    }
    if (!(d >= 0.0 && d <= kHostArrayLast) || std::fmod(d, 1.0) != 0.0) {
        return false;
    }
    if (rest.find('.') != std::string::npos) {
        return false;
    }
    index = static_cast<int32_t>(d);
    return true;
}

} // namespace

void Subject::Parse(std::string text) {
    ToLowerAscii(text);
    for (const auto& [prefix, kind] : {std::pair{"panel", kPanel}, std::pair{"sound", kSound}}) {
        if (StartsWith(text, prefix)) {
            int32_t index = 0;
            if (ParseArrayIndex(text.substr(5), index)) {
                kind_ = kind;
                index_ = index;
            } else {
                kind_ = kVehicle;
                index_ = 0;
            }
            return;
        }
    }
    kind_ = kVehicle;
    index_ = 0;
    for (const VehicleQuantityRow& row : kVehicleQuantities) {
        if (text == row.keyword) {
            index_ = static_cast<int32_t>(row.quantity);
            return;
        }
    }
}

double Subject::Value(const AtsVehicleState& state, const int32_t* panel,
                      const int32_t* sound) const noexcept {
    switch (kind_) {
    case kPanel:
    case kSound:
        // maxIndex may be set above 255 by configuration; the host arrays still end at 255.
        if (index_ < 0 || index_ > maxIndex_ || !IsHostArrayIndex(index_)) {
            return 0.0;
        }
        return static_cast<double>((kind_ == kPanel ? panel : sound)[index_]);
    default:
        break;
    }
    const VehicleQuantityRow* quantity = FindVehicleQuantity(index_);
    return quantity != nullptr ? quantity->Read(state) : 0.0;
}

} // namespace mirevane
