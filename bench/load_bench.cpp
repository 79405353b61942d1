// Load of the 17-gauge configuration through the portable profile reader: a fresh gauge set
// each time, as a host's single Load would build it.
#include "bench/bench_scenario.h"

#include <benchmark/benchmark.h>

namespace mirevane::bench {
namespace {

void BM_Load(benchmark::State& st) {
    const std::string path = BenchLibraryPath();
    for (auto _ : st) {
        CMirevane set;
        set.Load(path);
        if (set.gaugeCount() != kGauges) {
            st.SkipWithError("bench/config did not give 17 gauges");
            break;
        }
        benchmark::DoNotOptimize(set);
    }
}

} // namespace

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

} // namespace mirevane::bench
