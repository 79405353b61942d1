// A panel needle's mapping as a screen convention: the convention must put every angle the
// plug-in writes where the host's linear mapping draws it, whatever the offset and sense.
#include "dial/needle_convention.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct MappingCase {
    const char* name;
    NeedleMapping mapping;
};

// The host's screen angle (0 up, clockwise) as a unit vector in SVG's frame (y down).
Point HostDirection(const NeedleMapping& mapping, double frameDegrees) {
    const double screen = mapping.ScreenDegrees(1000.0 * frameDegrees) * kPi / 180.0;
    return {std::sin(screen), -std::cos(screen)};
}

TEST(NeedleConvention, DrawsEveryWrittenAngleWhereTheHostDoes) {
    const MappingCase cases[] = {
        {"0..360 over 0..360000", {0.0, 360.0, 0.0, 360000.0, false}},
        {"-180..180: screen equals table angle", {-180.0, 180.0, 0.0, 360000.0, false}},
        {"anticlockwise picture", {360.0, 0.0, 0.0, 360000.0, false}},
        {"offset minimum", {-120.0, 120.0, 60000.0, 300000.0, false}},
        {"reversed range", {90.0, -30.0, 100000.0, 220000.0, false}},
    };
    for (const MappingCase& c : cases) {
        const auto convention = ConventionOfNeedle(c.mapping);
        ASSERT_TRUE(convention.has_value()) << c.name;
        for (double f : {0.0, 37.5, 180.0, 359.0, 540.0, -45.0}) {
            const Point ours = convention->ToScreen(f, 1.0);
            const Point host = HostDirection(c.mapping, f);
            EXPECT_NEAR(ours.x, host.x, 1e-9) << c.name << " at " << f;
            EXPECT_NEAR(ours.y, host.y, 1e-9) << c.name << " at " << f;
        }
    }
}

TEST(NeedleConvention, TheDefaultPanelMappingIsUpClockwise) {
    const auto convention = ConventionOfNeedle({0.0, 360.0, 0.0, 360000.0, false});
    ASSERT_TRUE(convention.has_value());
    EXPECT_NEAR(convention->zeroDegrees, -90.0, 1e-12);
    EXPECT_EQ(convention->sense, 1);
}

TEST(NeedleConvention, NoConventionForANeedleThatTurnsOtherwise) {
    const NeedleMapping others[] = {
        {-120.0, 120.0, 0.0, 1000.0, false}, // the host's defaults: 0.24 degrees per unit
        {0.0, 360.0, 0.0, 360.0, false},     // 1000 times too far
        {0.0, 360.0, 5000.0, 5000.0, false}, // does not turn at all
        {30.0, 30.0, 0.0, 360000.0, false},  // nor this one
    };
    for (const NeedleMapping& mapping : others) {
        EXPECT_FALSE(ConventionOfNeedle(mapping).has_value())
            << mapping.initialAngle << ".." << mapping.lastAngle << " over " << mapping.minimum
            << ".." << mapping.maximum;
    }
}

} // namespace
} // namespace mirevane::tool
