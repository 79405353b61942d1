// The sense a scale takes between its marks, as a table of cases: the marks decide it, the
// present table only breaks an exact tie, steps of half a turn or none are refused unless the
// sweep is given in turns.
#include "calibrate/calibration_notes.h"
#include "calibrate/scale_sense.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

using From = SenseChoice::From;

struct SenseCase {
    const char* name;
    std::vector<double> rising; // each step's turn in the rising sense, marks 0, 10, 20, ...
    int tableSense;
    std::optional<double> turns;
    int sense;
    From from;
    std::vector<double> steps;
};

std::vector<MarkStep> Steps(const std::vector<double>& rising) {
    std::vector<MarkStep> steps;
    for (std::size_t i = 0; i < rising.size(); ++i) {
        steps.push_back({10.0 * i, 10.0 * (i + 1), rising[i]});
    }
    return steps;
}

TEST(ScaleSense, TheMarksDecideTheSense) {
    const std::vector<double> thirties(9, 30.0);
    const std::vector<double> quarters(8, 90.0);
    const std::vector<double> halves(6, 180.0);
    const SenseCase cases[] = {
        {"rising, a quarter turn each", {90, 90}, 1, {}, 1, From::kMarks, {90, 90}},
        {"falling by 120 on a rising table", {240, 240}, 1, {}, -1, From::kMarks, {-120, -120}},
        {"falling by 120 on a falling table", {240, 240}, -1, {}, -1, From::kMarks, {-120, -120}},
        {"rising by 100 on a falling table", {100, 100}, -1, {}, 1, From::kMarks, {100, 100}},
        {"a 270-degree dial in steps of 30", thirties, -1, {}, 1, From::kMarks, thirties},
        {"two turns in quarter turns", quarters, 1, {}, 1, From::kMarks, quarters},
        {"two marks 200 apart: the shorter way", {200}, 1, {}, -1, From::kMarks, {-160}},
        // With the sweep given, steps of half a turn and more are the user's word.
        {"half a turn, its sense from the table", {180}, -1, 0.5, -1, From::kTable, {-180}},
        {"a 0..3-turn gauge in half turns", halves, 1, 3.0, 1, From::kTable, halves},
        {"200 the long way, as the turns say", {200}, -1, 200.0 / 360.0, 1, From::kTurns, {200}},
        {"a 270-degree dial given in turns", {90, 90, 90}, -1, 0.75, 1, From::kTurns, {90, 90, 90}},
        {"one mark: no sense", {}, 1, {}, 0, From::kMarks, {}},
    };
    for (const SenseCase& c : cases) {
        const SenseChoice choice = ChooseSense(Steps(c.rising), c.tableSense, c.turns);
        EXPECT_EQ(choice.sense, c.sense) << c.name;
        EXPECT_EQ(choice.from, c.from) << c.name;
        EXPECT_EQ(choice.steps, c.steps) << c.name;
    }
}

struct RefusalCase {
    const char* name;
    std::vector<double> rising;
    std::optional<double> turns;
    const char* option;
    const char* names; // in the message
};

TEST(ScaleSense, StepsThatCouldGoEitherWayAreRefused) {
    const RefusalCase cases[] = {
        {"exactly half a turn", {180}, {}, "--mark", "marks 0 and 10 are 180 degrees apart"},
        {"a long step among short ones",
         {30, 200, 30},
         {},
         "--mark",
         "marks 10 and 20 are 200 degrees apart"},
        {"a long step the other way",
         {330, 160, 330},
         {},
         "--mark",
         "marks 10 and 20 are 200 degrees apart"},
        {"the same direction", {90, 0}, {}, "--mark", "marks 10 and 20 point the same way"},
        {"half turns without the sweep",
         std::vector<double>(6, 180.0),
         {},
         "--mark",
         "marks 0 and 10"},
        {"a whole turn the marks cannot show", {90, 90}, 2.0, "--turns", "neither within"},
    };
    for (const RefusalCase& c : cases) {
        try {
            ChooseSense(Steps(c.rising), 1, c.turns);
            ADD_FAILURE() << c.name << ": not refused";
        } catch (const CalibrationRefused& e) {
            EXPECT_EQ(e.note().code, "calibrate-ambiguous") << c.name;
            EXPECT_EQ(e.note().option, c.option) << c.name;
            EXPECT_NE(e.note().message.find(c.names), std::string::npos)
                << c.name << ": " << e.note().message;
            // The message says how to resolve it.
            EXPECT_NE(e.note().message.find("between them"), std::string::npos) << e.note().message;
        }
    }
}

TEST(ScaleSense, TheTextSaysTheSenseAndWhy) {
    EXPECT_EQ(SenseText(ChooseSense(Steps({240, 240}), 1, {})),
              "the angles fall as the value rises: the marks sweep 240 degrees that way, 480 the "
              "other");
    EXPECT_EQ(SenseText(ChooseSense(Steps({180}), 1, 0.5)),
              "the angles rise with the value: the marks sweep 180 degrees that way, 180 the other "
              "(as far either way: the present table's sense)");
}

} // namespace
} // namespace mirevane::tool
