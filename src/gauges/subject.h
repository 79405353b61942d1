// Where a gauge takes its value from: a vehicle quantity, a panel entry or a sound entry.
#pragma once

#include "plugin/host_records.h"

#include <cstdint>
#include <string>

namespace mirevane {

class Subject {
public:
    enum Kind : int32_t { kVehicle = 0, kPanel = 1, kSound = 2 };

    // Set-up, once at Load: any text the grammar does not accept gives a subject of value 0.
    void Parse(std::string text);
    void SetMaxIndex(int32_t maxIndex) noexcept { maxIndex_ = maxIndex; }

    // Per frame: reads, never writes; no allocation.
    double Value(const AtsVehicleState& state, const int32_t* panel,
                 const int32_t* sound) const noexcept;

    int32_t maxIndex() const noexcept { return maxIndex_; }
    int32_t kind() const noexcept { return kind_; }
    int32_t index() const noexcept { return index_; }

private:
    int32_t maxIndex_ = kHostArrayLast;
    int32_t kind_ = kVehicle;
    int32_t index_ = 0;
};

} // namespace mirevane
