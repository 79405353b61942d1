#include "gauges/vehicle_quantity.h"

#include <cmath>

namespace mirevane {

using Q = VehicleQuantity;

const std::array<VehicleQuantityRow, 8> kVehicleQuantities = {{
    {Q::kSpeed, "kmph", "km/h", false,
     [](const AtsVehicleState& s) noexcept { return std::fabs(static_cast<double>(s.speed)); },
     "speed (magnitude)"},
    {Q::kBrakeCylinder, "bc", "kPa", false,
     [](const AtsVehicleState& s) noexcept { return static_cast<double>(s.bc); },
     "brake cylinder pressure"},
    {Q::kMainReservoir, "mr", "kPa", false,
     [](const AtsVehicleState& s) noexcept { return static_cast<double>(s.mr); },
     "main reservoir pressure"},
    {Q::kStraightAirPipe, "sap", "kPa", false,
     [](const AtsVehicleState& s) noexcept { return static_cast<double>(s.sap); },
     "straight air pipe pressure"},
    {Q::kBrakePipe, "bp", "kPa", false,
     [](const AtsVehicleState& s) noexcept { return static_cast<double>(s.bp); },
     "brake pipe pressure"},
    {Q::kEqualisingReservoir, "er", "kPa", false,
     [](const AtsVehicleState& s) noexcept { return static_cast<double>(s.er); },
     "equalising reservoir pressure"},
    {Q::kCurrent, "am", "A", true,
     [](const AtsVehicleState& s) noexcept { return static_cast<double>(s.current); },
     "motor current (signed)"},
    {Q::kCurrentMagnitude, "amabs", "A", false,
     [](const AtsVehicleState& s) noexcept { return std::fabs(static_cast<double>(s.current)); },
     "motor current (magnitude)"},
}};

const VehicleQuantityRow* FindVehicleQuantity(int32_t number) noexcept {
    if (number < 1 || number > static_cast<int32_t>(kVehicleQuantities.size())) {
        return nullptr;
    }
    return &kVehicleQuantities[static_cast<std::size_t>(number - 1)];
}

} // namespace mirevane
