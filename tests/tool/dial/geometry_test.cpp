// The dial page's geometry against values worked out by hand: where an angle is drawn and on
// which image, the needle images' lengths, the division sectors, and the angle convention
// that puts it all on the screen.
#include "dial/angle_convention.h"
#include "dial/geometry.h"
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace mirevane::tool {
namespace {

// The worked values are given to three decimals.
constexpr double kWorked = 0.0005;
constexpr double kPi = 3.14159265358979323846;

class DialGeometryTest : public testing::Test {
protected:
    // The built-in defaults, then the gauge's own settings.
    static SettingsModel Settings(int32_t division, double flattening, double rotate) {
        SettingsModel settings;
        settings.Subject = "kmph";
        settings.Needle = 5;
        settings.Division = division;
        settings.Flattening = flattening;
        settings.RotateAngle = rotate;
        for (int k = 0; k < 4; ++k) {
            settings.Ellipse[k] = 30 + k;
        }
        return settings;
    }
    DialGeometry Gauge(int32_t division, double flattening, double rotate = 0.0) {
        gauges.AddGauge(Settings(division, flattening, rotate), table);
        return DialGeometry(gauges, gauges.gaugeCount() - 1);
    }

    test::TempDir folder;
    std::string table = folder.Write("linear.csv", "0,0\n100,270\n");
    CMirevane gauges;
};

struct LocateCase {
    const char* name;
    int32_t division;
    double flattening;
    double rotate;
    double angle;
    double drawn;
    double folded;
    int32_t entry;
};

TEST_F(DialGeometryTest, DrawsAnglesWhereTheGaugeDrawsThem) {
    const LocateCase cases[] = {
        // The oval: flattening 0.5, four divisions on entries 30..33.
        {"oval, along the major axis", 4, 0.5, 0, 180, 540, 0, 30},
        {"oval, 45 degrees", 4, 0.5, 0, 225, 206.565, 45, 31},
        {"oval, along the minor axis", 4, 0.5, 0, 270, 270, 90, 33},
        {"oval, folded 60", 4, 0.5, 0, 300, 319.107, 60, 32},
        {"oval turned by 30", 4, 0.5, 30, 270, 250.893, 60, 32},
        // A circle: one division table entry, the last division's, the angle itself drawn.
        {"circle, 100", 2, 0.0, 0, 100, 460, 80, 31},
        {"circle, 200", 2, 0.0, 0, 200, 200, 20, 31},
    };
    for (const LocateCase& c : cases) {
        const DialGeometry dial = Gauge(c.division, c.flattening, c.rotate);
        const NeedlePlace at = dial.Locate(c.angle);
        EXPECT_NEAR(at.drawnDegrees, c.drawn, kWorked) << c.name;
        EXPECT_NEAR(at.foldedDegrees, c.folded, kWorked) << c.name;
        EXPECT_EQ(at.entry, c.entry) << c.name;
    }
}

TEST_F(DialGeometryTest, PlainNeedleIsDrawnAtItsAngleOnItsEntry) {
    const DialGeometry dial = Gauge(1, 0.5);
    ASSERT_FALSE(dial.elliptic());
    EXPECT_EQ(dial.Locate(200).drawnDegrees, 200);
    EXPECT_EQ(dial.Locate(200).entry, 5);
    ASSERT_EQ(dial.images().size(), 1u);
    EXPECT_EQ(dial.images()[0].entry, 5);
    EXPECT_EQ(dial.images()[0].length, 1.0);
    EXPECT_TRUE(dial.sectors().empty());
    // A circle: the calibration points at their angles, 180 added.
    ASSERT_EQ(dial.marks().size(), 2u);
    EXPECT_EQ(dial.marks()[1].value, 100);
    EXPECT_EQ(dial.marks()[1].angleDegrees, 450);
    EXPECT_EQ(dial.AngleOf(50), 315);
    const Point top = dial.OnOutline(450);
    EXPECT_NEAR(top.x, 0, 1e-12);
    EXPECT_NEAR(top.y, 1, 1e-12);
}

TEST_F(DialGeometryTest, OvalImagesStepFromTheMajorToTheMinorSemiAxis) {
    const DialGeometry dial = Gauge(4, 0.5);
    const double lengths[] = {1.0, 0.8333, 0.6667, 0.5}; // given to four decimals
    ASSERT_EQ(dial.images().size(), 4u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(dial.images()[k].entry, 30 + k);
        EXPECT_NEAR(dial.images()[k].length, lengths[k], 0.00005) << "division " << k;
    }
    // The image of division k fits the ellipse where its parameter angle is theta_k.
    const double thetas[] = {0.0, 39.664, 59.391, 90.0};
    for (int k = 0; k < 4; ++k) {
        const Point p = dial.OnOutline(thetas[k]);
        EXPECT_NEAR(std::hypot(p.x, p.y), lengths[k], 0.0001) << "division " << k;
    }
    const DialGeometry circle = Gauge(2, 0.0);
    ASSERT_EQ(circle.images().size(), 2u);
    EXPECT_EQ(circle.images()[0].length, 1.0);
    EXPECT_EQ(circle.images()[1].length, 1.0);
}

TEST_F(DialGeometryTest, SectorsMirrorEachDivisionIntoFourQuadrants) {
    const DialGeometry oval = Gauge(4, 0.5);
    const double boundaries[] = {0.0, 19.832, 49.528, 74.696, 90.0};
    ASSERT_EQ(oval.sectors().size(), 16u);
    for (int k = 0; k < 4; ++k) {
        const DivisionSector* quadrants = &oval.sectors()[4 * k];
        const double lo = boundaries[k];
        const double hi = boundaries[k + 1];
        const double expected[4][2] = {
            {lo, hi}, {180 - hi, 180 - lo}, {180 + lo, 180 + hi}, {360 - hi, 360 - lo}};
        for (int q = 0; q < 4; ++q) {
            EXPECT_EQ(quadrants[q].entry, 30 + k);
            EXPECT_NEAR(quadrants[q].fromDegrees, expected[q][0], kWorked) << k << "/" << q;
            EXPECT_NEAR(quadrants[q].toDegrees, expected[q][1], kWorked) << k << "/" << q;
        }
    }
    // Each sector's middle is drawn on its own entry.
    for (const DivisionSector& s : oval.sectors()) {
        EXPECT_EQ(oval.Locate((s.fromDegrees + s.toDegrees) / 2).entry, s.entry);
    }
    const DialGeometry turned = Gauge(4, 0.5, 30);
    EXPECT_NEAR(turned.sectors()[0].fromDegrees, 30, kWorked);
    const DialGeometry circle = Gauge(2, 0.0);
    ASSERT_EQ(circle.sectors().size(), 4u);
    for (const DivisionSector& s : circle.sectors()) {
        EXPECT_EQ(s.entry, 31);
        EXPECT_NEAR(s.toDegrees - s.fromDegrees, 90, 1e-12);
    }
}

TEST_F(DialGeometryTest, OutlinePointsLieInTheDirectionTheNeedleIsDrawn) {
    for (double rotate : {0.0, 30.0, -75.0}) {
        const DialGeometry dial = Gauge(4, 0.35, rotate);
        for (double angle = 180; angle < 540; angle += 7.5) {
            const Point p = dial.OnOutline(angle);
            const double direction = std::atan2(p.y, p.x) * 180 / kPi;
            const double drawn = dial.Locate(angle).drawnDegrees;
            EXPECT_NEAR(std::remainder(direction - drawn, 360.0), 0, 1e-9)
                << "rotate " << rotate << ", angle " << angle;
        }
    }
}

struct ConventionCase {
    const char* name;
    double angle;
    double x;
    double y;
};

TEST(AngleConventionTest, PutsAnglesOnTheScreenAsNamed) {
    // Screen coordinates: x right, y down.
    const ConventionCase cases[] = {
        {"up-cw", 0, 0, -1},    {"up-cw", 90, 1, 0},      {"up-cw", 180, 0, 1},
        {"UP-CW", 270, -1, 0},  {"right-ccw", 90, 0, -1}, {"right-cw", 90, 0, 1},
        {"down-ccw", 90, 1, 0}, {"left-cw", 90, 0, -1},   {"left-ccw", 0, -1, 0},
    };
    for (const ConventionCase& c : cases) {
        const auto convention = AngleConvention::Parse(c.name);
        ASSERT_TRUE(convention) << c.name;
        const Point p = convention->ToScreen(c.angle, 1.0);
        EXPECT_NEAR(p.x, c.x, 1e-12) << c.name << " " << c.angle;
        EXPECT_NEAR(p.y, c.y, 1e-12) << c.name << " " << c.angle;
    }
    for (const char* bad : {"", "up", "north-cw", "up-cc", "up-cw-x", "-cw"}) {
        EXPECT_FALSE(AngleConvention::Parse(bad)) << bad;
    }
    EXPECT_TRUE(AngleConvention::Parse(AngleConvention::kDefault));
}

// The page turns needles by rotate(angle) inside the matrix; the dial's marks come from
// ToScreen. Both must agree, or needles would miss their marks.
TEST(AngleConventionTest, MatrixTurnsNeedlesOntoTheirMarks) {
    for (const char* name : {"up-cw", "up-ccw", "right-cw", "right-ccw", "down-cw", "left-ccw"}) {
        const AngleConvention convention = *AngleConvention::Parse(name);
        double m[6] = {};
        ASSERT_EQ(std::sscanf(convention.SvgMatrix().c_str(), "matrix(%lf %lf %lf %lf %lf %lf)",
                              &m[0], &m[1], &m[2], &m[3], &m[4], &m[5]),
                  6)
            << convention.SvgMatrix();
        for (double angle = 0; angle < 720; angle += 37.5) {
            const double a = angle * kPi / 180;
            const Point needle{m[0] * std::cos(a) + m[2] * std::sin(a) + m[4],
                               m[1] * std::cos(a) + m[3] * std::sin(a) + m[5]};
            const Point mark = convention.ToScreen(angle, 1.0);
            EXPECT_NEAR(needle.x, mark.x, 1e-9) << name << " " << angle;
            EXPECT_NEAR(needle.y, mark.y, 1e-9) << name << " " << angle;
        }
    }
}

} // namespace
} // namespace mirevane::tool
