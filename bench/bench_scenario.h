// The benchmark scenario: the 17-gauge set of bench/config and a vehicle whose location,
// speed, pressures and time advance every frame, at 60 frames per second.
#pragma once
#include "gauges/c_mirevane.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mirevane::bench {

constexpr int kGauges = 17;
constexpr int kPlain = 8;    // gauges 0..7: needles with vibration
constexpr int kElliptic = 9; // gauges 8..16: oval gauges with damping and 8 divisions

// Where the configuration lies: the path of a library Mirevane.dll beside it.
std::string BenchLibraryPath();

// The set as Load leaves it, loaded once.
const CMirevane& BenchSet();

struct Drive {
    AtsVehicleState state{};
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    int32_t frame = 0;
    // One frame on: 16, 17, 17 ms (60 frames per second); cheap integer waves, so the driver
    // costs next to nothing beside the frame it drives.
    void Advance() noexcept;
};

// Which damped gauges re-sample on which frame of the scenario, bit j for elliptic gauge j,
// found by the damping object's own rule (re-sample once more than 1/omega seconds have
// passed) on the scenario's time steps.
struct Schedule {
    std::vector<uint16_t> mask;
    double perFrame = 0.0; // re-sampling gauges per frame, on average
};
const Schedule& ResampleSchedule();

} // namespace mirevane::bench
