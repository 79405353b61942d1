// Calibration through real gauges: marks placed where the gauge's own drawing puts table
// angles (DialGeometry::Locate, forwards) must give those angles back through its inverse,
// in the sense the marks take, under every angle convention, round and oval; marks and rims
// that cannot be read are refused, pictures too coarse for the printed precision warned of,
// and the table the marks make keeps or drops the other rows as asked.
#include "calibrate/calibration.h"
#include "gauges/c_mirevane.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

constexpr Point kHub{400.0, 300.0};
constexpr double kRadius = 180.0;

class CalibrationTest : public testing::Test {
protected:
    // A rising present table (0 at 0, 270 at 100); an oval of flattening 0.5 turned by 30.
    DialGeometry Gauge(bool oval) {
        SettingsModel settings;
        settings.Subject = "kmph";
        settings.Needle = 5;
        if (oval) {
            settings.Division = 4;
            settings.Flattening = 0.5;
            settings.RotateAngle = 30;
            for (int k = 0; k < 4; ++k) {
                settings.Ellipse[k] = 30 + k;
            }
        }
        gauges.AddGauge(settings, table);
        return DialGeometry(gauges, gauges.gaugeCount() - 1);
    }

    // Where the gauge draws the needle for a table angle, on the picture.
    static Point MarkAt(const DialGeometry& dial, const AngleConvention& convention,
                        double tableAngle, double radius = kRadius) {
        const Point p = convention.ToScreen(dial.Locate(tableAngle + 180.0).drawnDegrees, radius);
        return {kHub.x + p.x, kHub.y + p.y};
    }

    static CalibrationRequest Marks(const DialGeometry& dial, const AngleConvention& convention,
                                    const std::vector<double>& values,
                                    const std::vector<double>& angles) {
        CalibrationRequest request;
        request.hub = kHub;
        for (std::size_t i = 0; i < values.size(); ++i) {
            request.marks.push_back({values[i], MarkAt(dial, convention, angles[i])});
        }
        return request;
    }

    test::TempDir folder;
    std::string table = folder.Write("table.csv", "0,0\n100,270\n");
    std::vector<TableRow> present = {{0, 0}, {100, 270}};
    CMirevane gauges;
};

struct ScaleCase {
    const char* name;
    std::vector<double> values;
    std::vector<double> angles; // table angles the picture was drawn from
    int sense;
};

TEST_F(CalibrationTest, MarksGiveBackTheAnglesTheyWereDrawnFromInTheirOwnSense) {
    const ScaleCase cases[] = {
        {"rising", {0, 50, 100, 150, 200}, {10, 80.5, 151, 215.25, 280}, 1},
        {"falling by 120 each", {0, 50, 100}, {-60, -180, -300}, -1},
        {"falling, marks given in any order", {100, 0, 50}, {-300, -60, -180}, -1},
        {"a 270-degree dial", {0, 20, 40, 60, 80, 100}, {-135, -81, -27, 27, 81, 135}, 1},
        {"one past the top", {0, 40, 80, 120}, {250, 310, 370, 430}, 1},
        {"falling past the top", {0, 40, 80, 120}, {60, -10, -80, -150}, -1},
        {"more than a turn in steps under half", {0, 10, 20, 30, 40}, {0, 150, 300, 450, 600}, 1},
    };
    for (const char* name : {"up-cw", "up-ccw", "right-cw", "right-ccw", "down-cw", "down-ccw",
                             "left-cw", "left-ccw"}) {
        const AngleConvention convention = *AngleConvention::Parse(name);
        for (const bool oval : {false, true}) {
            const DialGeometry dial = Gauge(oval);
            for (const ScaleCase& c : cases) {
                const Calibration got = Calibrate(dial, convention, present,
                                                  Marks(dial, convention, c.values, c.angles));
                std::vector<std::pair<double, double>> want;
                for (std::size_t i = 0; i < c.values.size(); ++i) {
                    want.push_back({c.values[i], c.angles[i]});
                }
                std::sort(want.begin(), want.end());
                ASSERT_EQ(got.reading.angles.size(), want.size()) << c.name;
                EXPECT_EQ(got.reading.sense.sense, c.sense) << name << ", " << c.name;
                // The first mark is read up to whole turns (the nearest to the present table);
                // every later one a step on from it, exactly as drawn.
                const double turn = got.reading.angles[0].angle - want[0].second;
                EXPECT_NEAR(turn, 360.0 * std::round(turn / 360.0), 1e-6) << c.name;
                for (std::size_t i = 0; i < want.size(); ++i) {
                    EXPECT_EQ(got.reading.angles[i].value, want[i].first) << c.name;
                    // The oval's inverse is found by halving: far below the thousandth written.
                    EXPECT_NEAR(got.reading.angles[i].angle - turn, want[i].second, 1e-6)
                        << name << (oval ? ", oval, " : ", round, ") << c.name << ", mark " << i;
                }
            }
        }
    }
}

struct RefusedCase {
    const char* name;
    bool oval;
    CalibrationRequest request;
    const char* option;
    const char* code;
};

TEST_F(CalibrationTest, WhatCannotBeAMarkIsRefused) {
    const Point rim[] = {{580, 300}, {400, 390}, {220, 300}, {400, 210}, {527, 364}};
    const std::vector<Point> rimPoints(std::begin(rim), std::end(rim));
    const DialMark zero{0, {400, 120}};
    const DialMark fifty{50, {580, 300}};
    const RefusedCase cases[] = {
        {"a mark on the hub",
         false,
         {kHub, {zero, {50, {402, 301}}}, {}, false, {}},
         "--mark",
         "calibrate-mark"},
        {"the same value twice",
         false,
         {kHub, {zero, fifty, {50, {400, 480}}}, {}, false, {}},
         "--mark",
         "calibrate-mark"},
        {"a rim on a plain needle",
         false,
         {kHub, {zero, fifty}, rimPoints, false, {}},
         "--rim",
         "calibrate-option"},
        {"neighbours half a turn apart",
         false,
         {kHub, {zero, {50, {400, 480}}}, {}, false, {}},
         "--mark",
         "calibrate-ambiguous"},
        {"neighbours half a turn apart, oval",
         true,
         {kHub, {zero, {50, {400, 480}}}, {}, false, {}},
         "--mark",
         "calibrate-ambiguous"},
        {"a sweep of no turns",
         false,
         {kHub, {zero, fifty}, {}, false, 0.0},
         "--turns",
         "calibrate-option"},
    };
    const AngleConvention upCw = *AngleConvention::Parse("up-cw");
    for (const RefusedCase& c : cases) {
        const DialGeometry dial = Gauge(c.oval);
        try {
            Calibrate(dial, upCw, present, c.request);
            ADD_FAILURE() << c.name << ": not refused";
        } catch (const CalibrationRefused& e) {
            EXPECT_EQ(e.note().option, c.option) << c.name;
            EXPECT_EQ(e.note().code, c.code) << c.name << ": " << e.note().message;
        }
    }
}

TEST_F(CalibrationTest, PicturesTooCoarseForThePrecisionAreWarnedOf) {
    const AngleConvention upCw = *AngleConvention::Parse("up-cw");
    const DialGeometry oval = Gauge(true);
    const auto codes = [&](double radius, double rimFrom, double rimTo) {
        CalibrationRequest request;
        request.hub = kHub;
        for (const double a : {0.0, 90.0}) {
            request.marks.push_back({a, MarkAt(oval, upCw, a, radius)});
        }
        for (int k = 0; k < 6; ++k) {
            const double t = (rimFrom + (rimTo - rimFrom) * k / 5) * 3.14159265358979 / 180;
            request.rim.push_back({kHub.x + radius * std::cos(t), kHub.y + radius * std::sin(t)});
        }
        std::vector<std::string> found;
        for (const CalibrationNote& n : Calibrate(oval, upCw, present, request).warnings) {
            found.push_back(n.code);
        }
        return found;
    };
    EXPECT_EQ(codes(180, 0, 300), std::vector<std::string>{});
    EXPECT_EQ(codes(30, 0, 300), std::vector<std::string>{"calibrate-small-dial"});
    EXPECT_EQ(codes(180, 0, 150), std::vector<std::string>{"calibrate-rim-cover"});
    EXPECT_EQ(codes(30, 0, 150),
              (std::vector<std::string>{"calibrate-small-dial", "calibrate-rim-cover"}));
}

TEST_F(CalibrationTest, TheMarksReplaceTheirRowsOrTheWholeTable) {
    const std::vector<TableRow> rows = {{0, 0}, {20, 40}, {50, 90}, {50, 95}, {100, 270}};
    const std::vector<MarkAngle> marks = {{0, 20.13649, 5}, {100, 290.1364, 5}, {60, -0.0001, 5}};
    const TableFromMarks kept = MakeTableFromMarks(rows, marks, false);
    // Rounded to the thousandth, -0 written as 0; the present rows of other values stay, a
    // step (two rows of 50) included.
    EXPECT_EQ(kept.rows, (std::vector<TableRow>{
                             {0, 20.136}, {20, 40}, {50, 90}, {50, 95}, {60, 0}, {100, 290.136}}));
    EXPECT_EQ(kept.kept, (std::vector<TableRow>{{20, 40}, {50, 90}, {50, 95}}));
    const std::optional<CalibrationNote> note = KeptRowsNote(kept);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->code, "calibrate-kept-rows");
    EXPECT_NE(note->message.find("3 rows of the present table stay"), std::string::npos);
    EXPECT_NE(note->message.find("20,40; 50,90; 50,95"), std::string::npos) << note->message;

    const TableFromMarks replaced = MakeTableFromMarks(rows, marks, true);
    EXPECT_EQ(replaced.rows, (std::vector<TableRow>{{0, 20.136}, {60, 0}, {100, 290.136}}));
    EXPECT_TRUE(replaced.kept.empty());
    EXPECT_FALSE(KeptRowsNote(replaced));
}

} // namespace
} // namespace mirevane::tool
