#include "calibrate/scale_sense.h"

#include "calibrate/calibration_notes.h"
#include "common/number_text.h"

#include <cmath>

namespace mirevane::tool {
namespace {

// Degrees to the tenth in messages: the click's own precision on a dial of a few hundred
// pixels.
std::string Degrees(double d) {
    return Shortest(std::round(d * 10.0) / 10.0 + 0.0);
}

CalibrationRefused Ambiguous(const std::string& message) {
    return CalibrationRefused(
        {"--mark", "calibrate-ambiguous",
         message + ": add a mark between them, or give the scale's sweep in turns (--turns)"});
}

double SenseSweep(const std::vector<MarkStep>& steps, int sense) {
    double sweep = 0.0;
    for (const MarkStep& s : steps) {
        sweep += sense > 0 || s.risingDegrees == 0.0 ? s.risingDegrees : 360.0 - s.risingDegrees;
    }
    return sweep;
}

} // namespace

SenseChoice ChooseSense(const std::vector<MarkStep>& steps, int tableSense,
                        std::optional<double> turns) {
    SenseChoice choice;
    if (steps.empty()) {
        return choice;
    }
    const double rising = SenseSweep(steps, 1);
    const double falling = SenseSweep(steps, -1);
    if (turns) {
        const double wanted = *turns * 360.0;
        const double risingMiss = std::fabs(rising - wanted);
        const double fallingMiss = std::fabs(falling - wanted);
        choice.sense = risingMiss < fallingMiss ? 1 : fallingMiss < risingMiss ? -1 : 0;
        choice.from = SenseChoice::From::kTurns;
        if (std::fmin(risingMiss, fallingMiss) >= 180.0) {
            throw CalibrationRefused(
                {"--turns", "calibrate-ambiguous",
                 "the marks sweep " + Degrees(rising) + " degrees one way and " + Degrees(falling) +
                     " the other, neither within half a turn of " + Shortest(*turns) +
                     " turns: a whole turn between two marks cannot be seen; add marks "
                     "between them"});
        }
    } else {
        choice.sense = rising < falling ? 1 : falling < rising ? -1 : 0;
    }
    if (choice.sense == 0) {
        choice.sense = tableSense < 0 ? -1 : 1;
        choice.from = SenseChoice::From::kTable;
    }
    choice.sweepDegrees = choice.sense > 0 ? rising : falling;
    choice.otherWayDegrees = choice.sense > 0 ? falling : rising;
    for (const MarkStep& s : steps) {
        const double step =
            choice.sense > 0 || s.risingDegrees == 0.0 ? s.risingDegrees : s.risingDegrees - 360.0;
        if (!turns) {
            const std::string pair =
                "marks " + Shortest(s.fromValue) + " and " + Shortest(s.toValue);
            if (step == 0.0) {
                throw Ambiguous(pair + " point the same way: no turn between them, or whole "
                                       "turns");
            }
            if (std::fabs(step) >= 180.0) {
                throw Ambiguous(pair + " are " + Degrees(std::fabs(step)) +
                                " degrees apart: the needle could turn either way between them");
            }
        }
        choice.steps.push_back(step);
    }
    return choice;
}

std::string SenseText(const SenseChoice& choice) {
    if (choice.sense == 0) {
        return "one mark: no sense to take";
    }
    std::string text =
        choice.sense > 0 ? "the angles rise with the value" : "the angles fall as the value rises";
    text += ": the marks sweep " + Degrees(choice.sweepDegrees) + " degrees that way, " +
            Degrees(choice.otherWayDegrees) + " the other";
    switch (choice.from) {
    case SenseChoice::From::kMarks:
        break;
    case SenseChoice::From::kTurns:
        text += " (the sweep given in turns)";
        break;
    case SenseChoice::From::kTable:
        text += " (as far either way: the present table's sense)";
        break;
    }
    return text;
}

} // namespace mirevane::tool
