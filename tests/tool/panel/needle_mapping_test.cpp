// The host's needle mapping: value to screen angle and back, held by Backstop, and the test for
// a needle that turns one degree per 1000 units.
#include "panel/panel_file.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mirevane::tool {
namespace {

struct MappingCase {
    const char* name;
    NeedleMapping mapping;
    double value;
    double screen; // the host's angle for the value
    bool oneDegreePerThousand;
};

TEST(NeedleMapping, MapsValuesAndBack) {
    const MappingCase cases[] = {
        {"the host's defaults", {}, 500.0, 0.0, false},
        {"0..360 over 0..360000", {0.0, 360.0, 0.0, 360000.0, false}, 180000.0, 180.0, true},
        {"extrapolated beyond Maximum", {0.0, 360.0, 0.0, 360000.0, false}, 540000.0, 540.0, true},
        {"extrapolated below Minimum",
         {-180.0, 180.0, 0.0, 360000.0, false},
         -90000.0,
         -270.0,
         true},
        {"anticlockwise", {360.0, 0.0, 0.0, 360000.0, false}, 90000.0, 270.0, true},
        {"offset minimum", {-120.0, 120.0, 60000.0, 300000.0, false}, 180000.0, 0.0, true},
        {"ten times too far", {0.0, 3600.0, 0.0, 360000.0, false}, 1000.0, 10.0, false},
        {"backstop inside the range", {-120.0, 120.0, 0.0, 240000.0, true}, 60000.0, -60.0, true},
    };
    for (const MappingCase& c : cases) {
        EXPECT_NEAR(c.mapping.ScreenDegrees(c.value), c.screen, 1e-9) << c.name;
        const std::optional<double> back = c.mapping.ValueAt(c.screen);
        ASSERT_TRUE(back.has_value()) << c.name;
        EXPECT_NEAR(*back, c.value, 1e-6) << c.name;
        EXPECT_EQ(c.mapping.TurnsOneDegreePerThousand(), c.oneDegreePerThousand) << c.name;
    }
}

TEST(NeedleMapping, BackstopHoldsTheNeedleBetweenItsAngles) {
    const NeedleMapping clockwise{-120.0, 120.0, 0.0, 240000.0, true};
    const NeedleMapping anticlockwise{120.0, -120.0, 0.0, 240000.0, true};
    const std::pair<double, double> cases[] = {
        {-1000.0, -120.0}, {0.0, -120.0}, {240000.0, 120.0}, {500000.0, 120.0}};
    for (const auto& [value, screen] : cases) {
        EXPECT_DOUBLE_EQ(clockwise.ScreenDegrees(value), screen) << value;
        EXPECT_DOUBLE_EQ(anticlockwise.ScreenDegrees(value), -screen) << value;
    }
    // ValueAt is the unclamped inverse: it gives back values beyond the stops too.
    EXPECT_NEAR(*clockwise.ValueAt(180.0), 300000.0, 1e-6);
}

TEST(NeedleMapping, AMappingThatDoesNotTurn) {
    const NeedleMapping flat{30.0, 90.0, 5.0, 5.0, false};
    EXPECT_DOUBLE_EQ(flat.ScreenDegrees(1e6), 30.0);
    EXPECT_FALSE(flat.ValueAt(30.0).has_value());
    EXPECT_FALSE(flat.TurnsOneDegreePerThousand());
    const NeedleMapping still{45.0, 45.0, 0.0, 1000.0, false};
    EXPECT_DOUBLE_EQ(still.ScreenDegrees(700.0), 45.0);
    EXPECT_FALSE(still.ValueAt(45.0).has_value());
    EXPECT_FALSE(still.TurnsOneDegreePerThousand());
}

} // namespace
} // namespace mirevane::tool
