// The eight vehicle quantities a subject can read: keyword, unit, sign and where each comes
// from in the host's vehicle state. Adding a quantity is one row; the subject grammar, the
// tool and the generated reference all walk this table.
#pragma once

#include "plugin/host_records.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace mirevane {

// The subject's quantity number. Not the order of the vehicle state's fields: sap is 4
// although its field follows those of er and bp.
enum class VehicleQuantity : int32_t {
    kNone = 0, // a subject that reads nothing: always 0
    kSpeed,
    kBrakeCylinder,
    kMainReservoir,
    kStraightAirPipe,
    kBrakePipe,
    kEqualisingReservoir,
    kCurrent,
    kCurrentMagnitude,
};

struct VehicleQuantityRow {
    VehicleQuantity quantity;
    const char* keyword; // as a subject text writes it, compared in lower case
    const char* unit;
    float AtsVehicleState::*field; // where the host passes it
    bool magnitude;                // read as its absolute value
    bool isSigned; // its values may be negative (the current while braking electrically)
    const char* meaning;

    // Per frame: one field load, no call. The magnitude is taken in float, before widening:
    // the same value, and measurably cheaper than masking the double.
    double Read(const AtsVehicleState& state) const noexcept {
        const float value = state.*field;
        return magnitude ? std::fabs(value) : value;
    }
};

// By quantity number 1..8 (index 0 holds kSpeed). In the header, so that the compiler sees the
// rows where a subject is read, every frame.
inline constexpr std::array<VehicleQuantityRow, 8> kVehicleQuantities = {{
    {VehicleQuantity::kSpeed, "kmph", "km/h", &AtsVehicleState::speed, true, false,
     "speed (magnitude)"},
    {VehicleQuantity::kBrakeCylinder, "bc", "kPa", &AtsVehicleState::bc, false, false,
     "brake cylinder pressure"},
    {VehicleQuantity::kMainReservoir, "mr", "kPa", &AtsVehicleState::mr, false, false,
     "main reservoir pressure"},
    {VehicleQuantity::kStraightAirPipe, "sap", "kPa", &AtsVehicleState::sap, false, false,
     "straight air pipe pressure"},
    {VehicleQuantity::kBrakePipe, "bp", "kPa", &AtsVehicleState::bp, false, false,
     "brake pipe pressure"},
    {VehicleQuantity::kEqualisingReservoir, "er", "kPa", &AtsVehicleState::er, false, false,
     "equalising reservoir pressure"},
    {VehicleQuantity::kCurrent, "am", "A", &AtsVehicleState::current, false, true,
     "motor current (signed)"},
    {VehicleQuantity::kCurrentMagnitude, "amabs", "A", &AtsVehicleState::current, true, false,
     "motor current (magnitude)"},
}};

// The row of a quantity number, or nullptr for 0 and numbers outside the table.
constexpr const VehicleQuantityRow* FindVehicleQuantity(int32_t number) noexcept {
    return number >= 1 && number <= static_cast<int32_t>(kVehicleQuantities.size())
               ? &kVehicleQuantities[static_cast<std::size_t>(number - 1)]
               : nullptr;
}

} // namespace mirevane
