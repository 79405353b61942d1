#include "calibrate/mark_angles.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

// Below this two directions are one, or opposite: the inverse of an oval's drawing is found
// numerically, to far better than this, and half a turn must stay half a turn.
constexpr double kSameDirectionDegrees = 1e-6;

// 0 <= result < 360.
double RisingTurn(double fromDegrees, double toDegrees) {
    const double r = std::fmod(std::fmod(toDegrees - fromDegrees, 360.0) + 360.0, 360.0);
    for (const double exact : {0.0, 180.0, 360.0}) {
        if (std::fabs(r - exact) < kSameDirectionDegrees) {
            return exact == 360.0 ? 0.0 : exact;
        }
    }
    return r;
}

} // namespace

MarkReading AnglesForMarks(const DialGeometry& dial, const AngleConvention& convention, Point hub,
                           std::vector<DialMark> marks, std::optional<double> turns) {
    std::stable_sort(marks.begin(), marks.end(),
                     [](const DialMark& a, const DialMark& b) { return a.value < b.value; });
    MarkReading reading;
    if (marks.empty()) {
        return reading;
    }
    // Panel angles (the scale's 180 included) until the end. Each mark's direction first as
    // any panel angle drawn there, then the steps between them.
    std::vector<double> drawnAt;
    std::vector<MarkStep> steps;
    for (const DialMark& mark : marks) {
        const double direction =
            convention.FrameDegrees(Point{mark.picture.x - hub.x, mark.picture.y - hub.y});
        const double near = drawnAt.empty() ? dial.AngleOf(mark.value) : drawnAt.back();
        drawnAt.push_back(dial.AngleDrawnAt(direction, near));
        if (drawnAt.size() >= 2) {
            const std::size_t i = drawnAt.size() - 1;
            steps.push_back(
                {marks[i - 1].value, mark.value, RisingTurn(drawnAt[i - 1], drawnAt[i])});
        }
    }
    const double tableRise = dial.AngleOf(marks.back().value) - dial.AngleOf(marks.front().value);
    reading.sense = ChooseSense(steps, tableRise < 0.0 ? -1 : 1, turns);
    double panel = drawnAt.front();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (i > 0) {
            panel += reading.sense.steps[i - 1];
        }
        reading.angles.push_back({marks[i].value, panel - 180.0, dial.Locate(panel).entry});
    }
    return reading;
}

} // namespace mirevane::tool
