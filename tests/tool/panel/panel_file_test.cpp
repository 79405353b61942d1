// The panel file as the host reads it: sections and keys in any letter case, comments cut, the
// first key of a name winning, defaults kept (and noted where they stand) for values that do not
// read, text in UTF-8 or code page 932.
#include "panel/panel_file.h"

#include "common/tool_error.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace mirevane::tool {
namespace {

PanelFile Parse(const std::string& text) {
    return ParsePanelText("Train/panel2.cfg", text);
}

// A copy: the file is often a temporary that ends with the statement.
PanelElement OnlyElement(const PanelFile& file) {
    EXPECT_EQ(file.elements.size(), 1u);
    return file.elements.empty() ? PanelElement{} : file.elements.front();
}

TEST(PanelFile, ReadsANeedleWithEveryKey) {
    const PanelFile file = Parse("[This]\n"
                                 "DaytimeImage = panel.bmp\n"
                                 "NighttimeImage = night.bmp\n"
                                 "TransparentColor = #00FF00\n"
                                 "\n"
                                 "[Needle]\n"
                                 "Subject = ats20\n"
                                 "Location = 120.5, -40\n"
                                 "DaytimeImage = needles\\speed.png\n"
                                 "TransparentColor = #ff00ff\n"
                                 "Color = #80C0FF\n"
                                 "Origin = 8, 100\n"
                                 "Radius = 150\n"
                                 "InitialAngle = 0\n"
                                 "LastAngle = 360\n"
                                 "Minimum = 0\n"
                                 "Maximum = 360000\n"
                                 "Backstop = TRUE\n"
                                 "NaturalFreq = 8\n"
                                 "DampingRatio = 0.5\n"
                                 "Layer = 3\n"
                                 "Function = ats20 2 *\n");
    EXPECT_TRUE(file.problems.empty());
    EXPECT_EQ(file.folder, "Train/");
    EXPECT_EQ(file.dayImage.name, "panel.bmp");
    EXPECT_EQ(file.dayImage.spot.line, 2);
    EXPECT_EQ(file.nightImage.name, "night.bmp");
    EXPECT_EQ(file.transparentColour, (PanelColour{0, 255, 0}));
    const PanelElement& needle = OnlyElement(file);
    EXPECT_EQ(needle.kind, PanelElementKind::kNeedle);
    EXPECT_EQ(needle.section.line, 6);
    EXPECT_EQ(needle.subject.entry, 20);
    EXPECT_EQ(needle.subject.text, "ats20");
    EXPECT_EQ(needle.subjectSpot.line, 7);
    EXPECT_DOUBLE_EQ(needle.location.x, 120.5);
    EXPECT_DOUBLE_EQ(needle.location.y, -40.0);
    EXPECT_EQ(needle.dayImage.name, "needles\\speed.png"); // as written
    EXPECT_EQ(needle.transparentColour, (PanelColour{255, 0, 255}));
    EXPECT_EQ(needle.colour, (PanelColour{0x80, 0xC0, 0xFF}));
    ASSERT_TRUE(needle.origin.has_value());
    EXPECT_DOUBLE_EQ(needle.origin->y, 100.0);
    EXPECT_DOUBLE_EQ(needle.radius, 150.0);
    EXPECT_DOUBLE_EQ(needle.mapping.lastAngle, 360.0);
    EXPECT_DOUBLE_EQ(needle.mapping.maximum, 360000.0);
    EXPECT_TRUE(needle.mapping.backstop);
    EXPECT_TRUE(needle.HostDamps());
    EXPECT_EQ(needle.layer, 3);
    EXPECT_EQ(needle.function, "ats20 2 *");
    EXPECT_EQ(needle.SpotOf("radius").line, 13);
    EXPECT_EQ(needle.SpotOf("nighttimeimage").line, 6); // absent: the section's line
}

TEST(PanelFile, KeepsTheHostsDefaultsForKeysNotWritten) {
    const PanelElement& needle = OnlyElement(Parse("[Needle]\nSubject = kmph\n"));
    EXPECT_EQ(needle.subject.entry, -1);
    EXPECT_EQ(needle.subject.quantity, "kmph");
    EXPECT_DOUBLE_EQ(needle.mapping.initialAngle, -120.0);
    EXPECT_DOUBLE_EQ(needle.mapping.lastAngle, 120.0);
    EXPECT_DOUBLE_EQ(needle.mapping.minimum, 0.0);
    EXPECT_DOUBLE_EQ(needle.mapping.maximum, 1000.0);
    EXPECT_FALSE(needle.mapping.backstop);
    EXPECT_EQ(needle.transparentColour, (PanelColour{0, 0, 255}));
    EXPECT_EQ(needle.colour, (PanelColour{255, 255, 255}));
    EXPECT_FALSE(needle.origin.has_value());
    EXPECT_FALSE(needle.naturalFrequency.has_value());
    EXPECT_FALSE(needle.HostDamps());
    EXPECT_TRUE(needle.dayImage.name.empty());
}

TEST(PanelFile, ReadsTheLayoutOfTheText) {
    struct Case {
        const char* name;
        std::string text;
        double location; // Location's x of the only needle
        int line;        // where Location stands
        int column;
    };
    const Case cases[] = {
        {"comment cut from the value", "[Needle]\nLocation = 5, 6 ; the hub\n", 5, 2, 1},
        {"any letter case", "[nEEDLE]\nlOCATION = 7, 6\n", 7, 2, 1},
        {"first key of a name wins", "[Needle]\nLocation = 1, 2\nlocation = 3, 4\n", 1, 2, 1},
        {"blanks and tabs around", "  [ Needle ]  \n\t Location\t=\t9 , 8 \n", 9, 2, 3},
        {"byte order mark skipped", "\xEF\xBB\xBF[Needle]\nLocation = 4, 1\n", 4, 2, 1},
        {"CR line ends", "[Needle]\rLocation = 2, 1\r", 2, 2, 1},
        {"CRLF line ends", "; head\r\n[Needle]\r\n\r\nLocation = 3, 1\r\n", 3, 4, 1},
        {"no line end at the end", "[Needle]\nLocation = 6, 1", 6, 2, 1},
        {"keys of an unknown section skipped",
         "[Sound]\nLocation = 1, 1\n[Needle]\nLocation = 8, 1\n", 8, 4, 1},
        {"a commented-out section", ";[Needle]\n[Needle]\nLocation = 1.5, 0\n", 1.5, 3, 1},
    };
    for (const Case& c : cases) {
        const PanelFile file = Parse(c.text);
        ASSERT_EQ(file.elements.size(), 1u) << c.name;
        const PanelElement& needle = file.elements.front();
        EXPECT_DOUBLE_EQ(needle.location.x, c.location) << c.name;
        EXPECT_EQ(needle.SpotOf("location").line, c.line) << c.name;
        EXPECT_EQ(needle.SpotOf("location").column, c.column) << c.name;
        EXPECT_TRUE(file.problems.empty()) << c.name;
    }
}

TEST(PanelFile, EveryElementThatReadsASubjectInFileOrder) {
    const PanelFile file = Parse("[PilotLamp]\nSubject = ATS5\n"
                                 "[Needle]\nSubject = ats7\n"
                                 "[Stage]\nSubject = ats1\n"
                                 "[LinearGauge]\nSubject = ats8\n"
                                 "[DigitalNumber]\nSubject = ats9\n"
                                 "[DigitalGauge]\nSubject = ats10\n"
                                 "[Timetable]\n"
                                 "[Windscreen]\nSubject = ats12\n");
    const std::pair<PanelElementKind, int32_t> expected[] = {
        {PanelElementKind::kPilotLamp, 5},     {PanelElementKind::kNeedle, 7},
        {PanelElementKind::kLinearGauge, 8},   {PanelElementKind::kDigitalNumber, 9},
        {PanelElementKind::kDigitalGauge, 10}, {PanelElementKind::kTimetable, -1},
        {PanelElementKind::kWindscreen, 12},
    };
    ASSERT_EQ(file.elements.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(file.elements[i].kind, expected[i].first) << i;
        EXPECT_EQ(file.elements[i].subject.entry, expected[i].second) << i;
        EXPECT_EQ(file.elements[i].order, static_cast<int>(i));
    }
    EXPECT_STREQ(PanelElementName(PanelElementKind::kDigitalNumber), "DigitalNumber");
    EXPECT_EQ(file.elements[5].subjectSpot.line, 0);
}

TEST(PanelFile, ReadsSubjects) {
    struct Case {
        const char* text;
        int32_t entry;
        const char* quantity;
    };
    const Case cases[] = {
        {"ats0", 0, ""},
        {"ATS255", 255, ""},
        {"Ats20", 20, ""},
        {"ats", -1, "ats"},
        {"ats-1", -1, "ats-1"},
        {"ats+1", -1, "ats+1"},
        {"ats2x", -1, "ats2x"},
        {"ats 2", -1, "ats 2"},
        {"KMPH", -1, "kmph"},
        {"bc", -1, "bc"},
        {"ats99999999999", -1, "ats99999999999"},
    };
    for (const Case& c : cases) {
        const PanelElement& needle =
            OnlyElement(Parse(std::string("[Needle]\nSubject = ") + c.text));
        EXPECT_EQ(needle.subject.entry, c.entry) << c.text;
        EXPECT_EQ(needle.subject.quantity, c.quantity) << c.text;
        EXPECT_EQ(needle.subject.text, c.text);
    }
}

TEST(PanelFile, AValueThatDoesNotReadKeepsTheDefaultAndIsNoted) {
    struct Case {
        const char* line;
        int column;        // of the value
        const char* names; // what the message must name
    };
    const Case cases[] = {
        {"InitialAngle = 30deg", 16, "InitialAngle"},
        {"Maximum = 1e5", 11, "Maximum"},
        {"Minimum = 1,5", 11, "Minimum"},
        {"Radius = ", 9, "Radius"},
        {"Location = 120 200", 12, "Location"},
        {"Location = 1, 2, 3", 12, "Location"},
        {"Origin = x, 2", 10, "Origin"},
        {"Color = blue", 9, "Color"},
        {"TransparentColor = #00FF0", 20, "TransparentColor"},
        {"TransparentColor = #00GG00", 20, "TransparentColor"},
        {"Backstop = yes", 12, "Backstop"},
        {"Layer = 1.5", 9, "Layer"},
        {"NaturalFreq = fast", 15, "NaturalFreq"},
        {"   DampingRatio = -", 19, "DampingRatio"},
    };
    for (const Case& c : cases) {
        const PanelFile file = Parse(std::string("[Needle]\n") + c.line + "\n");
        ASSERT_EQ(file.problems.size(), 1u) << c.line;
        EXPECT_EQ(file.problems[0].spot.line, 2) << c.line;
        EXPECT_EQ(file.problems[0].spot.column, c.column) << c.line;
        EXPECT_NE(file.problems[0].message.find(c.names), std::string::npos)
            << file.problems[0].message;
        const PanelElement& needle = OnlyElement(file);
        const PanelElement defaults;
        EXPECT_DOUBLE_EQ(needle.mapping.initialAngle, defaults.mapping.initialAngle) << c.line;
        EXPECT_DOUBLE_EQ(needle.mapping.maximum, defaults.mapping.maximum) << c.line;
        EXPECT_DOUBLE_EQ(needle.location.x, 0.0) << c.line;
        EXPECT_FALSE(needle.origin.has_value()) << c.line;
        EXPECT_EQ(needle.colour, defaults.colour) << c.line;
        EXPECT_EQ(needle.transparentColour, defaults.transparentColour) << c.line;
        EXPECT_FALSE(needle.naturalFrequency || needle.dampingRatio) << c.line;
        EXPECT_EQ(needle.layer, 0) << c.line;
    }
    // A line without '=' in a section the host reads is noted too.
    EXPECT_EQ(Parse("[Needle]\nSubject ats20\n").problems.size(), 1u);
}

TEST(PanelFile, ReadsTheFormsOfValuesItAccepts) {
    struct Case {
        const char* line;
        double initial;
        PanelColour colour;
        bool backstop;
    };
    const Case cases[] = {
        {"InitialAngle = -30.25", -30.25, {255, 255, 255}, false},
        {"InitialAngle = +.5", 0.5, {255, 255, 255}, false},
        {"InitialAngle = 7.", 7.0, {255, 255, 255}, false},
        {"Color = #a0B1c2", -120.0, {0xA0, 0xB1, 0xC2}, false},
        {"Color = 102030", -120.0, {0x10, 0x20, 0x30}, false}, // the '#' may be left out
        {"Backstop = 1", -120.0, {255, 255, 255}, true},
        {"Backstop = False", -120.0, {255, 255, 255}, false},
        {"Backstop = tRuE", -120.0, {255, 255, 255}, true},
    };
    for (const Case& c : cases) {
        const PanelFile file = Parse(std::string("[Needle]\n") + c.line + "\n");
        EXPECT_TRUE(file.problems.empty()) << c.line;
        const PanelElement& needle = OnlyElement(file);
        EXPECT_DOUBLE_EQ(needle.mapping.initialAngle, c.initial) << c.line;
        EXPECT_EQ(needle.colour, c.colour) << c.line;
        EXPECT_EQ(needle.mapping.backstop, c.backstop) << c.line;
    }
}

TEST(PanelFile, DecodesCodePage932ToUtf8) {
    // 速度計.bmp, then 表示 and メーター whose second bytes are '\' and '[' in ASCII, with a
    // Japanese comment: none of those bytes may split a name or start a section.
    const std::string text =
        "[Needle] ; \x8c\x76\x8a\xed\n"
        "DaytimeImage = \x91\xac\x93\x78\x8c\x76.bmp ; \x90\x6a\n"
        "NighttimeImage = \x95\x5c\x8e\xa6\\\x83\x81\x81\x5b\x83\x5e\x81\x5b.png\n"
        "Location = 1, 2\n";
    const PanelFile file = Parse(text);
    const PanelElement& needle = OnlyElement(file);
    EXPECT_EQ(needle.dayImage.name, "\xE9\x80\x9F\xE5\xBA\xA6\xE8\xA8\x88.bmp");
    EXPECT_EQ(needle.nightImage.name,
              "\xE8\xA1\xA8\xE7\xA4\xBA\\\xE3\x83\xA1\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\xBC.png");
    EXPECT_DOUBLE_EQ(needle.location.y, 2.0);
    EXPECT_TRUE(file.problems.empty());
}

TEST(PanelFile, KeepsUtf8AsItIs) {
    const PanelElement& needle =
        OnlyElement(Parse("[Needle]\nDaytimeImage = \xE9\x87\x9D.png ; \xE9\x87\x9D\n"
                          "InitialAngle = x\n"));
    EXPECT_EQ(needle.dayImage.name, "\xE9\x87\x9D.png");
}

TEST(PanelFile, CountsColumnsInCharacters) {
    // A three-byte character counts as one column, as an editor shows it.
    const PanelFile file =
        Parse("[Needle]\n\xE9\x87\x9D = 1\nInitialAngle = x\nRadius = \xE9\x87\x9D\n");
    ASSERT_EQ(file.problems.size(), 2u);
    EXPECT_EQ(file.problems[1].spot.line, 4);
    EXPECT_EQ(file.problems[1].spot.column, 10);
    EXPECT_EQ(OnlyElement(file).keys.at("\xE9\x87\x9D").valueColumn, 5);
}

TEST(PanelFile, ReadingAFile) {
    test::TempDir folder;
    const std::string path = folder.Write("panel2.cfg", "[Needle]\nSubject = ats3\n");
    const PanelFile file = ReadPanelFile(path);
    EXPECT_EQ(file.path, path);
    EXPECT_EQ(file.folder, folder.path().string() + "/");
    ASSERT_EQ(file.elements.size(), 1u);
    EXPECT_EQ(file.elements[0].subject.entry, 3);
    for (const std::string& bad : {folder / "none.cfg", folder.path().string()}) {
        try {
            ReadPanelFile(bad);
            ADD_FAILURE() << bad << " read";
        } catch (const InputError& error) {
            EXPECT_NE(error.Line().find("panel-unreadable"), std::string::npos) << error.Line();
        }
    }
}

} // namespace
} // namespace mirevane::tool
