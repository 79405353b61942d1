// The host's side of a stress test: its two arrays, fenced so that any write outside panel
// entries 0..255 and any write to the sound array shows, and vehicle states that run from
// ordinary driving to values no sane host sends (NaN, infinities, 1e308, denormals, a clock
// that jumps back or wraps past the 32-bit range).
#pragma once

#include "plugin/host_records.h"

#include <cstdint>
#include <random>
#include <vector>

namespace mirevane::test {

class FencedHostArrays {
public:
    // The plug-in sees a panel of 1024 entries (the host's at least 256, plus 768 it must
    // never touch) with 256 more fenced off before it, and a sound array of exactly 256.
    static constexpr int kPanelEntries = 1024;
    static constexpr int kFenceBefore = 256;

    explicit FencedHostArrays(uint64_t seed = 1);

    int32_t* panel() noexcept { return panel_.data() + kFenceBefore; }
    int32_t* sound() noexcept { return sound_.data(); }

    // New random contents for panel entries 0..255 and the sound array, as a host would have.
    void Scramble(std::mt19937_64& random);

    // Whether every fenced entry and the sound array still hold what was put there.
    bool FencesIntact() const;
    bool SoundIntact() const { return sound_ == soundCopy_; }
    // Whether panel entries 0..255 are as they were at the last Snapshot (for the calls
    // other than Elapse, which must not write at all).
    void Snapshot();
    bool PanelUnchangedSinceSnapshot() const;

private:
    static int32_t FencePattern(int position) noexcept;

    std::vector<int32_t> panel_;
    std::vector<int32_t> sound_;
    std::vector<int32_t> soundCopy_;
    std::vector<int32_t> panelCopy_;
};

// Vehicle states, one per frame, from a seed: mostly ordinary, often hostile.
class VehicleStates {
public:
    explicit VehicleStates(uint64_t seed) : random_(seed) {}

    AtsVehicleState Next();
    std::mt19937_64& random() noexcept { return random_; }

private:
    double Location();
    float Quantity();
    int32_t Time();

    std::mt19937_64 random_;
    double location_ = 0.0;
    uint32_t time_ = 0; // wraps as the host's 32-bit clock does
};

} // namespace mirevane::test
