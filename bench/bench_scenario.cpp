#include "bench/bench_scenario.h"

#include <cmath>

namespace mirevane::bench {

std::string BenchLibraryPath() {
    return std::string(MIREVANE_BENCH_CONFIG) + "/Mirevane.dll";
}

const CMirevane& BenchSet() {
    static const CMirevane set = [] {
        CMirevane loaded;
        loaded.Load(BenchLibraryPath());
        return loaded;
    }();
    return set;
}

void Drive::Advance() noexcept {
    ++frame;
    const int32_t stepMs = frame % 3 == 0 ? 16 : 17;
    state.time += stepMs;
    const int32_t ramp = frame % 2400; // a 40 s cycle: up to 120 km/h and down again
    state.speed = static_cast<float>((ramp < 1200 ? ramp : 2400 - ramp) * 0.1);
    state.location += state.speed / 3.6 * (stepMs / 1000.0);
    state.bc = static_cast<float>((frame % 500) * 0.8);
    state.mr = static_cast<float>(700 + frame % 300);
    state.er = static_cast<float>(frame % 490);
    state.bp = static_cast<float>(frame % 510);
    state.sap = static_cast<float>(frame % 520);
    state.current = static_cast<float>(frame % 1600 - 800);
    sound[3] = frame % 256;
}

const Schedule& ResampleSchedule() {
    static const Schedule schedule = [] {
        constexpr int kFrames = 36000; // ten minutes of frames
        Schedule s;
        s.mask.assign(kFrames, 0);
        long total = 0;
        for (int j = 0; j < kElliptic; ++j) {
            const double omega = BenchSet().ellipses()[kPlain + j].damping().naturalFrequency();
            const double interval = 1.0 / omega;
            double elapsed = 0.0;
            Drive drive;
            int32_t previous = 0;
            for (int f = 0; f < kFrames; ++f) {
                drive.Advance();
                // The first frame has no previous time and steps by 0.
                const double dt = f == 0 ? 0.0 : (drive.state.time - previous) / 1000.0;
                previous = drive.state.time;
                if (elapsed > interval) {
                    s.mask[f] = static_cast<uint16_t>(s.mask[f] | (1u << j));
                    ++total;
                    elapsed = std::fmod(elapsed, interval);
                }
                elapsed += dt;
            }
        }
        s.perFrame = static_cast<double>(total) / kFrames;
        return s;
    }();
    return schedule;
}

} // namespace mirevane::bench
