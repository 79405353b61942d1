// The gauge set's per-frame road, its order, and its key and Initialize dispatch.
#include "gauges/c_mirevane.h"
#include "plugin/panel_value.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace mirevane {
namespace {

constexpr int32_t kUntouched = 0x5A5A5A5A;

struct Frame {
    std::array<int32_t, 256> panel;
    std::array<int32_t, 256> sound;
    AtsVehicleState state{};
    Frame() {
        panel.fill(kUntouched);
        sound.fill(kUntouched);
    }
    void Run(CMirevane& set) { set.Elapse(state, panel.data(), sound.data()); }
};

// Gauges built by assembly from settings set in code; the table maps 0..100 to 0..270.
class GaugeSet : public testing::Test {
protected:
    void Add(const std::string& subject, int32_t needle) {
        SettingsModel settings;
        settings.Subject = subject;
        settings.Needle = needle;
        set.AddGauge(settings, table);
    }

    test::TempDir folder;
    std::string table = folder.Write("linear.csv", "0,0\n100,270\n");
    CMirevane set;
};

TEST_F(GaugeSet, WithoutGaugesAFrameTouchesNothing) {
    Frame frame;
    frame.state.speed = 50;
    set.Elapse(frame.state, frame.panel.data(), frame.sound.data());
    set.KeyDown(0);
    set.Initialize();
    const Frame untouched;
    EXPECT_EQ(frame.panel, untouched.panel);
    EXPECT_EQ(frame.sound, untouched.sound);
    EXPECT_EQ(set.gaugeCount(), 0);
}

TEST_F(GaugeSet, WritesTheAngleInThousandthsIntoTheNeedleEntryOnly) {
    Add("kmph", 10);
    Frame frame;
    frame.state.speed = 50; // 135 degrees, plus the scale's 180
    frame.Run(set);
    Frame expected;
    expected.panel[10] = 315000;
    EXPECT_EQ(frame.panel, expected.panel);
    EXPECT_EQ(frame.sound, expected.sound);
}

TEST_F(GaugeSet, NeedleEntriesOutside0To255AreSkipped) {
    for (int32_t needle : {-1, 256, 1000, std::numeric_limits<int32_t>::min()}) {
        Add("kmph", needle);
    }
    Add("kmph", 0);
    Add("kmph", 255);
    Frame frame;
    frame.Run(set);
    Frame expected;
    expected.panel[0] = 180000;
    expected.panel[255] = 180000;
    EXPECT_EQ(frame.panel, expected.panel);
}

TEST_F(GaugeSet, ALaterGaugeReadsWhatAnEarlierOneWroteThisFrame) {
    Add("kmph", 10);    // gauge 0 writes entry 10
    Add("panel10", 20); // gauge 1 reads it
    Frame frame;
    frame.state.speed = 0; // entry 10 becomes 180000; 180000 extrapolates to 486000 degrees
    frame.Run(set);
    EXPECT_EQ(frame.panel[10], 180000);
    EXPECT_EQ(frame.panel[20], ToPanelValue(180000 * 2.7 + 180));
}

TEST_F(GaugeSet, AnEarlierGaugeReadsTheEntryAsItStoodWhenTheFrameBegan) {
    Add("panel10", 20);
    Add("kmph", 10);
    Frame frame;
    frame.panel[10] = 100; // the host's value: 270 degrees
    frame.Run(set);
    EXPECT_EQ(frame.panel[20], 450000);
    EXPECT_EQ(frame.panel[10], 180000);
}

TEST_F(GaugeSet, TheHigherGaugeWinsASharedEntry) {
    Add("kmph", 7);
    Add("mr", 7);
    Frame frame;
    frame.state.speed = 100; // gauge 0: 450 degrees
    frame.state.mr = 10;     // gauge 1: 207 degrees
    frame.Run(set);
    EXPECT_EQ(frame.panel[7], 207000);
}

TEST_F(GaugeSet, AnEllipticGaugeNeverWritesItsNeedleEntry) {
    SettingsModel settings;
    settings.Needle = 10;
    settings.Division = 2;
    settings.Ellipse[0] = 30;
    settings.Ellipse[1] = 31;
    set.AddGauge(settings, table);
    Frame frame;
    frame.Run(set);
    EXPECT_EQ(frame.panel[10], kUntouched);
    EXPECT_FALSE(frame.panel[30] == kUntouched && frame.panel[31] == kUntouched)
        << "the elliptic gauge draws on its division entries instead";
}

TEST_F(GaugeSet, EveryGaugeHasAnEntryInAllSixSequences) {
    Add("kmph", 1);
    Add("bc", 2);
    EXPECT_EQ(set.gaugeCount(), 2);
    EXPECT_EQ(set.subjects().size(), 2u);
    EXPECT_EQ(set.vibrations().size(), 2u);
    EXPECT_EQ(set.scales().size(), 2u);
    EXPECT_EQ(set.ellipses().size(), 2u);
    EXPECT_EQ(set.isElliptic().size(), 2u);
    EXPECT_EQ(set.needlePanelIndex().size(), 2u);
}

TEST_F(GaugeSet, AKeyWithoutABindingChangesNothing) {
    Add("kmph", 1);
    set.KeyDown(3); // bindings are all 0 before Load
    set.KeyDown(-1);
    EXPECT_EQ(set.scales()[0].mode(), AdjustMode::None);
    EXPECT_EQ(set.scales()[0].fixedAngle(), 0.0);
}

} // namespace
} // namespace mirevane
