// The rim fit against ellipses drawn by the test: points on a known ellipse about the hub, put
// on the screen through each angle convention, must give back its flattening, its major axis
// in the angle frame and its semi-axes; with a pixel of noise, within what the studio and the
// calibrate command promise; and points that lie on no ellipse about the hub give nothing.
#include "calibrate/ellipse_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace mirevane::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Gap between two axis directions, which repeat every half turn.
double AxisGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 180.0));
}

struct Oval {
    const char* convention;
    double flattening;
    double rotateDegrees; // the major axis in the angle frame
    double majorPixels;
};

// `count` points spread over `spreadDegrees` of the rim, on the screen (x right, y down)
// relative to the hub; each moved by up to `noisePixels` in x and y.
std::vector<Point> Rim(const Oval& oval, int count, double spreadDegrees, double noisePixels,
                       uint32_t seed = 7) {
    const AngleConvention convention = *AngleConvention::Parse(oval.convention);
    const double minor = oval.majorPixels * (1.0 - oval.flattening);
    const double r = oval.rotateDegrees * kPi / 180.0;
    std::mt19937 random(seed); // the engine's sequence is fixed by the standard
    const auto noise = [&] { return noisePixels * (2.0 * random() / 4294967295.0 - 1.0); };
    std::vector<Point> points;
    for (int k = 0; k < count; ++k) {
        const double t = (10.0 + spreadDegrees * k / count) * kPi / 180.0;
        const double x = oval.majorPixels * std::cos(t);
        const double y = minor * std::sin(t);
        const Point frame{x * std::cos(r) - y * std::sin(r), x * std::sin(r) + y * std::cos(r)};
        const Point screen = convention.ToScreen(frame);
        points.push_back({screen.x + noise(), screen.y + noise()});
    }
    return points;
}

const Oval kOvals[] = {
    {"up-cw", 0.5, 30.0, 200.0},    {"up-ccw", 0.5, 30.0, 200.0},   {"right-cw", 0.3, 120.0, 80.0},
    {"left-ccw", 0.8, 10.0, 350.0}, {"down-cw", 0.05, 75.0, 150.0}, {"down-ccw", 0.5, 179.0, 200.0},
};

TEST(EllipseFitTest, PointsOnAnEllipseGiveItBackInEveryConvention) {
    for (const Oval& oval : kOvals) {
        SCOPED_TRACE(std::string(oval.convention) + " flattening " +
                     std::to_string(oval.flattening) + " rotate " +
                     std::to_string(oval.rotateDegrees));
        const std::optional<EllipseFit> fit =
            FitEllipse(Rim(oval, 8, 360.0, 0.0), *AngleConvention::Parse(oval.convention));
        ASSERT_TRUE(fit.has_value());
        // Exact points: only the rounding of a 3 x 3 solve stands between.
        EXPECT_NEAR(fit->flattening, oval.flattening, 1e-9);
        EXPECT_LT(AxisGap(fit->rotateDegrees, oval.rotateDegrees), 1e-7);
        EXPECT_GE(fit->rotateDegrees, 0.0);
        EXPECT_LT(fit->rotateDegrees, 180.0);
        EXPECT_NEAR(fit->majorPixels, oval.majorPixels, 1e-7);
        EXPECT_NEAR(fit->minorPixels, oval.majorPixels * (1.0 - oval.flattening), 1e-7);
        EXPECT_LT(fit->residualPixels, 1e-7);
    }
}

TEST(EllipseFitTest, APixelOfNoiseStaysWithinThePromisedBounds) {
    // docs/studio.md: from eight rim points with a pixel of noise, the flattening within 0.01
    // and the rotate angle within 0.5 degrees, on a dial of 200 px.
    for (const Oval& oval : kOvals) {
        if (oval.majorPixels < 200.0 || oval.flattening < 0.1) {
            continue; // a smaller or rounder dial tells its axis less well: not promised
        }
        for (uint32_t seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(std::string(oval.convention) + " seed " + std::to_string(seed));
            const std::optional<EllipseFit> fit = FitEllipse(
                Rim(oval, 8, 360.0, 1.0, seed), *AngleConvention::Parse(oval.convention));
            ASSERT_TRUE(fit.has_value());
            EXPECT_NEAR(fit->flattening, oval.flattening, 0.01);
            EXPECT_LT(AxisGap(fit->rotateDegrees, oval.rotateDegrees), 0.5);
            // The residual registers the noise, a pixel or so: radial distances, which grow
            // where a flat ellipse meets the ray from the hub at a slant. A fit off the rim
            // would be tens of pixels out.
            EXPECT_GT(fit->residualPixels, 0.01);
            EXPECT_LT(fit->residualPixels, 3.0);
        }
    }
}

TEST(EllipseFitTest, ARoundDialHasNoFlattening) {
    const Oval round{"up-cw", 0.0, 0.0, 120.0};
    const std::optional<EllipseFit> fit = FitEllipse(Rim(round, 6, 360.0, 0.0), {});
    ASSERT_TRUE(fit.has_value());
    EXPECT_NEAR(fit->flattening, 0.0, 1e-12);
    EXPECT_NEAR(fit->majorPixels, 120.0, 1e-9);
}

TEST(EllipseFitTest, PointsOnNoEllipseAboutTheHubGiveNothing) {
    const Oval oval{"up-cw", 0.5, 30.0, 200.0};
    const struct {
        const char* name;
        std::vector<Point> points;
    } cases[] = {
        {"none", {}},
        {"two points", {{100, 0}, {0, 50}}},
        {"all at the hub", {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
        {"on one line through the hub", {{10, 10}, {20, 20}, {-30, -30}, {40, 40}, {-5, -5}}},
        // x^2 - y^2 = 100^2: a hyperbola, the conic fitted is not positive definite.
        {"on a hyperbola", {{100, 0}, {-100, 0}, {125, 75}, {125, -75}, {-125, 75}, {-125, -75}}},
        {"a point at infinity", {{100, 0}, {0, 50}, {-100, 0}, {INFINITY, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(FitEllipse(c.points, {}).has_value());
    }
    // Three points of the rim are enough for the three unknowns.
    EXPECT_TRUE(FitEllipse(Rim(oval, 3, 180.0, 0.0), {}).has_value());
}

TEST(EllipseFitTest, SettingsAreWrittenToThePlacesThePictureTells) {
    EllipseFit fit;
    fit.flattening = 0.123456;
    fit.rotateDegrees = 29.99996;
    EXPECT_EQ(SettingsText(fit).flattening, "0.1235");
    EXPECT_EQ(SettingsText(fit).rotateAngle, "30");
    fit.flattening = -1e-9; // a round rim fitted a hair wide: no "-0"
    EXPECT_EQ(SettingsText(fit).flattening, "0");
}

} // namespace
} // namespace mirevane::tool
