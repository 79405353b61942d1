#include "support/host_stand_in.h"

#include <cstring>
#include <limits>

namespace mirevane::test {
namespace {

template <typename To, typename From> To BitsOf(From from) {
    To to;
    static_assert(sizeof to == sizeof from, "same size");
    std::memcpy(&to, &from, sizeof to);
    return to;
}

} // namespace

FencedHostArrays::FencedHostArrays(uint64_t seed)
    : panel_(kFenceBefore + kPanelEntries), sound_(kHostArrayLast + 1) {
    for (int i = 0; i < static_cast<int>(panel_.size()); ++i) {
        panel_[i] = FencePattern(i);
    }
    std::mt19937_64 random(seed);
    Scramble(random);
}

int32_t FencedHostArrays::FencePattern(int position) noexcept {
    return static_cast<int32_t>(0x5A5A0000u ^ static_cast<uint32_t>(position) * 2654435761u);
}

void FencedHostArrays::Scramble(std::mt19937_64& random) {
    for (int i = 0; i <= kHostArrayLast; ++i) {
        panel()[i] = static_cast<int32_t>(random());
        sound_[i] = static_cast<int32_t>(random());
    }
    // Now and then the extremes a host may hold.
    panel()[random() % 256] = std::numeric_limits<int32_t>::min();
    sound_[random() % 256] = std::numeric_limits<int32_t>::max();
    soundCopy_ = sound_;
}

bool FencedHostArrays::FencesIntact() const {
    for (int i = 0; i < static_cast<int>(panel_.size()); ++i) {
        const bool hostEntry = i >= kFenceBefore && i <= kFenceBefore + kHostArrayLast;
        if (!hostEntry && panel_[i] != FencePattern(i)) {
            return false;
        }
    }
    return true;
}

void FencedHostArrays::Snapshot() {
    panelCopy_ = panel_;
}

bool FencedHostArrays::PanelUnchangedSinceSnapshot() const {
    return panel_ == panelCopy_;
}

AtsVehicleState VehicleStates::Next() {
    AtsVehicleState state{};
    state.location = Location();
    state.speed = Quantity();
    state.time = Time();
    state.bc = Quantity();
    state.mr = Quantity();
    state.er = Quantity();
    state.bp = Quantity();
    state.sap = Quantity();
    state.current = Quantity();
    return state;
}

double VehicleStates::Location() {
    const uint64_t pick = random_() % 16;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    switch (pick) {
    case 0:
        return std::numeric_limits<double>::quiet_NaN();
    case 1:
        return kInf;
    case 2:
        return -kInf;
    case 3:
        return 1e308;
    case 4:
        return -1e308;
    case 5:
        return std::numeric_limits<double>::denorm_min();
    case 6:
        return BitsOf<double>(random_()); // any bit pattern, NaN payloads included
    default:
        // Driving on: a few metres per frame, now and then backwards.
        location_ += static_cast<double>(random_() % 2000) / 100.0 - 2.0;
        return location_;
    }
}

float VehicleStates::Quantity() {
    const uint64_t pick = random_() % 20;
    constexpr float kInf = std::numeric_limits<float>::infinity();
    switch (pick) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return kInf;
    case 2:
        return -kInf;
    case 3:
        return std::numeric_limits<float>::max();
    case 4:
        return -std::numeric_limits<float>::max();
    case 5:
        return std::numeric_limits<float>::denorm_min();
    case 6:
        return -0.0f;
    case 7:
        return BitsOf<float>(static_cast<uint32_t>(random_()));
    default:
        return static_cast<float>(static_cast<int64_t>(random_() % 4001) - 2000) / 4.0f;
    }
}

int32_t VehicleStates::Time() {
    const uint64_t pick = random_() % 32;
    switch (pick) {
    case 0:
        time_ -= static_cast<uint32_t>(random_() % 1000000);
        break; // backwards
    case 1:
        time_ += 0x7FFFFFF0u;
        break; // past the 32-bit range
    case 2:
        time_ = 0x7FFFFFFFu - static_cast<uint32_t>(random_() % 100);
        break; // about to wrap
    case 3:
        time_ = static_cast<uint32_t>(random_());
        break;
    case 4:
        break; // a frame without time
    default:
        time_ += 10 + static_cast<uint32_t>(random_() % 40);
        break;
    }
    return BitsOf<int32_t>(time_); // the host clock as it wraps
}

} // namespace mirevane::test
