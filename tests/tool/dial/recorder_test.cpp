// The dial page's data: frames kept evenly within a budget as they come, the latest always
// kept, runs of equal numbers shortened, and the events and value ranges the page shows.
#include "dial/recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

// One plain gauge and one elliptic one; two panel columns.
DialRecorder Recorder(std::size_t budget) {
    GaugeInfo plain;
    plain.subject = "kmph";
    GaugeInfo oval;
    oval.elliptic = true;
    oval.subject = "bc";
    oval.unit = "kPa";
    RunHeader run;
    run.gauges = {plain, oval};
    run.panelColumns = {20, 30};
    run.observed = true;
    DialRecorder recorder(budget);
    recorder.Begin(run);
    return recorder;
}

// Frame i: time 10 i ms, plain value i, panel entry 20 at i thousandths, entry 30 parked,
// speed i km/h.
void AddFrame(DialRecorder& recorder, int32_t i, std::vector<int32_t> keys = {},
              const std::string& copied = "", bool initialize = false) {
    FrameRecord frame;
    frame.index = static_cast<std::size_t>(i);
    frame.time = 10 * i;
    frame.axis = 10 * i;
    frame.keys = &keys;
    frame.clipboard = copied;
    frame.initialize = initialize;
    GaugeSample samples[2];
    samples[0].value = i;
    samples[1].value = -i;
    samples[1].entry = 30;
    const int32_t panel[2] = {i, 180000};
    frame.samples = samples;
    frame.panel = panel;
    frame.state.speed = static_cast<float>(i);
    recorder.Take(frame);
}

std::string Times(const std::vector<int64_t>& times) {
    std::string text;
    for (int64_t t : times) {
        text += (text.empty() ? "" : ",") + std::to_string(t / 10);
    }
    return text;
}

struct BudgetCase {
    std::size_t budget;
    int32_t frames;
    const char* kept; // frame numbers
    std::size_t stride;
};

TEST(DialRecorderTest, KeepsEveryStrideThFrameAndTheLatest) {
    const BudgetCase cases[] = {
        {10, 7, "0,1,2,3,4,5,6", 1},
        {4, 4, "0,1,2,3", 1},
        {4, 5, "0,2,4", 2},
        {4, 6, "0,2,4,5", 2},
        {4, 9, "0,4,8", 4},
        {4, 10, "0,4,8,9", 4},
        {2, 3, "0,2", 2},
    };
    for (const BudgetCase& c : cases) {
        DialRecorder recorder = Recorder(c.budget);
        for (int32_t i = 0; i < c.frames; ++i) {
            AddFrame(recorder, i);
        }
        const std::string name = std::to_string(c.budget) + "/" + std::to_string(c.frames);
        EXPECT_EQ(Times(recorder.times()), c.kept) << name;
        EXPECT_EQ(recorder.stride(), c.stride) << name;
        EXPECT_EQ(recorder.framesSeen(), static_cast<std::size_t>(c.frames)) << name;
    }
}

TEST(DialRecorderTest, EachKeptFrameKeepsItsOwnSamplesAndPanelValues) {
    DialRecorder recorder = Recorder(4);
    for (int32_t i = 0; i < 10; ++i) {
        AddFrame(recorder, i);
    }
    const std::string json = recorder.Json();
    EXPECT_NE(json.find("\"t\":[0,40,80,90]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"value\":[0,4,8,9]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"value\":[0,-4,-8,-9]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"20\":[0,4,8,9]"), std::string::npos) << json;
    // And its vehicle state, and every entry its column's value, by frame.
    std::string speeds;
    for (const AtsVehicleState& state : recorder.states()) {
        speeds += (speeds.empty() ? "" : ",") + std::to_string(static_cast<int>(state.speed));
    }
    EXPECT_EQ(speeds, "0,4,8,9");
    ASSERT_EQ(recorder.panelColumns(), (std::vector<int32_t>{20, 30}));
    EXPECT_EQ(recorder.PanelValue(2, 0), 8);
    EXPECT_EQ(recorder.PanelValue(3, 1), 180000);
    // A run of equal numbers as [number, count]; the elliptic gauge's entry is one.
    EXPECT_NE(json.find("\"30\":[[180000,4]]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"entry\":[[30,4]]"), std::string::npos) << json;
    // The plain gauge has no damped angle or entry.
    EXPECT_EQ(json.find("\"entry\""), json.rfind("\"entry\""));
}

TEST(DialRecorderTest, MemoryStaysWithinTheBudgetForLongRuns) {
    DialRecorder recorder = Recorder(100);
    constexpr int32_t kFrames = 100000;
    for (int32_t i = 0; i < kFrames; ++i) {
        AddFrame(recorder, i);
        ASSERT_LE(recorder.framesKept(), 101u) << "frame " << i;
    }
    EXPECT_GE(recorder.framesKept(), 50u);
    EXPECT_EQ(recorder.times().back(), 10 * (kFrames - 1));
    // Evenly spaced, but for the latest.
    for (std::size_t k = 1; k + 1 < recorder.times().size(); ++k) {
        EXPECT_EQ(recorder.times()[k] - recorder.times()[k - 1],
                  static_cast<int32_t>(10 * recorder.stride()));
    }
}

TEST(DialRecorderTest, RecordsKeyPressesCopiesAndTheValueRange) {
    DialRecorder recorder = Recorder(4);
    AddFrame(recorder, 0);
    AddFrame(recorder, 1, {7, 5}, "");
    AddFrame(recorder, 2, {0}, "203.8");
    AddFrame(recorder, 3, {}, "</script>\"");
    AddFrame(recorder, 4, {}, "", true);
    // Events are kept whatever happens to the frames.
    for (int32_t i = 5; i < 20; ++i) {
        AddFrame(recorder, i);
    }
    ASSERT_EQ(recorder.events().size(), 4u);
    EXPECT_EQ(recorder.events()[0].timeMilliseconds, 10);
    EXPECT_EQ(recorder.events()[0].keys, "D C1");
    EXPECT_EQ(recorder.events()[1].keys, "S");
    EXPECT_EQ(recorder.events()[1].copied, "203.8");
    EXPECT_FALSE(recorder.events()[2].initialize);
    EXPECT_EQ(recorder.events()[3].timeMilliseconds, 40);
    EXPECT_TRUE(recorder.events()[3].initialize);
    const std::string json = recorder.Json();
    // Inside a <script> element: no "</script" may appear, quotes escaped.
    EXPECT_EQ(json.find("</"), std::string::npos);
    EXPECT_NE(json.find("\"copied\":\"\\u003c/script>\\\"\""), std::string::npos) << json;
    EXPECT_EQ(recorder.lowestValues()[0], 0);
    EXPECT_EQ(recorder.highestValues()[0], 19);
    EXPECT_EQ(recorder.lowestValues()[1], -19);
}

TEST(DialRecorderTest, NonNumbersBecomeNullAndStayOutOfTheRange) {
    DialRecorder recorder = Recorder(4);
    GaugeSample samples[2];
    samples[0].value = std::numeric_limits<double>::quiet_NaN();
    samples[1].shown = std::numeric_limits<double>::infinity();
    const int32_t panel[2] = {0, 0};
    FrameRecord frame;
    frame.samples = samples;
    frame.panel = panel;
    recorder.Take(frame);
    const std::string json = recorder.Json();
    EXPECT_NE(json.find("\"value\":[null]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"shown\":[null]"), std::string::npos) << json;
    EXPECT_FALSE(std::isfinite(recorder.lowestValues()[0]));
}

} // namespace
} // namespace mirevane::tool
