// The whole Load from fuzz bytes, then frames. The input is split at lines "%%" into the main
// profile and table, two further gauge files with their tables (a.ini, a.csv, b.ini, b.csv),
// the fallback profile ./Ats.ini, and a script of frames: a part that is absent leaves its
// file absent. After Load the six per-gauge sequences must have equal lengths; every frame
// runs on a fenced panel (1024 entries, nothing at 256 or above may change, nor anything
// before entry 0) and a sound array that must stay as it was.
#include "fuzz_check.h"
#include "gauges/c_mirevane.h"
#include "support/host_stand_in.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirevane {
namespace {

const char* const kFiles[] = {"Mirevane.ini", "Mirevane.csv", "a.ini", "a.csv", "b.ini", "b.csv"};
constexpr std::size_t kFallbackPart = 6;
constexpr std::size_t kScriptPart = 7;

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

struct Folders {
    Folders() {
        // No stray ./Ats.ini: the working directory is a folder of this target's own.
        std::filesystem::current_path(work.path());
    }
    test::TempDir library;
    test::TempDir work;
};

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    static const Folders folders;
    const std::vector<std::string_view> parts =
        fuzz::SplitInput(std::string_view(reinterpret_cast<const char*>(data), size), "\n%%\n");

    std::error_code ignored;
    for (std::size_t i = 0; i < std::size(kFiles); ++i) {
        std::filesystem::remove(folders.library.path() / kFiles[i], ignored);
        if (i < parts.size()) {
            folders.library.Write(kFiles[i], std::string(parts[i]));
        }
    }
    std::filesystem::remove(folders.work.path() / "Ats.ini", ignored);
    if (kFallbackPart < parts.size()) {
        folders.work.Write("Ats.ini", std::string(parts[kFallbackPart]));
    }
    fuzz::ByteReader script(kScriptPart < parts.size() ? parts[kScriptPart] : std::string_view());

    const std::string library = (folders.library.path() / "Mirevane.dll").string();
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
