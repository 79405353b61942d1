// An elliptic gauge inside the gauge set: assembled by AddGauge from settings set in code and
// driven through Elapse and Initialize, next to a plain gauge.
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace mirevane {
namespace {

constexpr int32_t kSentinel = 0x5A5A5A5A;
// Drawn angles are exact here up to rounding (+-0.5 thousandths) and written truncated (up
// to one thousandth lower).
constexpr double kDrawnTolerance = 1.5;

class GaugeSetElliptic : public testing::Test {
protected:
    // Settings from the built-in defaults only.
    std::unique_ptr<SettingsModel> NewSettings(const std::string& subject, int32_t needle) {
        auto settings = std::make_unique<SettingsModel>();
        settings->Subject = subject;
        settings->Needle = needle;
        return settings;
    }

    // Entry -> value for every panel entry the frame wrote.
    std::map<int32_t, int32_t> Frame(float speed, int32_t timeMilliseconds = 0) {
        std::array<int32_t, 256> panel;
        panel.fill(kSentinel);
        std::array<int32_t, 256> sound{};
        AtsVehicleState state{};
        state.speed = speed;
        state.time = timeMilliseconds;
        set.Elapse(state, panel.data(), sound.data());
        std::map<int32_t, int32_t> written;
        for (int32_t i = 0; i < 256; ++i) {
            if (panel[i] != kSentinel) {
                written[i] = panel[i];
            }
        }
        return written;
    }

    test::TempDir folder;
    // Speed 0..100 km/h to 0..270 degrees; the scale adds 180.
    std::string table = folder.Write("linear.csv", "0,0\n100,270\n");
    CMirevane set;
};

TEST_F(GaugeSetElliptic, DrawsOnTheDivisionEntriesAndParksOnInitialize) {
    const auto oval = NewSettings("kmph", 5);
    oval->Division = 4;
    oval->Flattening = 0.5;
    oval->StandbyAngle = 90.0;
    for (int k = 0; k < 4; ++k) {
        oval->Ellipse[k] = 20 + k;
    }
    set.AddGauge(*oval, table);
    // Division 1 is not elliptic: its needle entry shows the angle, its division entries
    // are never drawn on.
    const auto plain = NewSettings("kmph", 6);
    plain->Division = 1;
    plain->Ellipse[0] = 30;
    plain->Ellipse[1] = 31;
    set.AddGauge(*plain, table);
    ASSERT_EQ(set.gaugeCount(), 2);

    // 180 degrees: drawn at 540 on division 0; the first frame parks the other images.
    auto written = Frame(0.0f);
    ASSERT_EQ(written.size(), 5u);
    EXPECT_NEAR(written[20], 540000, kDrawnTolerance);
    EXPECT_EQ(written[21], 90000);
    EXPECT_EQ(written[22], 90000);
    EXPECT_EQ(written[23], 90000);
    EXPECT_EQ(written[6], 180000);

    // 450 degrees lies along the minor axis: division 3, drawn at 450; division 0 parked.
    written = Frame(100.0f);
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[20], 90000);
    EXPECT_NEAR(written[23], 450000, kDrawnTolerance);
    EXPECT_EQ(written[6], 450000);

    set.Initialize();
    written = Frame(100.0f);
    ASSERT_EQ(written.size(), 5u);
    EXPECT_EQ(written[20], 90000);
    EXPECT_EQ(written[21], 90000);
    EXPECT_EQ(written[22], 90000);
    EXPECT_NEAR(written[23], 450000, kDrawnTolerance);
    EXPECT_EQ(written[6], 450000);
}

TEST_F(GaugeSetElliptic, DampsWithTheHostTime) {
    const auto circle = NewSettings("kmph", 5);
    circle->Division = 2;
    circle->Ellipse[0] = 20;
    circle->Ellipse[1] = 21;
    circle->NaturalFreq = 4.0;
    circle->DampingRatio = 1.0;
    set.AddGauge(*circle, table);

    // Frames 125 ms apart (the first counts no time): the damped angle is 0 until the fifth
    // frame, then 0.0902040 of the way to 450 degrees; a circle draws it plus 360.
    for (int frame = 1; frame <= 4; ++frame) {
        const auto written = Frame(100.0f, 125 * frame);
        EXPECT_NEAR(written.at(21), 360000, kDrawnTolerance) << "frame " << frame;
    }
    const auto written = Frame(100.0f, 625);
    // 0.0902040 is given to 7 digits: +-2.3e-5 degrees at 450, far below a thousandth.
    EXPECT_NEAR(written.at(21), (360.0 + 0.0902040 * 450.0) * 1000.0, kDrawnTolerance);
    EXPECT_EQ(written.count(5), 0u);
}

} // namespace
} // namespace mirevane
