#include "calibrate/ellipse_fit.h"

#include "common/number_text.h"
#include "dynamics/angle_units.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace mirevane::tool {
namespace {

// The quadratic form's value along the unit direction at `radians`.
double FormAt(double a, double b, double c, double radians) {
    const double x = std::cos(radians);
    const double y = std::sin(radians);
    return a * x * x + b * x * y + c * y * y;
}

} // namespace

std::optional<EllipseFit> FitEllipse(const std::vector<Point>& points,
                                     const AngleConvention& convention) {
    if (points.size() < 3) {
        return std::nullopt;
    }
    // Normal equations of the least squares problem: (sum f f^T) (a b c)^T = sum f, with
    // f = (x^2, x y, y^2). Coordinates are scaled to about 1 first, for a well conditioned
    // system.
    double scale = 0.0;
    for (const Point& p : points) {
        scale = std::max(scale, std::hypot(p.x, p.y));
    }
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        return std::nullopt;
    }
    double m[3][4] = {};
    for (const Point& p : points) {
        const double x = p.x / scale;
        const double y = p.y / scale;
        const double f[3] = {x * x, x * y, y * y};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                m[i][j] += f[i] * f[j];
            }
            m[i][3] += f[i];
        }
    }
    // Gaussian elimination with partial pivoting.
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r) {
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) {
                pivot = r;
            }
        }
        if (std::fabs(m[pivot][col]) < 1e-12) {
            return std::nullopt; // the points cannot tell the ellipse (all on one line)
        }
        for (int k = 0; k < 4; ++k) {
            std::swap(m[col][k], m[pivot][k]);
        }
        for (int r = 0; r < 3; ++r) {
            if (r != col) {
                const double factor = m[r][col] / m[col][col];
                for (int k = col; k < 4; ++k) {
                    m[r][k] -= factor * m[col][k];
                }
            }
        }
    }
    const double a = m[0][3] / m[0][0];
    const double b = m[1][3] / m[1][1];
    const double c = m[2][3] / m[2][2];
    // The principal axes lie at theta = atan2(b, a - c) / 2 and a quarter turn on; the form's
    // smaller value (the larger radius 1 / sqrt(value)) marks the major axis.
    double theta = 0.5 * std::atan2(b, a - c);
    double along = FormAt(a, b, c, theta);
    double across = FormAt(a, b, c, theta + kPi / 2);
    if (along > across) {
        theta += kPi / 2;
        std::swap(along, across);
    }
    if (!(along > 0.0) || !(across > 0.0)) {
        return std::nullopt; // a hyperbola or worse: no ellipse about the hub
    }
    EllipseFit fit;
    fit.majorPixels = scale / std::sqrt(along);
    fit.minorPixels = scale / std::sqrt(across);
    fit.flattening = 1.0 - fit.minorPixels / fit.majorPixels;
    const double axis = convention.FrameDegrees(Point{std::cos(theta), std::sin(theta)});
    fit.rotateDegrees = std::fmod(axis + 360.0, 180.0);
    double squares = 0.0;
    for (const Point& p : points) {
        const double r = std::hypot(p.x, p.y);
        const double onEllipse = scale / std::sqrt(FormAt(a, b, c, std::atan2(p.y, p.x)));
        squares += (r - onEllipse) * (r - onEllipse);
    }
    fit.residualPixels = std::sqrt(squares / static_cast<double>(points.size()));
    return fit;
}

EllipseSettingsText SettingsText(const EllipseFit& fit) {
    return {Shortest(std::round(fit.flattening * 1e4) / 1e4 + 0.0),
            Shortest(std::round(fit.rotateDegrees * 1e3) / 1e3 + 0.0)};
}

} // namespace mirevane::tool
