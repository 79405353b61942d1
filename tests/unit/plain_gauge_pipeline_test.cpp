// One plain gauge end to end: a table file on disk, settings set in code, a frame through
// CMirevane::Elapse, and the panel entry the cab draws.
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace mirevane {
namespace {

constexpr int32_t kNeedle = 17;
constexpr int32_t kInvalid = std::numeric_limits<int32_t>::min();
// A quarter of one vibration cycle for Period 1 (cycle: Period x 10/3.6 metres).
constexpr double kQuarter = 0.6944444444444444;

// Settings start from the built-in defaults only.
class PlainGauge : public testing::Test {
protected:
    struct Gauge {
        std::string subject = "kmph";
        double amplitude = 0;
        double period = 0;
        double threshold = 0;
    };

    void Add(const Gauge& gauge, const std::string& tablePath, int32_t needle = kNeedle) {
        SettingsModel settings;
        settings.Subject = gauge.subject;
        settings.Needle = needle;
        settings.Amplitude = gauge.amplitude;
        settings.Period = gauge.period;
        settings.Threshold = gauge.threshold;
        set.AddGauge(settings, tablePath);
    }

    // The needle entry after one frame.
    int32_t Frame(AtsVehicleState state) {
        panel.fill(0x5A5A5A5A);
        sound.fill(0);
        set.Elapse(state, panel.data(), sound.data());
        return panel[kNeedle];
    }

    static AtsVehicleState State(float speed, float current = 0, double location = 0) {
        AtsVehicleState state{};
        state.speed = speed;
        state.current = current;
        state.location = location;
        return state;
    }

    test::TempDir folder;
    CMirevane set;
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
};

TEST_F(PlainGauge, DrawsTheTableAngleInThousandths) {
    Add({}, folder.Write("speed.csv", "value,angle\r\n0,0\r\n100,270\r\n"));
    EXPECT_EQ(Frame(State(50)), 315000);
    EXPECT_EQ(Frame(State(-50)), 315000) << "kmph is the speed's magnitude";
    EXPECT_EQ(Frame(State(120)), 504000) << "extrapolated along the last segment";
    EXPECT_EQ(Frame(State(10)), 207000);
}

TEST_F(PlainGauge, WithoutATableFileTheNeedleStandsAt180) {
    Add({}, folder / "missing.csv");
    EXPECT_EQ(Frame(State(50)), 180000);
    EXPECT_EQ(Frame(State(0)), 180000);
}

TEST_F(PlainGauge, TheTrembleActsBetweenTheSubjectAndTheScale) {
    // On this table the angle equals the value, so the panel shows the value after the tremble.
    const std::string table = folder.Write("amps.csv", "0,-180\n100,-80\n");
    Add({"am", 0, 0, 0}, table, kNeedle);      // no tremble: the sign is kept
    Add({"am", 2, 1, 0}, table, kNeedle + 1);  // tremble: built from the magnitude
    Add({"am", 2, 1, 10}, table, kNeedle + 2); // tremble up to 10
    struct Case {
        float current;
        double location;
        std::array<int32_t, 3> entries;
    };
    // At the quarter points the sine is exactly +-1 (to within 1e-32), at 0 exactly 0.
    for (const Case& c :
         {Case{-50, 0, {-50000, 50000, 50000}}, Case{50, kQuarter, {50000, 52000, 50000}},
          Case{-50, 3 * kQuarter, {-50000, 48000, 50000}},
          Case{-10, kQuarter, {-10000, 12000, 12000}}, Case{-0.5f, 3 * kQuarter, {-500, 0, 0}}}) {
        Frame(State(0, c.current, c.location));
        const std::array<int32_t, 3> entries{panel[kNeedle], panel[kNeedle + 1],
                                             panel[kNeedle + 2]};
        EXPECT_EQ(entries, c.entries) << c.current << " A at " << c.location << " m";
    }
}

TEST_F(PlainGauge, WritesTruncatedThousandthsAndTheMarkerForUnrepresentableAngles) {
    // Angle = value again; the current is a float, widened exactly.
    Add({"am"}, folder.Write("amps.csv", "0,-180\n1,-179\n"));
    struct Case {
        float current;
        int32_t entry;
    };
    for (const Case& c :
         {Case{123.4567f, 123456}, Case{-1.2345f, -1234}, Case{-0.0009f, 0}, Case{0.0009f, 0},
          Case{2147483.0f, 2147483000}, Case{-2147483.0f, -2147483000}, Case{2147484.0f, kInvalid},
          Case{1e30f, kInvalid}, Case{-1e30f, kInvalid},
          Case{std::numeric_limits<float>::infinity(), kInvalid},
          Case{std::numeric_limits<float>::quiet_NaN(), kInvalid}}) {
        EXPECT_EQ(Frame(State(0, c.current)), c.entry) << c.current;
    }
}

} // namespace
} // namespace mirevane
