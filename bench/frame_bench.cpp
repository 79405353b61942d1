// Per-frame cost of the 17-gauge set in bench/config, each stage alone, and the floor: the
// same mathematical calls those gauges make per frame, with nothing around them.
#include "bench/bench_scenario.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace mirevane::bench {
namespace {

void BM_Elapse(benchmark::State& st) {
    const CMirevane& loaded = BenchSet();
    if (loaded.gaugeCount() != kGauges) {
        st.SkipWithError("bench/config did not give 17 gauges");
        return;
    }
    CMirevane set = loaded;
    Drive drive;
    for (auto _ : st) {
        drive.Advance();
        set.Elapse(drive.state, drive.panel.data(), drive.sound.data());
        benchmark::ClobberMemory();
    }
    st.counters["resamples/frame"] = ResampleSchedule().perFrame;
}

// The floor: per frame 8 sines (vibration); per damped gauge exp, cos and sin (again, with
// the remainder, on a re-sampling frame, as the schedule of this very scenario says); per
// ellipse sin, cos, atan2 and the remainder of the folded angle. Inputs come from the same
// driver, so they change on every iteration and nothing is folded away.
void BM_Floor(benchmark::State& st) {
    const CMirevane& loaded = BenchSet();
    std::array<double, kPlain> k{};
    std::array<double, kElliptic> sigma{};
    std::array<double, kElliptic> wd{};
    std::array<double, kElliptic> b{};
    for (int i = 0; i < kPlain; ++i) {
        k[i] = loaded.vibrations()[i].spatialFrequency();
    }
    for (int j = 0; j < kElliptic; ++j) {
        const CDampingObject& d = loaded.ellipses()[kPlain + j].damping();
        sigma[j] = d.dampingRatio() * d.naturalFrequency();
        wd[j] = d.naturalFrequency();
        b[j] = 1.0 - loaded.ellipses()[kPlain + j].flattening();
    }
    const Schedule& schedule = ResampleSchedule();
    Drive drive;
    std::size_t frame = 0;
    for (auto _ : st) {
        drive.Advance();
        const uint16_t resample = schedule.mask[frame];
        frame = frame + 1 == schedule.mask.size() ? 0 : frame + 1;
        const double x = drive.state.location;
        for (int i = 0; i < kPlain; ++i) {
            benchmark::DoNotOptimize(std::sin(k[i] * x));
        }
        const double t = (drive.state.time % 1000) * 1e-4;
        const double angle = drive.state.bc * 0.01;
        for (int j = 0; j < kElliptic; ++j) {
            if (resample & (1u << j)) {
                benchmark::DoNotOptimize(std::exp(-sigma[j] * (t + 0.1)));
                benchmark::DoNotOptimize(std::cos(wd[j] * (t + 0.1)));
                benchmark::DoNotOptimize(std::sin(wd[j] * (t + 0.1)));
                benchmark::DoNotOptimize(std::fmod(t + 0.1, 0.125));
            }
            benchmark::DoNotOptimize(std::exp(-sigma[j] * t));
            benchmark::DoNotOptimize(std::cos(wd[j] * t));
            benchmark::DoNotOptimize(std::sin(wd[j] * t));
            const double phi = angle + j;
            benchmark::DoNotOptimize(std::atan2(b[j] * std::sin(phi), std::cos(phi)));
            benchmark::DoNotOptimize(std::fmod(phi * 57.29577951308232, 180.0));
        }
    }
    st.counters["resamples/frame"] = schedule.perFrame;
}

// The stages alone, each over every gauge of the set that runs it, one frame per iteration.
void BM_SubjectValue(benchmark::State& st) {
    const std::vector<Subject> subjects = BenchSet().subjects();
    Drive drive;
    for (auto _ : st) {
        drive.Advance();
        for (const Subject& s : subjects) {
            benchmark::DoNotOptimize(s.Value(drive.state, drive.panel.data(), drive.sound.data()));
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(subjects.size()));
}

void BM_VibrationApply(benchmark::State& st) {
    const std::vector<CNeedleVibration> vibrations = BenchSet().vibrations();
    Drive drive;
    for (auto _ : st) {
        drive.Advance();
        const double value = drive.state.speed;
        for (const CNeedleVibration& v : vibrations) {
            benchmark::DoNotOptimize(v.Apply(value, drive.state.location));
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(vibrations.size()));
}

void BM_ScaleInterpolate(benchmark::State& st) {
    const std::vector<NeedleScale> scales = BenchSet().scales();
    Drive drive;
    for (auto _ : st) {
        drive.Advance();
        const double value = drive.state.mr;
        for (const NeedleScale& s : scales) {
            benchmark::DoNotOptimize(s.Interpolate(value));
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(scales.size()));
}

void BM_DampingStep(benchmark::State& st) {
    std::vector<CDampingObject> dampers;
    for (int j = 0; j < kElliptic; ++j) {
        dampers.push_back(BenchSet().ellipses()[kPlain + j].damping());
    }
    Drive drive;
    int32_t previousTime = drive.state.time;
    for (auto _ : st) {
        drive.Advance();
        const double dt = (drive.state.time - previousTime) / 1000.0;
        previousTime = drive.state.time;
        for (CDampingObject& d : dampers) {
            double x = drive.state.bc * 0.01;
            d.Step(dt, x);
            benchmark::DoNotOptimize(x);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(dampers.size()));
}

void BM_EllipseRender(benchmark::State& st) {
    std::vector<CEllipseGauge> ellipses(BenchSet().ellipses().begin() + kPlain,
                                        BenchSet().ellipses().end());
    Drive drive;
    for (auto _ : st) {
        drive.Advance();
        const double angle = 180.0 + drive.state.bc * 0.4;
        for (CEllipseGauge& e : ellipses) {
            e.Render(angle, drive.state.time, drive.panel.data());
        }
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * static_cast<int64_t>(ellipses.size()));
}

} // namespace

BENCHMARK(BM_Elapse);
BENCHMARK(BM_Floor);
BENCHMARK(BM_SubjectValue);
BENCHMARK(BM_VibrationApply);
BENCHMARK(BM_ScaleInterpolate);
BENCHMARK(BM_DampingStep);
BENCHMARK(BM_EllipseRender);

} // namespace mirevane::bench
