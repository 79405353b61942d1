// The cab as the host draws it: each needle's screen angle per kept frame by its own mapping,
// the drawing order of the layers, every picture embedded once, needles on vehicle quantities
// moving with the scenario and the others at their Minimum, and an oval gauge's parked images
// where the host draws their parking value.
#include "dial/cab_view.h"

#include "replay/replay.h"
#include "replay/scenario.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

struct NeedleSpec {
    std::string subject;
    NeedleMapping mapping;
    int layer = 0;
    std::string picture = "needle.png"; // "": none named
    PanelColour tint{255, 255, 255};
    std::string function;
};

NeedleSpec Spec(std::string subject, NeedleMapping mapping, int layer = 0,
                std::string picture = "needle.png", PanelColour tint = {255, 255, 255},
                std::string function = "") {
    return {std::move(subject), mapping, layer, std::move(picture), tint, std::move(function)};
}

PanelSubject SubjectOf(const std::string& text) {
    PanelSubject subject;
    subject.text = text;
    if (text.rfind("ats", 0) == 0) {
        subject.entry = std::stoi(text.substr(3));
    } else {
        subject.quantity = text;
    }
    return subject;
}

Picture Filled(int width, int height, uint8_t grey) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgba.assign(static_cast<std::size_t>(width * height) * 4, grey);
    return p;
}

// A panel of these needles, in this file order, on a 64 x 48 background; every picture found
// and readable but "missing.png", which no folder holds.
struct Panel {
    PanelFile file;
    PanelPictures pictures;
};

Panel MakePanel(const std::vector<NeedleSpec>& needles) {
    Panel panel;
    panel.file.path = "/cab/panel2.cfg";
    panel.file.folder = "/cab/";
    panel.file.dayImage = {"panel.bmp", {2, 1}};
    panel.pictures.background = {"panel.bmp",          {2, 1}, "/cab/panel.bmp",
                                 PictureState::kFound, "",     Filled(64, 48, 90)};
    for (const NeedleSpec& spec : needles) {
        PanelElement e;
        e.order = static_cast<int>(panel.file.elements.size());
        e.section = {10 + 10 * e.order, 1};
        e.subject = SubjectOf(spec.subject);
        e.location = {10.0 + e.order, 20.0};
        e.dayImage = {spec.picture, {12 + 10 * e.order, 1}};
        e.colour = spec.tint;
        e.origin = PanelPoint{2.0, 9.0};
        e.mapping = spec.mapping;
        e.layer = spec.layer;
        e.function = spec.function;
        panel.file.elements.push_back(e);
        PanelPicture p;
        p.name = spec.picture;
        p.spot = e.dayImage.spot;
        if (spec.picture.empty()) {
            p.state = PictureState::kNone;
        } else if (spec.picture == "missing.png") {
            p.state = PictureState::kMissing;
        } else {
            p.path = "/cab/" + spec.picture;
            p.state = PictureState::kFound;
            p.picture = Filled(4, 10, 200);
        }
        panel.pictures.elements.push_back(p);
    }
    return panel;
}

constexpr NeedleMapping kUpClockwise{0.0, 360.0, 0.0, 360000.0, false};

// A recorder that kept these frames: panel entries 20 and 30 written by gauges 0 and 1, the
// vehicle quantities named, each frame's speed and brake cylinder pressure.
struct KeptFrame {
    int32_t entry20;
    int32_t entry30;
    float speed;
    float bc;
};

DialRecorder Recorded(const std::vector<KeptFrame>& frames, std::vector<std::string> quantities) {
    GaugeInfo speedometer;
    speedometer.entries = {20};
    GaugeInfo oval;
    oval.elliptic = true;
    oval.entries = {30};
    RunHeader run;
    run.gauges = {speedometer, oval};
    run.panelColumns = {20, 30};
    run.quantities = std::move(quantities);
    run.observed = true;
    DialRecorder recorder;
    recorder.Begin(run);
    std::vector<int32_t> keys;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        FrameRecord frame;
        frame.index = i;
        frame.time = static_cast<int32_t>(100 * i);
        frame.axis = frame.time;
        frame.keys = &keys;
        const int32_t panel[2] = {frames[i].entry20, frames[i].entry30};
        frame.panel = panel;
        GaugeSample samples[2];
        frame.samples = samples;
        frame.state.speed = frames[i].speed;
        frame.state.bc = frames[i].bc;
        recorder.Take(frame);
    }
    return recorder;
}

struct AngleCase {
    const char* name;
    NeedleMapping mapping;
    std::vector<double> expected; // for entry 20 holding 0, 90000, 225000, 400000
};

TEST(CabView, EachNeedleTurnsByItsOwnMappingInEveryKeptFrame) {
    const AngleCase cases[] = {
        {"0..360 over 0..360000", kUpClockwise, {0, 90, 225, 400}},
        {"-180..180: the table angle", {-180.0, 180.0, 0.0, 360000.0, false}, {-180, -90, 45, 220}},
        {"anticlockwise picture", {360.0, 0.0, 0.0, 360000.0, false}, {360, 270, 135, -40}},
        {"offset minimum", {-120.0, 120.0, 60000.0, 300000.0, false}, {-180, -90, 45, 220}},
        {"backstop holds the range",
         {-120.0, 120.0, 60000.0, 300000.0, true},
         {-120, -90, 45, 120}},
        {"the host's defaults, 1000 times too far",
         {-120.0, 120.0, 0.0, 1000.0, false},
         {-120, 21480, 53880, 95880}},
    };
    const DialRecorder recorder =
        Recorded({{0, 0, 0, 0}, {90000, 0, 0, 0}, {225000, 0, 0, 0}, {400000, 0, 0, 0}}, {});
    for (const AngleCase& c : cases) {
        const Panel panel = MakePanel({Spec("ats20", c.mapping)});
        const std::vector<CabNeedleMotion> motion =
            MoveCab(BuildCabScene(panel.file, panel.pictures), recorder);
        ASSERT_EQ(motion.size(), 1u) << c.name;
        EXPECT_EQ(motion[0].drive, CabDrive::kEntry) << c.name;
        EXPECT_EQ(motion[0].gauge, 0) << c.name;
        ASSERT_EQ(motion[0].angles.size(), c.expected.size()) << c.name;
        for (std::size_t f = 0; f < c.expected.size(); ++f) {
            EXPECT_NEAR(motion[0].angles[f], c.expected[f], 1e-9) << c.name << " frame " << f;
        }
    }
}

TEST(CabView, LayersDrawInOrderAndEqualLayersInFileOrder) {
    const Panel panel = MakePanel({Spec("ats20", kUpClockwise, 2), Spec("ats30", kUpClockwise, 0),
                                   Spec("kmph", kUpClockwise, 1), Spec("bc", kUpClockwise, 0),
                                   Spec("ats21", kUpClockwise, 2), Spec("mr", kUpClockwise, -1)});
    const CabScene scene = BuildCabScene(panel.file, panel.pictures);
    std::vector<int> order;
    for (const CabNeedle& n : scene.needles) {
        order.push_back(n.element);
    }
    EXPECT_EQ(order, (std::vector<int>{5, 1, 3, 2, 0, 4}));
    // The figure draws them in that order: later groups paint over earlier ones.
    const std::string svg = CabSvg(scene);
    std::vector<std::size_t> at;
    for (const char* subject : {"mr", "ats30", "bc", "kmph", "ats20", "ats21"}) {
        at.push_back(svg.find("data-subject=\"" + std::string(subject) + "\""));
        ASSERT_NE(at.back(), std::string::npos) << subject;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

TEST(CabView, EachPictureIsEmbeddedOnceHoweverManyNeedlesUseIt) {
    struct PictureCase {
        const char* name;
        std::vector<NeedleSpec> needles;
        std::size_t pictures;     // distinct, embedded
        std::size_t placeholders; // needles drawn without a picture
    };
    const PictureCase cases[] = {
        {"one picture for six needles", std::vector<NeedleSpec>(6, Spec("ats20", kUpClockwise)), 1,
         0},
        {"a tint makes another picture",
         {Spec("ats20", kUpClockwise), Spec("ats30", kUpClockwise, 0, "needle.png", {255, 0, 0}),
          Spec("ats21", kUpClockwise)},
         2,
         0},
        {"two files",
         {Spec("ats20", kUpClockwise), Spec("ats30", kUpClockwise, 0, "long.png"),
          Spec("ats31", kUpClockwise, 0, "long.png")},
         2,
         0},
        {"a missing picture and none at all: placeholders",
         {Spec("ats20", kUpClockwise), Spec("ats30", kUpClockwise, 0, "missing.png"),
          Spec("ats31", kUpClockwise, 0, "")},
         1,
         2},
    };
    for (const PictureCase& c : cases) {
        const Panel panel = MakePanel(c.needles);
        const CabScene scene = BuildCabScene(panel.file, panel.pictures);
        const std::string svg = CabSvg(scene);
        // The background, then each distinct needle picture.
        EXPECT_EQ(Count(svg, "data:image/png;base64,"), 1 + c.pictures) << c.name;
        EXPECT_EQ(Count(svg, "<use href=\"#cab-picture-"), c.needles.size() - c.placeholders)
            << c.name;
        EXPECT_EQ(Count(svg, "class=\"cab-needle\""), c.needles.size()) << c.name;
        EXPECT_EQ(Count(svg, "<g class=\"cab-placeholder\">"), c.placeholders) << c.name;
    }
}

TEST(CabView, APictureThatCannotBeReadIsAMarkedPlaceholderThatSaysWhy) {
    Panel panel =
        MakePanel({Spec("ats20", kUpClockwise, 0, "missing.png"), Spec("ats30", kUpClockwise)});
    panel.pictures.background.state = PictureState::kUnreadable;
    panel.pictures.background.reason = "unsupported BMP compression";
    panel.pictures.background.picture = {};
    // Found and decoded, yet nothing to encode again.
    panel.pictures.elements[1].picture = {};
    const CabScene scene = BuildCabScene(panel.file, panel.pictures);
    const std::string svg = CabSvg(scene);
    EXPECT_NE(svg.find("<title>the panel's picture panel.bmp: unsupported BMP compression"
                       "</title>"),
              std::string::npos)
        << svg.substr(0, 600);
    EXPECT_NE(svg.find("missing.png: no such file in any letter case</title>"), std::string::npos);
    EXPECT_EQ(scene.pictures[1].dataUri, "");
    EXPECT_NE(scene.pictures[1].problem, "");
    EXPECT_EQ(svg.find("data:image/png"), std::string::npos);
    // Without its picture the panel spans its needles.
    EXPECT_GE(scene.width, 256.0);
    EXPECT_GE(scene.height, 256.0);
}

TEST(CabView, NeedlesOnQuantitiesMoveWithTheScenarioAndTheRestStandAtMinimum) {
    const NeedleMapping speed{-135.0, 135.0, 0.0, 120.0, false}; // 2.25 degrees per km/h
    const NeedleMapping pressure{-120.0, 120.0, 0.0, 800.0, false};
    const Panel panel =
        MakePanel({Spec("kmph", speed), Spec("bc", pressure), Spec("mr", pressure),
                   Spec("hour", {0.0, 360.0, 2.0, 14.0, false}),
                   Spec("ats40", {-90.0, 90.0, 1000.0, 2000.0, false}),
                   Spec("ats20", kUpClockwise, 0, "needle.png", {255, 255, 255}, "ats20 2 *")});
    const CabScene scene = BuildCabScene(panel.file, panel.pictures);
    const DialRecorder recorder = Recorded(
        {{0, 0, 0.0f, 0.0f}, {0, 0, -40.0f, 200.0f}, {0, 0, 100.0f, 400.0f}}, {"kmph", "bc"});
    const std::vector<CabNeedleMotion> motion = MoveCab(scene, recorder);
    ASSERT_EQ(motion.size(), 6u);
    struct Expected {
        CabDrive drive;
        std::vector<double> angles;
        const char* rest; // words of the reason it stands still
    };
    const Expected expected[] = {
        {CabDrive::kQuantity, {-135, -45, 90}, ""}, // kmph is the speed's magnitude
        {CabDrive::kQuantity, {-120, -60, 0}, ""},
        {CabDrive::kRest, {-120, -120, -120}, "the scenario gives no mr"},
        {CabDrive::kRest, {0, 0, 0}, "the scenario gives no hour"},
        {CabDrive::kRest, {-90, -90, -90}, "no gauge writes entry 40"},
        {CabDrive::kRest, {0, 0, 0}, "Function"},
    };
    for (std::size_t i = 0; i < motion.size(); ++i) {
        EXPECT_EQ(motion[i].drive, expected[i].drive) << i;
        EXPECT_NE(motion[i].rest.find(expected[i].rest), std::string::npos) << motion[i].rest;
        ASSERT_EQ(motion[i].angles.size(), 3u) << i;
        for (std::size_t f = 0; f < 3; ++f) {
            EXPECT_NEAR(motion[i].angles[f], expected[i].angles[f], 1e-9) << i << " frame " << f;
        }
    }
}

TEST(CabView, TheFigureShowsEveryNeedleAtItsRestAndTheDataEveryFramesAngle) {
    const Panel panel = MakePanel({Spec("ats20", {-180.0, 180.0, 0.0, 360000.0, false}),
                                   Spec("ats30", {-90.0, 90.0, 1000.0, 2000.0, false})});
    const CabScene scene = BuildCabScene(panel.file, panel.pictures);
    const std::string svg = CabSvg(scene);
    EXPECT_NE(svg.find("<g class=\"cab-turn\" transform=\"rotate(-180)\">"), std::string::npos);
    EXPECT_NE(svg.find("<g class=\"cab-turn\" transform=\"rotate(-90)\">"), std::string::npos);
    // Origin (2, 9) on the pivot (10, 20), no Radius.
    EXPECT_NE(svg.find("transform=\"translate(10 20)\""), std::string::npos);
    EXPECT_NE(svg.find("transform=\"scale(1) translate(-2 -9)\""), std::string::npos);

    const DialRecorder recorder = Recorded(
        {{180000, 1500, 0, 0}, {180000, 1500, 0, 0}, {180000, 1500, 0, 0}, {270000, 2000, 0, 0}},
        {});
    const nlohmann::ordered_json json = CabMotionJson(MoveCab(scene, recorder));
    EXPECT_EQ(json.dump(), "[{\"gauge\":0,\"drive\":\"entry\",\"rest\":\"\",\"angle\":[[0,3],90]},"
                           "{\"gauge\":1,\"drive\":\"entry\",\"rest\":\"\",\"angle\":[[0,3],90]}]");
}

TEST(CabView, ADialTakesTheConventionOfTheFirstNeedleOnItsEntriesThatTurnsOneDegreePerThousand) {
    const Panel panel = MakePanel({Spec("ats30", {-120.0, 120.0, 0.0, 1000.0, false}),
                                   Spec("ats31", {-180.0, 180.0, 0.0, 360000.0, false}, 5),
                                   Spec("ats32", kUpClockwise, 0),
                                   Spec("ats40", {360.0, 0.0, 0.0, 360000.0, false})});
    const CabScene scene = BuildCabScene(panel.file, panel.pictures);
    const auto oval = ConventionOfEntries(scene, {30, 31, 32});
    ASSERT_TRUE(oval.has_value());
    EXPECT_NEAR(oval->zeroDegrees, 90.0, 1e-9); // ats31 comes first in the file: down
    const auto anticlockwise = ConventionOfEntries(scene, {40});
    ASSERT_TRUE(anticlockwise.has_value());
    EXPECT_EQ(anticlockwise->sense, -1);
    EXPECT_FALSE(ConventionOfEntries(scene, {30}).has_value()); // turns otherwise
    EXPECT_FALSE(ConventionOfEntries(scene, {50}).has_value()); // no needle
}

// A real oval gauge of four images replayed through the plug-in: the image that is not drawn
// on holds the parking value, StandbyAngle times 1000, and its needle stands where the host
// draws that value.
TEST(CabView, ParkedImagesStandAtTheParkingValuesAngle) {
    test::TempDir cab;
    cab.Write("Cab.ini", "[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 4\nFlattening = 0.5\n"
                         "StandbyAngle = 75\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                         "Ellipse2 = 32\nEllipse3 = 33\n");
    cab.Write("Cab.csv", "0,0\n400,300\n");
    Scenario scenario =
        Scenario::Parse("time,bc\n0,0\n1000,100\n2000,200\n3000,300\n4000,400\n", "run.csv", {});
    DialRecorder recorder;
    Replay(cab / "Cab.dll", scenario, true, {&recorder});

    std::vector<NeedleSpec> needles;
    for (int entry = 30; entry <= 33; ++entry) {
        needles.push_back(
            Spec("ats" + std::to_string(entry), {-180.0, 180.0, 0.0, 360000.0, false}));
    }
    const Panel panel = MakePanel(needles);
    const std::vector<CabNeedleMotion> motion =
        MoveCab(BuildCabScene(panel.file, panel.pictures), recorder);
    ASSERT_EQ(motion.size(), 4u);
    const double parked = -180.0 + 75.0; // the value 75000 on this mapping
    std::vector<bool> drawnOn(4, false);
    for (std::size_t f = 0; f < recorder.times().size(); ++f) {
        int parkedNeedles = 0;
        for (std::size_t n = 0; n < 4; ++n) {
            EXPECT_EQ(motion[n].gauge, 0);
            if (std::abs(motion[n].angles[f] - parked) < 1e-9) {
                ++parkedNeedles;
            } else {
                drawnOn[n] = true;
            }
        }
        EXPECT_GE(parkedNeedles, 3) << "frame " << f;
    }
    // The run drew on more than one image.
    EXPECT_GE(std::count(drawnOn.begin(), drawnOn.end(), true), 2);
}

} // namespace
} // namespace mirevane::tool
