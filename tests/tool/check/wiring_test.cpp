// The parts of the wiring check that are logic: what a gauge writes for its values, checked
// against one frame of the plug-in itself; the stretches of values a test holds for; the
// order of an oval gauge's image lengths.
#include "check/gauge_writes.h"
#include "check/length_order.h"
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

// A speedometer on entry 20 (table 0 -> 0, 160 -> 270 degrees) and an oval one on entries
// 30 to 37 reading the same speed (0 -> 0, 160 -> 300).
const char kPlain[] = "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n"
                      "[FileName]\nGauge0 = oval\n";
const char kOval[] = "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                     "Ellipse2 = 32\nEllipse3 = 33\nEllipse4 = 34\nEllipse5 = 35\nEllipse6 = 36\n"
                     "Ellipse7 = 37\n[Ellipse]\nDivision = 8\nFlattening = 0.35\n"
                     "RotateAngle = 25\nStandbyAngle = 170\n";

class GaugeWritesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Write("Cab.ini", kPlain);
        folder_.Write("Cab.csv", "0,0\n160,270\n");
        folder_.Write("oval.ini", kOval);
        folder_.Write("oval.csv", "0,0\n160,300\n");
        gauges_.Load(folder_ / "Cab.dll");
        ASSERT_EQ(gauges_.gaugeCount(), 2);
    }

    // The panel after the plug-in's first frame at this speed.
    std::array<int32_t, 256> Frame(float kmph) {
        CMirevane plugin;
        plugin.Load(folder_ / "Cab.dll");
        AtsVehicleState state{};
        state.speed = kmph;
        std::array<int32_t, 256> panel{};
        const std::array<int32_t, 256> sound{};
        plugin.Elapse(state, panel.data(), sound.data());
        return panel;
    }

    test::TempDir folder_;
    CMirevane gauges_;
};

TEST_F(GaugeWritesTest, WritesWhatThePluginWritesInAFrame) {
    const GaugeWrites plain(gauges_, 0);
    const GaugeWrites oval(gauges_, 1);
    ASSERT_TRUE(oval.ParkedOn(30).has_value());
    EXPECT_FALSE(plain.ParkedOn(20).has_value());
    // Speeds on every part of the oval, both sides of its long axis and the turn's seam.
    for (const float kmph : {0.0f, 13.3f, 40.0f, 61.7f, 80.0f, 99.9f, 120.0f, 145.5f, 160.0f}) {
        SCOPED_TRACE(kmph);
        const std::array<int32_t, 256> panel = Frame(kmph);
        const PanelWrite p = plain.At(kmph);
        EXPECT_EQ(p.entry, 20);
        EXPECT_EQ(p.value, panel[20]);
        const PanelWrite o = oval.At(kmph);
        ASSERT_GE(o.entry, 30);
        ASSERT_LE(o.entry, 37);
        for (int32_t entry = 30; entry <= 37; ++entry) {
            // The first frame parks every image, then draws the chosen one.
            EXPECT_EQ(panel[static_cast<std::size_t>(entry)],
                      entry == o.entry ? o.value : *oval.ParkedOn(entry))
                << "entry " << entry;
        }
    }
}

TEST_F(GaugeWritesTest, RunsAreTheStretchesOfValuesATestHoldsFor) {
    const GaugeWrites plain(gauges_, 0);
    // Table 0 -> 0, 160 -> 270: written (angle + 180) * 1000, so 1687.5 units per km/h.
    const double perKmph = 270000.0 / 160.0;
    struct Case {
        const char* name;
        std::function<bool(const PanelWrite&)> holds;
        std::vector<ValueRun> runs;
    };
    const Case cases[] = {
        {"never", [](const PanelWrite&) { return false; }, {}},
        {"always", [](const PanelWrite&) { return true; }, {{0.0, 160.0}}},
        {"above 300000",
         [](const PanelWrite& w) { return w.value > 300000; },
         {{120000.0 / perKmph, 160.0}}},
        {"below 200000 or above 400000",
         [](const PanelWrite& w) { return w.value < 200000 || w.value > 400000; },
         {{0.0, 20000.0 / perKmph}, {220000.0 / perKmph, 160.0}}},
        {"between 250000 and 251000",
         [](const PanelWrite& w) { return w.value >= 250000 && w.value <= 251000; },
         {{70000.0 / perKmph, 71000.0 / perKmph}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ValueRun> runs = RunsWhere(plain, c.holds);
        ASSERT_EQ(runs.size(), c.runs.size());
        for (std::size_t i = 0; i < runs.size(); ++i) {
            // The ends are halved down to a millionth of the span (160 km/h); the written
            // value's truncation to whole units moves them by under one unit's worth.
            EXPECT_NEAR(runs[i].from, c.runs[i].from, 160e-6 + 1.0 / perKmph);
            EXPECT_NEAR(runs[i].to, c.runs[i].to, 160e-6 + 1.0 / perKmph);
        }
    }
}

TEST_F(GaugeWritesTest, AnOvalGaugesRunsOnOneEntryAreWhereThePluginChoosesIt) {
    const GaugeWrites oval(gauges_, 1);
    for (int32_t entry = 30; entry <= 37; ++entry) {
        SCOPED_TRACE(entry);
        const auto runs =
            RunsWhere(oval, [entry](const PanelWrite& w) { return w.entry == entry; });
        ASSERT_FALSE(runs.empty());
        for (const ValueRun& run : runs) {
            // Inside a run the plug-in draws on this entry, and just outside it on another.
            const auto kmph = static_cast<float>((run.from + run.to) / 2);
            EXPECT_NE(Frame(kmph)[static_cast<std::size_t>(entry)], *oval.ParkedOn(entry));
            EXPECT_EQ(oval.At(run.from).entry, entry);
            EXPECT_EQ(oval.At(run.to).entry, entry);
            if (run.from > 0.0) {
                EXPECT_NE(oval.At(run.from - 1e-3).entry, entry);
            }
            if (run.to < 160.0) {
                EXPECT_NE(oval.At(run.to + 1e-3).entry, entry);
            }
        }
    }
}

TEST(GaugeWritesTableTest, ARoundDialsOneEntryNeverShowsItsParking) {
    // Flattening 0: only the last division draws, on entry 33, every frame; the parking the
    // first frame writes there is overwritten by the needle before the host sees it.
    test::TempDir folder;
    folder.Write("Cab.ini", "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nEllipse0 = 30\n"
                            "Ellipse1 = 31\nEllipse2 = 32\nEllipse3 = 33\n[Ellipse]\n"
                            "Division = 4\nFlattening = 0\nStandbyAngle = 90\n");
    folder.Write("Cab.csv", "0,0\n160,270\n");
    CMirevane gauges;
    gauges.Load(folder / "Cab.dll");
    const GaugeWrites writes(gauges, 0);
    EXPECT_FALSE(writes.ParkedOn(33).has_value());
    AtsVehicleState state{};
    std::array<int32_t, 256> panel{};
    const std::array<int32_t, 256> sound{};
    for (const float kmph : {0.0f, 80.0f, 160.0f}) {
        state.speed = kmph;
        state.time += 100;
        gauges.Elapse(state, panel.data(), sound.data());
        EXPECT_EQ(panel[33], writes.At(kmph).value);
        EXPECT_NE(panel[33], 90000);
    }
}

TEST(GaugeWritesTableTest, AGaugeOfFewerThanTwoPointsHasNoStretch) {
    test::TempDir folder;
    folder.Write("Cab.ini", "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n");
    folder.Write("Cab.csv", "0,90\n");
    CMirevane gauges;
    gauges.Load(folder / "Cab.dll");
    const GaugeWrites writes(gauges, 0);
    EXPECT_EQ(writes.At(50).value, 180000); // fewer than two points: angle 0, 180 added
    EXPECT_TRUE(RunsWhere(writes, [](const PanelWrite&) { return true; }).empty());
}

TEST(LengthOrderTest, BreaksAreNeighboursWhoseLaterImageIsNotShorter) {
    using Reaches = std::vector<std::optional<double>>;
    using Breaks = std::vector<std::pair<std::size_t, std::size_t>>;
    const struct {
        const char* name;
        Reaches reaches;
        Breaks breaks;
    } cases[] = {
        {"none measured", {}, {}},
        {"one image", {100.0}, {}},
        {"in order", {100.0, 90.0, 80.0, 70.0}, {}},
        {"last two swapped", {100.0, 90.0, 70.0, 80.0}, {{2, 3}}},
        {"middle two swapped", {100.0, 80.0, 90.0, 70.0}, {{1, 2}}},
        {"first and last swapped", {70.0, 90.0, 80.0, 100.0}, {{0, 1}, {2, 3}}},
        {"two of one length", {100.0, 100.0}, {{0, 1}}},
        {"an unmeasured image passed over", {100.0, std::nullopt, 110.0, 70.0}, {{0, 2}}},
        {"an unmeasured image between sound ones", {100.0, std::nullopt, 80.0}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LengthOrderBreaks(c.reaches), c.breaks);
    }
}

} // namespace
} // namespace mirevane::tool
