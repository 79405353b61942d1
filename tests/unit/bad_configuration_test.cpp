// The bad-configuration corpus (tests/data/bad): whatever a cab builder writes beside the
// plug-in, Load and a thousand frames with key presses complete, nothing outside panel
// entries 0..255 is written, the sound array is never written, and the six per-gauge
// sequences keep equal lengths.
#include "gauges/c_mirevane.h"
#include "support/config_folder.h"
#include "support/host_stand_in.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

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
