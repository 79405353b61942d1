#include "calibrate/picture_limits.h"

#include "common/number_text.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;

std::string Pixels(Point p) {
    return Shortest(p.x) + "," + Shortest(p.y);
}

double Distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// How much of a turn about the hub the points cover: a turn less the widest gap between
// neighbouring directions.
double CoverDegrees(Point hub, const std::vector<Point>& points) {
    std::vector<double> directions;
    for (const Point& p : points) {
        directions.push_back(std::atan2(p.y - hub.y, p.x - hub.x) * kDegreesPerRadian);
    }
    std::sort(directions.begin(), directions.end());
    double widest = directions.front() + 360.0 - directions.back();
    for (std::size_t i = 1; i < directions.size(); ++i) {
        widest = std::max(widest, directions[i] - directions[i - 1]);
    }
    return 360.0 - widest;
}

} // namespace

void RefuseUnusableMarks(Point hub, const std::vector<DialMark>& marks) {
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const DialMark& m = marks[i];
        const double distance = Distance(m.picture, hub);
        if (distance < kLeastMarkPixels) {
            throw CalibrationRefused(
                {"--mark", "calibrate-mark",
                 "the mark of " + Shortest(m.value) + " at " + Pixels(m.picture) + " is " +
                     Shortest(std::round(distance * 10.0) / 10.0) +
                     " px from the hub, where its direction cannot be told (3 px or more): "
                     "click the mark on the scale"});
        }
        for (std::size_t k = 0; k < i; ++k) {
            if (marks[k].value == m.value) {
                throw CalibrationRefused({"--mark", "calibrate-mark",
                                          "two marks of " + Shortest(m.value) + ", at " +
                                              Pixels(marks[k].picture) + " and " +
                                              Pixels(m.picture) + ": give each value once"});
            }
        }
    }
}

std::vector<CalibrationNote> PictureWarnings(Point hub, const std::vector<DialMark>& marks,
                                             const std::vector<Point>& rim) {
    std::vector<CalibrationNote> notes;
    double radius = 0.0;
    for (const DialMark& m : marks) {
        radius = std::max(radius, Distance(m.picture, hub));
    }
    for (const Point& p : rim) {
        radius = std::max(radius, Distance(p, hub));
    }
    if (radius > 0.0 && radius < kLeastDialPixels) {
        const double pixelDegrees = std::atan(1.0 / radius) * kDegreesPerRadian;
        notes.push_back(
            {rim.empty() ? "--mark" : "--rim", "calibrate-small-dial",
             "the dial is " + Shortest(std::round(radius)) +
                 " px in radius (under 40): a pixel there turns the needle by " +
                 Shortest(std::round(pixelDegrees * 10.0) / 10.0) +
                 " degrees, far more than the thousandths printed; use a larger picture"});
    }
    if (rim.size() >= 5) {
        const double cover = CoverDegrees(hub, rim);
        if (cover < kLeastRimCoverDegrees) {
            notes.push_back(
                {"--rim", "calibrate-rim-cover",
                 "the rim points cover " + Shortest(std::round(cover)) +
                     " degrees about the hub, less than half the ellipse: the fit can be "
                     "degrees off though its residual is small; add points round the rest of "
                     "the rim"});
        }
    }
    return notes;
}

} // namespace mirevane::tool
