// The bad-configuration corpus (tests/data/bad): whatever a cab builder writes beside the
// plug-in, Load and a thousand frames with key presses complete, nothing outside panel
// entries 0..255 is written, the sound array is never written, and the six per-gauge
// sequences keep equal lengths. In the native build `mirevane check` must also point at what
// is wrong.
#include "gauges/c_mirevane.h"
#include "support/config_folder.h"
#include "support/host_stand_in.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#if defined(MIREVANE_TOOL)
#include <sys/wait.h>
#endif

namespace mirevane {
namespace {

const std::filesystem::path kCorpus = std::filesystem::path(MIREVANE_TEST_DATA) / "bad";

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& folder : test::CorpusCases(kCorpus)) {
        names.push_back(folder.filename().string());
    }
    return names;
}

void ExpectConsistent(const CMirevane& set) {
    const auto count = static_cast<std::size_t>(set.gaugeCount());
    EXPECT_EQ(set.subjects().size(), count);
    EXPECT_EQ(set.vibrations().size(), count);
    EXPECT_EQ(set.scales().size(), count);
    EXPECT_EQ(set.ellipses().size(), count);
    EXPECT_EQ(set.isElliptic().size(), count);
    EXPECT_EQ(set.needlePanelIndex().size(), count);
}

class BadConfiguration : public testing::TestWithParam<std::string> {
protected:
    BadConfiguration() : previous_(std::filesystem::current_path()) {
        // No fallback ./Ats.ini: the working directory is an empty folder of its own.
        std::filesystem::current_path(work_.path());
    }
    ~BadConfiguration() override { std::filesystem::current_path(previous_); }

    test::TempDir work_;
    test::TempDir library_;
    std::filesystem::path previous_;
};

TEST(BadConfigurationCorpus, HoldsAtLeastTwentyCases) {
    EXPECT_GE(CaseNames().size(), 20u);
}

TEST_P(BadConfiguration, LoadsAndRunsAThousandFramesWithinBounds) {
    test::LayOutConfiguration(kCorpus / GetParam(), library_.path());
    const auto start = std::chrono::steady_clock::now();

    CMirevane set;
    set.Load((library_.path() / "Mirevane.dll").string());
    ExpectConsistent(set);

    test::FencedHostArrays arrays;
    test::VehicleStates states(GetParam().size());
    std::mt19937_64& random = states.random();
    int frame = 0;
    for (; frame < 1000; ++frame) {
        if (frame % 7 == 3) {
            set.KeyDown(static_cast<int32_t>(random() % 26) - 5); // -5..20
        }
        if (frame % 50 == 25) {
            set.Initialize();
        }
        if (frame % 10 == 0) {
            arrays.Scramble(random);
        }
        set.Elapse(states.Next(), arrays.panel(), arrays.sound());
        if (!arrays.FencesIntact() || !arrays.SoundIntact()) {
            break;
        }
    }
    EXPECT_EQ(frame, 1000) << "a write outside panel entries 0..255 or into the sound array";
    EXPECT_TRUE(arrays.FencesIntact());
    EXPECT_TRUE(arrays.SoundIntact());
    ExpectConsistent(set);

    // A host waits for Load on its one thread. A minute is far beyond any sane load (the
    // biggest case, 10 MB of table, takes a few seconds even under the sanitizers); it only
    // tells slow from stuck.
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 60.0);
}

#if defined(MIREVANE_TOOL)
// What `mirevane check` must say of each case: the diagnostic code, or where the tool has no
// diagnostic for the fault, the line of its report that shows it.
const std::map<std::string, std::string> kCheckShows = {
    {"all-gauges-self", "[panel-written-twice]"},
    {"binary-profile", "[outside-section]"},
    {"binary-table", "[table-line-skipped]"},
    {"broken-lines", "[outside-section]"},
    {"division-max", "[division-above-64]"},
    {"empty-files", "[table-empty]"},
    {"gauge-absolute", "[gauge-file-not-found]"},
    {"gauge-dot-dot", "[gauge-file-not-found]"},
    {"gauge-name-300", "[gauge-file-not-found]"},
    {"gauge-wildcards", "[gauge-file-not-found]"},
    {"integer-overflow-texts", "[not-an-integer]"},
    {"key-names-odd", "[key-binds-nothing]"},
    {"natural-freq-1e308", "natural frequency 1e+308 rad/s, damping ratio 1e+308"},
    {"nul-bytes", "[unknown-section]"},
    {"numeric-denormal", "natural frequency 5e-324 rad/s"},
    {"numeric-huge", "[needle-out-of-range]"},
    {"numeric-infinity", "[not-an-integer]"},
    {"numeric-nan", "[not-an-integer]"},
    {"profile-is-directory", "[is-a-folder]"},
    {"profile-line-100000", "[unknown-section]"},
    {"subjects-odd", "[subject-names-nothing]"},
    {"table-10mb-descending", "700000 points"},
    {"table-extreme-values", "[table-not-monotonic]"},
    {"table-is-directory", "[is-a-folder]"},
    {"table-line-100000", "[table-line-skipped]"},
    {"utf16-profile", "[utf16-text]"},
};

TEST_P(BadConfiguration, CheckPointsAtTheFault) {
    const auto expected = kCheckShows.find(GetParam());
    ASSERT_NE(expected, kCheckShows.end()) << "say what check must report for this case";
    test::LayOutConfiguration(kCorpus / GetParam(), library_.path());

    const std::string command =
        std::string(MIREVANE_TOOL) + " check '" + (library_.path() / "Mirevane.dll").string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string report;
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        report.append(chunk, count);
    }
    const int status = pclose(pipe);
    // 0: no error found, 1: errors found; anything else is the tool failing.
    ASSERT_TRUE(WIFEXITED(status)) << report;
    EXPECT_LE(WEXITSTATUS(status), 1) << report;
    EXPECT_NE(report.find("Mirevane check of"), std::string::npos) << report;
    EXPECT_NE(report.find(expected->second), std::string::npos) << report;
}
#endif

INSTANTIATE_TEST_SUITE_P(Corpus, BadConfiguration, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

} // namespace
} // namespace mirevane
