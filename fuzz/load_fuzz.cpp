// The whole Load from a fuzzed cab folder (fuzz_cab.h), then frames from a script in the part
// after the folder's files. After Load the six per-gauge sequences must have equal lengths; every
// frame runs on a fenced panel (1024 entries, nothing at 256 or above may change, nor anything
// before entry 0) and a sound array that must stay as it was.
#include "fuzz_cab.h"
#include "fuzz_check.h"
#include "gauges/c_mirevane.h"
#include "support/host_stand_in.h"

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace mirevane {
namespace {

void RequireConsistent(const CMirevane& set) {
    const auto count = static_cast<std::size_t>(set.gaugeCount());
    FUZZ_REQUIRE(set.subjects().size() == count && set.vibrations().size() == count &&
                     set.scales().size() == count && set.ellipses().size() == count &&
                     set.isElliptic().size() == count && set.needlePanelIndex().size() == count,
                 std::to_string(count) + " gauges");
}

// A value for a float field: its raw bits, or one of the values no sane host sends.
float Quantity(fuzz::ByteReader& script) {
    static const float kHostile[] = {std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::max(),
                                     -std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::denorm_min(),
                                     -0.0f,
                                     0.0f};
    const uint8_t selector = script.Byte();
    if (selector < 8) {
        return kHostile[selector];
    }
    return script.Raw<float>();
}

double Location(fuzz::ByteReader& script) {
    static const double kHostile[] = {std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity(),
                                      1e308,
                                      -1e308,
                                      std::numeric_limits<double>::denorm_min(),
                                      0.0,
                                      12345.678};
    const uint8_t selector = script.Byte();
    if (selector < 8) {
        return kHostile[selector];
    }
    return script.Raw<double>();
}

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    const fuzz::LaidCab laid = fuzz::LayCab(data, size);
    fuzz::ByteReader script(laid.own.empty() ? std::string_view() : laid.own.front());

    const std::string library = laid.cab.library();
    CMirevane set;
    set.Load(library);
    RequireConsistent(set);
    // The main profile and at most sixteen further ones.
    FUZZ_REQUIRE(set.gaugeCount() <= 17, std::to_string(set.gaugeCount()));

    test::FencedHostArrays arrays(size);
    std::mt19937_64 random(size);
    const int frames = 8 + static_cast<int>(script.Byte() % 120);
    for (int frame = 0; frame < frames; ++frame) {
        switch (script.Byte() % 64) {
        case 0:
        case 1:
        case 2:
        case 3:
            set.KeyDown(static_cast<int32_t>(script.Byte() % 26) - 5);
            break;
        case 4:
            set.Initialize();
            break;
        case 5:
            arrays.Scramble(random);
            break;
        case 6:
            // Load again: a further set of gauges after those already there.
            set.Load(library);
            RequireConsistent(set);
            break;
        default:
            break;
        }
        AtsVehicleState state{};
        state.location = Location(script);
        state.speed = Quantity(script);
        state.time = script.Raw<int32_t>();
        state.bc = Quantity(script);
        state.mr = Quantity(script);
        state.er = Quantity(script);
        state.bp = Quantity(script);
        state.sap = Quantity(script);
        state.current = Quantity(script);
        set.Elapse(state, arrays.panel(), arrays.sound());
        FUZZ_REQUIRE(arrays.FencesIntact(), "frame " + std::to_string(frame));
        FUZZ_REQUIRE(arrays.SoundIntact(), "frame " + std::to_string(frame));
    }
    return 0;
}
