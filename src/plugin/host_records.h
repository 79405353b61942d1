// The records that cross the plug-in boundary, laid out exactly as the host passes them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirevane {

// Passed by value to Elapse once per frame. Read only.
struct AtsVehicleState {
    double location; // metres
    float speed;     // km/h
    int32_t time;    // milliseconds
    float bc;
    float mr;
    float er;
    float bp;
    float sap;
    float current; // amperes, signed
};

// Returned by Elapse: the handle positions the host last set.
struct AtsHandles {
    int32_t brake;
    int32_t power;
    int32_t reverser;
    int32_t constantSpeed; // always 0
};

static_assert(sizeof(AtsVehicleState) == 40, "host record size");
static_assert(offsetof(AtsVehicleState, location) == 0, "host record layout");
static_assert(offsetof(AtsVehicleState, speed) == 8, "host record layout");
static_assert(offsetof(AtsVehicleState, time) == 12, "host record layout");
static_assert(offsetof(AtsVehicleState, bc) == 16, "host record layout");
static_assert(offsetof(AtsVehicleState, mr) == 20, "host record layout");
static_assert(offsetof(AtsVehicleState, er) == 24, "host record layout");
static_assert(offsetof(AtsVehicleState, bp) == 28, "host record layout");
static_assert(offsetof(AtsVehicleState, sap) == 32, "host record layout");
static_assert(offsetof(AtsVehicleState, current) == 36, "host record layout");

static_assert(sizeof(AtsHandles) == 16, "host record size");
static_assert(offsetof(AtsHandles, brake) == 0, "host record layout");
static_assert(offsetof(AtsHandles, power) == 4, "host record layout");
static_assert(offsetof(AtsHandles, reverser) == 8, "host record layout");
static_assert(offsetof(AtsHandles, constantSpeed) == 12, "host record layout");

// The host's panel and sound arrays hold at least this many entries; nothing outside
// 0..kHostArrayLast is ever read or written.
constexpr int32_t kHostArrayLast = 255;

constexpr bool IsHostArrayIndex(int32_t index) noexcept {
    return index >= 0 && index <= kHostArrayLast;
}

} // namespace mirevane
