// Subjects: which texts select which source, and what each reads per frame.
#include "gauges/subject.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace mirevane {
namespace {

struct Arrays {
    std::array<int32_t, 256> panel{};
    std::array<int32_t, 256> sound{};
    Arrays() {
        for (int i = 0; i < 256; ++i) {
            panel[i] = 1000 + i;
            sound[i] = 2000 + i;
        }
    }
};

AtsVehicleState State() {
    AtsVehicleState s{};
    s.location = 1234.5;
    s.speed = -35.5f;
    s.time = 1000;
    s.bc = 1.25f;
    s.mr = 2.5f;
    s.er = 3.75f;
    s.bp = 4.5f;
    s.sap = 5.25f;
    s.current = -120.0f;
    return s;
}

double ValueOf(const std::string& text, int32_t maxArrayIndex = -1) {
    Subject subject;
    subject.Parse(text);
    if (maxArrayIndex >= 0) {
        subject.SetMaxIndex(maxArrayIndex);
    }
    const Arrays arrays;
    return subject.Value(State(), arrays.panel.data(), arrays.sound.data());
}

struct SubjectCase {
    const char* text;
    double expected;
};

class SubjectValue : public testing::TestWithParam<SubjectCase> {};

TEST_P(SubjectValue, ReadsTheSelectedSource) {
    EXPECT_EQ(ValueOf(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

// Panel entry n holds 1000 + n, sound entry n holds 2000 + n.
INSTANTIATE_TEST_SUITE_P(
    Texts, SubjectValue,
    testing::Values(
        SubjectCase{"kmph", 35.5}, SubjectCase{"KMPH", 35.5}, SubjectCase{"Kmph", 35.5},
        SubjectCase{"bc", 1.25}, SubjectCase{"mr", 2.5}, SubjectCase{"sap", 5.25},
        SubjectCase{"bp", 4.5}, SubjectCase{"er", 3.75}, SubjectCase{"am", -120.0},
        SubjectCase{"amabs", 120.0}, SubjectCase{"panel12", 1012}, SubjectCase{"Panel12", 1012},
        SubjectCase{"panel 12", 1012}, SubjectCase{"panel+12", 1012}, SubjectCase{"panel012", 1012},
        SubjectCase{"panel12abc", 1012}, SubjectCase{"panel1e2", 1100}, SubjectCase{"panel0", 1000},
        SubjectCase{"panel255", 1255}, SubjectCase{"sound3", 2003}, SubjectCase{"SOUND255", 2255},
        // refused: a point, out of range, no number
        SubjectCase{"panel12.0", 0}, SubjectCase{"panel12.5", 0}, SubjectCase{"panel256", 0},
        SubjectCase{"panel-1", 0}, SubjectCase{"panel", 0}, SubjectCase{"panelx", 0},
        SubjectCase{"soundpanel", 0}, SubjectCase{"panel1e3", 0},
        // names nothing
        SubjectCase{"null", 0}, SubjectCase{"", 0}, SubjectCase{"kmph2", 0},
        SubjectCase{" kmph", 0}, SubjectCase{"kmph ", 0}, SubjectCase{"speed", 0}));

TEST(SubjectParse, RefusedPanelTextsBecomeTheZeroQuantity) {
    Subject subject;
    subject.Parse("panel12");
    ASSERT_EQ(subject.kind(), Subject::kPanel);
    subject.Parse("panel12.5");
    EXPECT_EQ(subject.kind(), Subject::kVehicle);
    EXPECT_EQ(subject.index(), 0);
}

TEST(SubjectParse, KeepsTheCallersLetterCase) {
    const std::string text = "PANEL7";
    Subject subject;
    subject.Parse(text);
    EXPECT_EQ(text, "PANEL7");
    EXPECT_EQ(subject.index(), 7);
}

TEST(SubjectMaxIndex, BoundsReadsButNeverWidensTheParse) {
    EXPECT_EQ(ValueOf("panel12", 10), 0.0);    // parsed as entry 12, yet never read
    EXPECT_EQ(ValueOf("panel12", 12), 1012.0); // the bound is inclusive
    EXPECT_EQ(ValueOf("sound12", 11), 0.0);
    EXPECT_EQ(ValueOf("panel280", 300), 0.0); // refused at parse time
    EXPECT_EQ(ValueOf("panel255", 300), 1255.0);
}

TEST(SubjectMaxIndex, StartsAt255) {
    EXPECT_EQ(Subject{}.maxIndex(), 255);
}

TEST(SubjectValue, WidensFloatsExactly) {
    Subject subject;
    subject.Parse("bc");
    AtsVehicleState state{};
    state.bc = 0.1f; // not representable: the double must be the float's exact value
    const Arrays arrays;
    EXPECT_EQ(subject.Value(state, arrays.panel.data(), arrays.sound.data()),
              static_cast<double>(0.1f));
}

TEST(SubjectValue, NeverWritesTheArrays) {
    Subject subject;
    subject.Parse("panel3");
    const Arrays before;
    Arrays arrays;
    subject.Value(State(), arrays.panel.data(), arrays.sound.data());
    EXPECT_EQ(arrays.panel, before.panel);
    EXPECT_EQ(arrays.sound, before.sound);
}

} // namespace
} // namespace mirevane
