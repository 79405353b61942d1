// Which way a scale turns between its marks. A direction gives an angle only up to whole
// turns, so each step from one mark to the next (in value) is some angle r in [0, 360) when
// angles rise with the value, or r - 360 when they fall; the marks themselves decide which.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

// From one mark to the next in value: how far the second lies from the first in the sense of
// rising angles, 0 <= risingDegrees < 360 (0: the same direction).
struct MarkStep {
    double fromValue = 0.0;
    double toValue = 0.0;
    double risingDegrees = 0.0;
};

struct SenseChoice {
    enum class From {
        kMarks, // the smaller sweep
        kTurns, // the sweep the user gave
        kTable, // the marks sweep as far either way: the present table's sense
    };
    int sense = 0; // +1: angles rise with the value, -1: they fall, 0: one mark, no step
    From from = From::kMarks;
    double sweepDegrees = 0.0;    // from the first mark to the last, the sense taken
    double otherWayDegrees = 0.0; // the same, the other sense
    std::vector<double> steps;    // signed, one per MarkStep
};

// A step of half a turn or more could be either sense's, and one of no turn a whole turn:
// without `turns` such a step is refused (CalibrationRefused, calibrate-ambiguous), naming the
// marks and how to resolve it. Otherwise the sense whose sweep is the smaller, or with
// `turns` the one nearer to that many turns (refused when neither is within half a turn);
// `tableSense` (+1, -1) breaks only an exact tie.
SenseChoice ChooseSense(const std::vector<MarkStep>& steps, int tableSense,
                        std::optional<double> turns);

// One line for a person: the sense taken and why.
std::string SenseText(const SenseChoice& choice);

} // namespace mirevane::tool
