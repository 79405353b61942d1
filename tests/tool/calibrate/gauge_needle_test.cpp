// The needle that draws a gauge on the panel picture: its Location is the hub and its mapping
// the screen convention, whatever the offset and sense, so that a mark placed where the host
// draws a panel angle reads back as that angle; a needle that cannot say (none on the
// gauge's entries, a Function, another scale, images of one gauge that disagree) is refused
// at the panel line that stands in the way.
#include "calibrate/gauge_needle.h"
#include "common/tool_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A [Needle] on atsN standing on lines from `line` on, as the parser leaves it.
PanelElement Needle(int entry, int line, NeedleMapping mapping, PanelPoint location = {412, 530}) {
    PanelElement e;
    e.kind = PanelElementKind::kNeedle;
    e.section = {line, 1};
    e.subject.text = "ats" + std::to_string(entry);
    e.subject.entry = entry;
    e.location = location;
    e.mapping = mapping;
    e.keys["location"] = {"", {line + 2, 1}, 12};
    return e;
}

PanelFile Panel(std::vector<PanelElement> elements) {
    PanelFile panel;
    panel.path = "Train/panel2.cfg";
    panel.folder = "Train/";
    for (std::size_t i = 0; i < elements.size(); ++i) {
        elements[i].order = static_cast<int>(i);
    }
    panel.elements = std::move(elements);
    return panel;
}

NeedleMapping Mapping(double minimum, double maximum, double initial, double last) {
    NeedleMapping m;
    m.minimum = minimum;
    m.maximum = maximum;
    m.initialAngle = initial;
    m.lastAngle = last;
    return m;
}

struct MappingCase {
    const char* name;
    NeedleMapping mapping;
    const char* said; // the convention as a person reads it
};

const MappingCase kMappings[] = {
    {"0 to 360", Mapping(0, 360000, 0, 360),
     "angle 0 at 0 degrees clockwise from up, growing clockwise"},
    {"-180 to 180", Mapping(0, 360000, -180, 180),
     "angle 0 at 180 degrees clockwise from up, growing clockwise"},
    {"anticlockwise", Mapping(0, 360000, 0, -360),
     "angle 0 at 0 degrees clockwise from up, growing anticlockwise"},
    {"an offset Minimum", Mapping(90000, 450000, 37, 397),
     "angle 0 at -53 degrees clockwise from up, growing clockwise"},
    {"a reversed range", Mapping(360000, 0, 360, 0),
     "angle 0 at 0 degrees clockwise from up, growing clockwise"},
    {"a whole turn on", Mapping(0, 360000, 360, 720),
     "angle 0 at 0 degrees clockwise from up, growing clockwise"},
};

TEST(GaugeNeedleTest, TheNeedlesMappingPutsEveryPanelAngleWhereTheHostDrawsIt) {
    for (const MappingCase& c : kMappings) {
        SCOPED_TRACE(c.name);
        const GaugeNeedle needle = FindGaugeNeedle(Panel({Needle(20, 7, c.mapping)}), 0, {20});
        EXPECT_EQ(needle.hub.x, 412);
        EXPECT_EQ(needle.hub.y, 530);
        EXPECT_EQ(needle.at, "Train/panel2.cfg:7");
        EXPECT_EQ(ConventionText(needle.convention), c.said);
        for (const double panelAngle : {0.0, 45.5, 180.0, 299.0, 540.0}) {
            // The host: value 1000 a, screen angle from up, clockwise.
            const double screen = c.mapping.ScreenDegrees(panelAngle * 1000.0) * kPi / 180.0;
            const Point onScreen{std::sin(screen), -std::cos(screen)};
            const double read = needle.convention.FrameDegrees(onScreen);
            EXPECT_NEAR(std::remainder(read - panelAngle, 360.0), 0.0, 1e-9) << panelAngle;
        }
    }
}

TEST(GaugeNeedleTest, AnOvalGaugesImagesMayShareOneNeedleMappingInAnyWrittenForm) {
    // The same convention written with another Minimum: one mapping to the screen.
    const PanelFile panel = Panel({Needle(30, 3, Mapping(0, 360000, 0, 360)),
                                   Needle(31, 12, Mapping(360000, 720000, 0, 360)),
                                   Needle(40, 21, Mapping(0, 1000, -120, 120))});
    const GaugeNeedle needle = FindGaugeNeedle(panel, 1, {30, 31});
    EXPECT_EQ(needle.at, "Train/panel2.cfg:3");
    EXPECT_EQ(needle.order, 0);
    EXPECT_TRUE(SameConvention(needle.convention, *AngleConvention::Parse("up-cw")));
}

struct Refusal {
    const char* name;
    std::vector<PanelElement> needles;
    std::vector<int32_t> entries;
    const char* line; // the diagnostic, up to the advice every refusal ends with
};

PanelElement WithFunction(PanelElement e) {
    e.function = "ats20 2 *";
    e.keys["function"] = {"ats20 2 *", {e.section.line + 5, 1}, 12};
    return e;
}

TEST(GaugeNeedleTest, ANeedleThatCannotSayIsRefusedAtItsLine) {
    const NeedleMapping good = Mapping(0, 360000, 0, 360);
    const Refusal kRefusals[] = {
        {"the host's default scale",
         {Needle(20, 7, NeedleMapping{})},
         {20},
         "Train/panel2.cfg:7:1: error: the needle on ats20 turns 240 degrees per 1000 units "
         "(InitialAngle -120 to LastAngle 120 over Minimum 0 to Maximum 1000), and the plug-in "
         "writes 1000 units per degree"},
        {"degrees written as units",
         {Needle(20, 7, Mapping(0, 360, 0, 360))},
         {20},
         "Train/panel2.cfg:7:1: error: the needle on ats20 turns 1000 degrees per 1000 units"},
        {"a needle that does not turn",
         {Needle(20, 7, Mapping(0, 0, 0, 360))},
         {20},
         "Train/panel2.cfg:7:1: error: the needle on ats20 does not turn with its value "
         "(Minimum equals Maximum)"},
        {"a Function",
         {WithFunction(Needle(20, 7, good))},
         {20},
         "Train/panel2.cfg:12:1: error: the needle on ats20 is drawn by a Function, which the "
         "tool does not evaluate"},
        {"no needle on the entry",
         {Needle(21, 7, good)},
         {20},
         "Train/panel2.cfg: error: gauge 0 writes ats20, and no [Needle] of the panel reads it"},
        {"no needle on a division",
         {Needle(20, 7, good)},
         {30, 31, 32},
         "Train/panel2.cfg: error: gauge 0 writes ats30, ats31 and ats32, and no [Needle] of the "
         "panel reads any of them"},
        {"images about two hubs",
         {Needle(30, 3, good), Needle(31, 12, good, {413, 530})},
         {30, 31},
         "Train/panel2.cfg:14:1: error: the needle on ats31 turns about 413, 530, the one on ats30 "
         "at Train/panel2.cfg:3 about 412, 530: one gauge has one hub"},
        {"images turned apart",
         {Needle(30, 3, good), Needle(31, 12, Mapping(0, 360000, 90, 450))},
         {30, 31},
         "Train/panel2.cfg:12:1: error: the needle on ats31 has angle 0 at 90 degrees clockwise "
         "from up, growing clockwise, the one on ats30 at Train/panel2.cfg:3 angle 0 at 0 degrees "
         "clockwise from up, growing clockwise: the images of one gauge need one mapping"},
        {"images of opposite senses",
         {Needle(30, 3, good), Needle(31, 12, Mapping(0, 360000, 0, -360))},
         {30, 31},
         "Train/panel2.cfg:12:1: error: the needle on ats31 has angle 0 at 0 degrees clockwise "
         "from up, growing anticlockwise"},
    };
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.name);
        try {
            FindGaugeNeedle(Panel(r.needles), 0, r.entries);
            ADD_FAILURE() << "taken";
        } catch (const InputError& e) {
            const std::string line = e.Line();
            EXPECT_EQ(line.substr(0, std::string(r.line).size()), r.line);
            EXPECT_NE(line.find("--no-panel"), std::string::npos) << line;
            EXPECT_NE(line.find("[calibrate-panel-needle]"), std::string::npos) << line;
        }
    }
}

TEST(GaugeNeedleTest, ConventionsAreOneWhenEveryAngleLandsAlike) {
    AngleConvention a = *AngleConvention::Parse("up-cw");
    AngleConvention b = a;
    b.zeroDegrees += 720.0;
    EXPECT_TRUE(SameConvention(a, b));
    b.zeroDegrees += 1e-6;
    EXPECT_FALSE(SameConvention(a, b));
    EXPECT_FALSE(SameConvention(a, *AngleConvention::Parse("up-ccw")));
    EXPECT_EQ(ConventionText(*AngleConvention::Parse("down-ccw")),
              "angle 0 at 180 degrees clockwise from up, growing anticlockwise");
    EXPECT_EQ(ConventionText(*AngleConvention::Parse("left-cw")),
              "angle 0 at -90 degrees clockwise from up, growing clockwise");
}

} // namespace
} // namespace mirevane::tool
