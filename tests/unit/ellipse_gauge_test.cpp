// The elliptic gauge: its division table, the drawn angles, and exactly which panel entries
// each frame writes.
#include "dynamics/damping_object.h"
#include "dynamics/ellipse_gauge.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

namespace mirevane {
namespace {

constexpr int kPanelIndexCount = 64; // Ellipse0..Ellipse63
constexpr int32_t kFirstEntry = 10;  // division k draws on panel entry 10 + k
constexpr int32_t kSentinel = 0x5A5A5A5A;

// As gauge assembly builds it: 64 panel indices, then the Ellipse settings.
CEllipseGauge MakeGauge(int32_t division, double flattening, double rotate, double standby,
                        const std::vector<int32_t>& indices) {
    CEllipseGauge gauge;
    for (int k = 0; k < kPanelIndexCount; ++k) {
        gauge.AddPanelIndex(k < static_cast<int>(indices.size()) ? indices[k] : -1);
    }
    gauge.Setup(division, flattening, rotate, standby);
    return gauge;
}

std::vector<int32_t> ConsecutiveEntries() {
    std::vector<int32_t> indices;
    for (int k = 0; k < kPanelIndexCount; ++k) {
        indices.push_back(kFirstEntry + k);
    }
    return indices;
}

using Panel = std::array<int32_t, 256>;

Panel FreshPanel() {
    Panel panel;
    panel.fill(kSentinel);
    return panel;
}

// Entry -> new value, for every entry that no longer holds the sentinel.
std::map<int32_t, int32_t> Written(const Panel& panel) {
    std::map<int32_t, int32_t> written;
    for (int32_t i = 0; i < 256; ++i) {
        if (panel[i] != kSentinel) {
            written[i] = panel[i];
        }
    }
    return written;
}

// A drawn angle given to 3 decimals (+-0.5 thousandths) and written truncated (up to one
// thousandth lower).
constexpr double kDrawnTolerance = 1.5;

// --- Division table.

struct TableCase {
    int32_t division;
    double flattening;
    double storedFlattening;
    std::vector<double> keys;       // degrees
    std::vector<int32_t> divisions; // the division each key belongs to
};

class DivisionTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(DivisionTable, HoldsTheBoundariesOfTheDivisions) {
    const TableCase& c = GetParam();
    const CEllipseGauge gauge =
        MakeGauge(c.division, c.flattening, 0.0, 180.0, ConsecutiveEntries());
    EXPECT_EQ(gauge.flattening(), c.storedFlattening);
    const auto& table = gauge.divisionTable();
    ASSERT_EQ(table.size(), c.keys.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        // The boundaries are given to 3 decimals.
        EXPECT_NEAR(table[i].first, c.keys[i], 5e-4) << "entry " << i;
        EXPECT_EQ(table[i].second, kFirstEntry + c.divisions[i]) << "entry " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EllipseGauge, DivisionTable,
    ::testing::Values(
        // Needle lengths 1, 0.8333, 0.6667, 0.5; theta 0, 39.664, 59.391, 90.
        TableCase{4, 0.5, 0.5, {19.832, 49.528, 74.696, 180.0}, {0, 1, 2, 3}},
        // Fewer than 2 divisions count as 2: theta 0 and 90.
        TableCase{0, 0.5, 0.5, {45.0, 180.0}, {0, 1}},
        TableCase{1, 0.5, 0.5, {45.0, 180.0}, {0, 1}},
        // Flattening 1: theta_k = arccos(r_k), r = 1, 2/3, 1/3, 0.
        TableCase{4, 1.0, 1.0, {24.095, 59.359, 80.264, 180.0}, {0, 1, 2, 3}},
        TableCase{4, 7.0, 1.0, {24.095, 59.359, 80.264, 180.0}, {0, 1, 2, 3}},
        // A circle: one entry, for the last division.
        TableCase{2, 0.0, 0.0, {180.0}, {1}}, TableCase{5, 0.0, 0.0, {180.0}, {4}},
        TableCase{4, -0.3, 0.0, {180.0}, {3}},
        // 1 - 1e-17 rounds to 1: still a circle although the flattening is not 0.
        TableCase{4, 1e-17, 1e-17, {180.0}, {3}},
        // 1 - 1e-16 does not, but every needle length rounds to 1 or b: theta is 0 for
        // divisions 0..3 and 90 for 4..7. A repeated boundary belongs to its first division;
        // the later ones cover nothing.
        TableCase{8, 1e-16, 1e-16, {0.0, 45.0, 90.0, 180.0}, {0, 3, 4, 7}}));

TEST(EllipseGauge, DivisionsAreCutToThePanelIndexCount) {
    const CEllipseGauge gauge = MakeGauge(100, 0.5, 0.0, 180.0, ConsecutiveEntries());
    EXPECT_EQ(gauge.divisionCount(), kPanelIndexCount);
    const auto& table = gauge.divisionTable();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kPanelIndexCount));
    for (int k = 0; k < kPanelIndexCount; ++k) {
        EXPECT_TRUE(std::isfinite(table[k].first)) << "division " << k;
        EXPECT_EQ(table[k].second, kFirstEntry + k) << "division " << k;
        if (k > 0) {
            EXPECT_LT(table[k - 1].first, table[k].first) << "division " << k;
        }
    }
    EXPECT_EQ(table.back().first, 180.0);
}

// --- Drawn angles, without damping.

struct DrawCase {
    int32_t division;
    double flattening;
    double rotate;
    double angle;
    double drawn;
    int32_t selectedDivision;
};

class DrawnAngle : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawnAngle, IsWrittenOnTheDivisionWhoseLengthFits) {
    const DrawCase& c = GetParam();
    CEllipseGauge gauge = MakeGauge(c.division, c.flattening, c.rotate, 90.0, ConsecutiveEntries());
    Panel panel = FreshPanel();
    gauge.Render(c.angle, 1000, panel.data());
    const int32_t selected = kFirstEntry + c.selectedDivision;
    EXPECT_EQ(gauge.previousEntry(), selected);
    EXPECT_NEAR(panel[selected], c.drawn * 1000.0, kDrawnTolerance);
    // The first frame parks every division of the table (a circle's table has only the
    // last); the needle's entry is written last.
    for (const auto& entry : gauge.divisionTable()) {
        if (entry.second != selected) {
            EXPECT_EQ(panel[entry.second], 90000) << "entry " << entry.second;
        }
    }
    EXPECT_EQ(Written(panel).size(), gauge.divisionTable().size());
}

INSTANTIATE_TEST_SUITE_P(EllipseGauge, DrawnAngle,
                         ::testing::Values(DrawCase{4, 0.5, 0.0, 180.0, 540.0, 0},
                                           DrawCase{4, 0.5, 0.0, 225.0, 206.565, 1},
                                           DrawCase{4, 0.5, 0.0, 270.0, 270.0, 3},
                                           DrawCase{4, 0.5, 0.0, 300.0, 319.107, 2},
                                           // Folded angle 60.
                                           DrawCase{4, 0.5, 30.0, 270.0, 250.893, 2},
                                           // A circle: the angle itself, within 180..540.
                                           DrawCase{2, 0.0, 0.0, 100.0, 460.0, 1},
                                           DrawCase{2, 0.0, 0.0, 200.0, 200.0, 1},
                                           // Flattening 1: only along the major axis; the
                                           // length follows cos(folded angle 70, 40).
                                           DrawCase{4, 1.0, 30.0, 100.0, 390.0, 2},
                                           DrawCase{4, 1.0, 30.0, 250.0, 210.0, 1}));

// An infinite angle folds to NaN, which reaches no division boundary: the last division
// draws it, as for any folded angle beyond the last boundary.
TEST(EllipseGauge, AnAngleWithoutAFoldedValueIsDrawnOnTheLastDivision) {
    for (const double angle : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        CEllipseGauge gauge = MakeGauge(4, 0.5, 0.0, 90.0, ConsecutiveEntries());
        Panel panel = FreshPanel();
        gauge.Render(angle, 1000, panel.data());
        const int32_t last = gauge.divisionTable().back().second;
        EXPECT_EQ(last, kFirstEntry + 3);
        EXPECT_EQ(gauge.previousEntry(), last) << "angle " << angle;
        EXPECT_EQ(panel[last], INT32_MIN) << "angle " << angle;
        for (int32_t k = 0; k < 3; ++k) {
            EXPECT_EQ(panel[kFirstEntry + k], 90000) << "angle " << angle << ", division " << k;
        }
    }
}

// --- What each frame writes.

TEST(EllipseGauge, ParksThePreviousImageAndAllImagesOnAStandbyRequest) {
    // Division k on entry 40 + k; a standby angle that is not the default.
    CEllipseGauge gauge = MakeGauge(4, 0.5, 0.0, 270.25, {40, 41, 42, 43});
    constexpr int32_t kParked = 270250;
    Panel panel = FreshPanel();

    // A fresh gauge parks every image on its first frame; the needle on division 0.
    gauge.Render(180.0, 0, panel.data());
    auto written = Written(panel);
    ASSERT_EQ(written.size(), 4u);
    EXPECT_NEAR(written[40], 540000, kDrawnTolerance);
    EXPECT_EQ(written[41], kParked);
    EXPECT_EQ(written[42], kParked);
    EXPECT_EQ(written[43], kParked);

    // Moving to division 1 parks division 0 in the same frame; nothing else is touched.
    panel = FreshPanel();
    gauge.Render(225.0, 20, panel.data());
    written = Written(panel);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[40], kParked);
    EXPECT_NEAR(written[41], 206565, kDrawnTolerance);

    // Staying on division 1: parked and then written again, so the needle shows.
    panel = FreshPanel();
    gauge.Render(225.0, 40, panel.data());
    written = Written(panel);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_NEAR(written[41], 206565, kDrawnTolerance);

    // After a standby request every image is parked, and the needle written after them.
    gauge.RequestStandby();
    panel = FreshPanel();
    gauge.Render(300.0, 60, panel.data());
    written = Written(panel);
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[40], kParked);
    EXPECT_EQ(written[41], kParked);
    EXPECT_NEAR(written[42], 319107, kDrawnTolerance);
    EXPECT_EQ(written[43], kParked);

    // The request is served once.
    panel = FreshPanel();
    gauge.Render(300.0, 80, panel.data());
    written = Written(panel);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_NEAR(written[42], 319107, kDrawnTolerance);
}

TEST(EllipseGauge, NeverWritesOutsideTheHostArray) {
    // Divisions 0..3 on entries 0, -1, 256 and 255, inside a larger array so that stray
    // writes land in a guarded region.
    CEllipseGauge gauge = MakeGauge(4, 0.5, 0.0, 180.0, {0, -1, 256, 255});
    std::array<int32_t, 1024> memory;
    memory.fill(kSentinel);
    int32_t* panel = memory.data() + 256;
    auto expectGuardsUntouched = [&](const char* frame) {
        for (int i = 0; i < 1024; ++i) {
            if (i < 256 || i >= 512) {
                ASSERT_EQ(memory[i], kSentinel) << frame << ": offset " << i - 256;
            }
        }
    };

    gauge.Render(180.0, 0, panel); // division 0, entry 0; parks entries 0 and 255
    expectGuardsUntouched("division 0");
    EXPECT_NEAR(panel[0], 540000, kDrawnTolerance);
    EXPECT_EQ(panel[255], 180000);

    gauge.Render(225.0, 20, panel); // division 1, entry -1: only entry 0 is parked
    expectGuardsUntouched("division 1");
    EXPECT_EQ(panel[0], 180000);
    EXPECT_EQ(gauge.previousEntry(), -1);

    gauge.Render(300.0, 40, panel); // division 2, entry 256
    expectGuardsUntouched("division 2");
    EXPECT_EQ(gauge.previousEntry(), 256);

    gauge.RequestStandby();
    gauge.Render(270.0, 60, panel); // division 3, entry 255
    expectGuardsUntouched("division 3");
    EXPECT_NEAR(panel[255], 270000, kDrawnTolerance);
}

// --- Damping and time.

TEST(EllipseGauge, DampedNeedleRestsAtZeroUntilTheFirstResampling) {
    // Omega 4, ratio 1, frames 125 ms apart: the damped angle is 0 until the fifth frame
    // (the first one counts no time), then 0.0902040 of the way to 270 degrees.
    CEllipseGauge oval = MakeGauge(4, 0.5, 0.0, 180.0, ConsecutiveEntries());
    CEllipseGauge circle = MakeGauge(2, 0.0, 0.0, 180.0, ConsecutiveEntries());
    oval.SetDamping(4.0, 1.0);
    circle.SetDamping(4.0, 1.0);
    Panel panel = FreshPanel();
    for (int frame = 1; frame <= 4; ++frame) {
        oval.Render(270.0, 125 * frame, panel.data());
        // Angle 0 lies along the major axis: division 0, drawn at 360.
        EXPECT_EQ(oval.previousEntry(), kFirstEntry) << "frame " << frame;
        EXPECT_NEAR(panel[kFirstEntry], 360000, kDrawnTolerance) << "frame " << frame;
    }
    for (int frame = 1; frame <= 5; ++frame) {
        circle.Render(270.0, 125 * frame, panel.data());
    }
    // 0.0902040 to 7 digits, times 270: +-1.4e-5 degrees, far below a thousandth.
    EXPECT_NEAR(panel[kFirstEntry + 1], (360.0 + 0.0902040 * 270.0) * 1000.0, kDrawnTolerance);
}

TEST(EllipseGauge, TimeStepIsTheWrappingDifferenceOfHostTimes) {
    // Omega 2.5: an interval of 0.4 s, which 1 s does not divide, so a step of 1 s and one
    // of 0 s lead to different outputs.
    CEllipseGauge gauge = MakeGauge(2, 0.0, 0.0, 180.0, ConsecutiveEntries());
    gauge.SetDamping(2.5, 0.5);
    CDampingObject reference;
    reference.SetParameters(2.5, 0.5);
    Panel panel = FreshPanel();
    // The first frame has no previous time: 0 s, not 2147483 s clamped to 1 s. Then 1.296 s
    // across the wrap of the 32-bit time (clamped to 1 s), then 1 ms.
    const int32_t times[] = {2147483000, -2147483000, -2147482999, -2147482998};
    const double steps[] = {0.0, 1.296, 0.001, 0.001};
    for (int frame = 0; frame < 4; ++frame) {
        gauge.Render(90.0, times[frame], panel.data());
        double expected = 90.0 * 3.141592653589793 / 180.0;
        reference.Step(steps[frame], expected);
        EXPECT_EQ(gauge.damping().output(), expected) << "frame " << frame;
    }
    EXPECT_GT(gauge.damping().output(), 0.0) << "the wrapped step must have moved the needle";
}

} // namespace
} // namespace mirevane
