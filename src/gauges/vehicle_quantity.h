// The eight vehicle quantities a subject can read: keyword, unit, sign and where each comes
// from in the host's vehicle state. Adding a quantity is one row; the subject grammar, the
// tool and the generated reference all walk this table.
#pragma once

#include "plugin/host_records.h"

#include <array>
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
    bool isSigned; // its values may be negative (the current while braking electrically)
    double (*read)(const AtsVehicleState& state) noexcept;
    const char* meaning;
};

// By quantity number 1..8 (index 0 holds kSpeed).
extern const std::array<VehicleQuantityRow, 8> kVehicleQuantities;

// The row of a quantity number, or nullptr for 0 and numbers outside the table.
const VehicleQuantityRow* FindVehicleQuantity(int32_t number) noexcept;

} // namespace mirevane
