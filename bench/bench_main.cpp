// Runs the benchmarks, then prints a summary: medians when repetitions are asked for (a
// shared machine's single runs say little), and the ratio of Elapse to its floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single) {
                medians_ = medians_ || median;
                seconds_[run.run_name.function_name] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                if (auto it = run.counters.find("resamples/frame"); it != run.counters.end()) {
                    resamples_ = it->second.value;
                }
            }
        }
    }

    void PrintSummary() const {
        std::printf("\nSummary (%s; CPU time, since on a shared machine wall time counts others)\n",
                    medians_ ? "medians of the repetitions" : "single runs");
        const auto line = [this](const char* name, const char* what, double scale,
                                 const char* unit) {
            if (auto it = seconds_.find(name); it != seconds_.end()) {
                std::printf("  %-38s %10.3f %s\n", what, it->second * scale, unit);
            }
        };
        line("BM_Elapse", "Elapse, 17 gauges, per frame", 1e6, "us");
        line("BM_Floor", "floor (same maths calls), per frame", 1e6, "us");
        line("BM_SubjectValue", "Subject::Value x17", 1e9, "ns");
        line("BM_VibrationApply", "CNeedleVibration::Apply x17 (8 active)", 1e9, "ns");
        line("BM_ScaleInterpolate", "NeedleScale::Interpolate x17", 1e9, "ns");
        line("BM_DampingStep", "CDampingObject::Step x9", 1e9, "ns");
        line("BM_EllipseRender", "CEllipseGauge::Render x9", 1e9, "ns");
        line("BM_Load", "Load of 17 gauges (portable reader)", 1e3, "ms");
        std::printf("  %-38s %10.3f\n", "re-sampling gauges per frame", resamples_);
        const auto elapse = seconds_.find("BM_Elapse");
        const auto floor = seconds_.find("BM_Floor");
        if (elapse != seconds_.end() && floor != seconds_.end() && floor->second > 0) {
            std::printf("  %-38s %10.2f\n", "ratio Elapse / floor", elapse->second / floor->second);
        }
    }

private:
    std::map<std::string, double> seconds_;
    double resamples_ = 0.0;
    bool medians_ = false;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Load also reads the fallback ./Ats.ini: run where none lies, as the configuration folder.
    std::filesystem::current_path(MIREVANE_BENCH_CONFIG);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
