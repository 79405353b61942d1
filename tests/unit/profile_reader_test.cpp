// The reading rules of the profile functions, one small profile per rule. Every case runs on
// the direct reader; the Windows build runs each one on the Windows functions as well, so the
// rules themselves are checked against the platform.
#include "platform/platform.h"
#include "platform/portable/profile_reader.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace mirevane {
namespace {

struct Reader {
    const char* name;
    uint32_t (*readInt)(const std::string&, const std::string&, const std::string&, int32_t);
    std::string (*readText)(const std::string&, const std::string&, const std::string&,
                            const std::string&);
};

void PrintTo(const Reader& reader, std::ostream* out) {
    *out << reader.name;
}

class ProfileRules : public testing::TestWithParam<Reader> {
protected:
    // A fresh file name for every profile: the Windows functions cache a file by name and
    // time stamp, and two quick writes can share a time stamp.
    std::string Profile(const std::string& bytes) {
        return folder.Write("p" + std::to_string(count++) + ".ini", bytes);
    }
    std::string Text(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& defaultText = "dflt") {
        return GetParam().readText(path, section, key, defaultText);
    }
    int32_t Int(const std::string& path, const std::string& section, const std::string& key,
                int32_t defaultValue = -7) {
        return static_cast<int32_t>(GetParam().readInt(path, section, key, defaultValue));
    }

    test::TempDir folder;
    int count = 0;
};

TEST_P(ProfileRules, ByteOrderMarkIsSkipped) {
    const std::string path = Profile("\xEF\xBB\xBF[Vibration]\nPeriod=2\n");
    EXPECT_EQ(Text(path, "Vibration", "Period"), "2");
}

TEST_P(ProfileRules, AnyRunOfCarriageReturnsAndLineFeedsEndsALine) {
    for (const char* end : {"\r\n", "\n", "\r", "\n\r", "\r\r\n\n"}) {
        const std::string e = end;
        const std::string path = Profile("[S]" + e + "a=1" + e + "b=2" + e);
        EXPECT_EQ(Text(path, "S", "a"), "1") << "line end of " << e.size() << " bytes";
        EXPECT_EQ(Text(path, "S", "b"), "2") << "line end of " << e.size() << " bytes";
    }
}

TEST_P(ProfileRules, BlanksAroundNamesAndValuesAreTrimmed) {
    const std::string path =
        Profile(" \t[ \x0bS\x0c ] \n\x1a key \x1a= \t value  with  inner  blanks \x0b\n");
    EXPECT_EQ(Text(path, "S", "key"), "value  with  inner  blanks");
    // The settings reader pads its key names with trailing blanks.
    EXPECT_EQ(Text(path, "  S ", "key              "), "value  with  inner  blanks");
}

TEST_P(ProfileRules, NamesMatchWithoutRegardToAsciiLetterCase) {
    const std::string path = Profile("[SubjectKey]\nSUBJECT=bc\n");
    EXPECT_EQ(Text(path, "subjectkey", "subject"), "bc");
    EXPECT_EQ(Text(path, "SUBJECTKEY", "Subject"), "bc");
}

TEST_P(ProfileRules, HeaderNameRunsToTheLastBracket) {
    const std::string path = Profile("[a]b] ignored\nk=1\n[Open\nj=2\n");
    EXPECT_EQ(Text(path, "a]b", "k"), "1");
    EXPECT_EQ(Text(path, "a", "k"), "dflt");
    // A '[' line without ']' is a key line: j stays in section a]b.
    EXPECT_EQ(Text(path, "a]b", "j"), "2");
    EXPECT_EQ(Text(path, "Open", "j"), "dflt");
}

TEST_P(ProfileRules, KeyLineSplitsAtTheFirstEquals) {
    const std::string path = Profile("[S]\nk=a=b\nbare\n=nameless\n");
    EXPECT_EQ(Text(path, "S", "k"), "a=b");
    EXPECT_EQ(Text(path, "S", "k=a"), "dflt");
    // A line without '=' is a key without a value: its lookup gives the default.
    EXPECT_EQ(Text(path, "S", "bare"), "dflt");
    EXPECT_EQ(Int(path, "S", "bare"), -7);
    // An empty key name finds only a key line that starts with '='.
    EXPECT_EQ(Text(path, "S", ""), "nameless");
    EXPECT_EQ(Text(Profile("[S]\nk=1\n"), "S", ""), "dflt");
}

TEST_P(ProfileRules, SemicolonsAndHashesAreNotComments) {
    const std::string path = Profile("[S]\n;x=1\n#y=2\nk=10 ; note\n");
    EXPECT_EQ(Text(path, "S", ";x"), "1");
    EXPECT_EQ(Text(path, "S", "#y"), "2");
    EXPECT_EQ(Text(path, "S", "k"), "10 ; note");
    EXPECT_EQ(Int(path, "S", "k"), 10);
}

TEST_P(ProfileRules, FirstKeyAndFirstSectionOfANameWin) {
    const std::string path = Profile("[S]\nk=1\nK=2\n[T]\nk=3\n[s]\nk=4\nlater=5\n");
    EXPECT_EQ(Text(path, "S", "k"), "1");
    EXPECT_EQ(Text(path, "T", "k"), "3");
    EXPECT_EQ(Text(path, "S", "later"), "dflt");
}

TEST_P(ProfileRules, KeysAboveTheFirstHeaderBelongToTheUnnamedSection) {
    const std::string path = Profile("top=1\n[S]\nk=2\n");
    EXPECT_EQ(Text(path, "", "top"), "1");
    EXPECT_EQ(Text(path, "S", "top"), "dflt");
}

TEST_P(ProfileRules, OnePairOfMatchingQuotesIsRemoved) {
    const struct {
        const char* value;
        const char* text;
    } cases[] = {{"\"abc\"", "abc"},     {"'abc'", "abc"},    {"\" padded \"", " padded "},
                 {"\"\"", ""},           {"\"", "\""},        {"\"abc'", "\"abc'"},
                 {"\"\"x\"\"", "\"x\""}, {"x\"y\"", "x\"y\""}};
    for (const auto& c : cases) {
        const std::string path = Profile(std::string("[S]\nk=") + c.value + "\n");
        EXPECT_EQ(Text(path, "S", "k"), c.text) << c.value;
    }
}

TEST_P(ProfileRules, EmptyValueGivesEmptyTextButTheDefaultInteger) {
    const std::string path = Profile("[S]\nk=   \nq=\"\"\n");
    EXPECT_EQ(Text(path, "S", "k"), "");
    EXPECT_EQ(Int(path, "S", "k"), -7);
    EXPECT_EQ(Int(path, "S", "q"), -7);
}

TEST_P(ProfileRules, TextIsCutTo255Characters) {
    std::string value;
    for (int i = 0; i < 300; ++i) {
        value += static_cast<char>('0' + i % 10);
    }
    const std::string path = Profile("[S]\nk=" + value + "\nq=\"" + value + "\"\n");
    EXPECT_EQ(Text(path, "S", "k"), value.substr(0, 255));
    EXPECT_EQ(Text(path, "S", "q"), value.substr(0, 255));
    EXPECT_EQ(Text(path, "S", "absent", value), value.substr(0, 255));
}

TEST_P(ProfileRules, MissingFileSectionOrKeyGivesTheDefault) {
    const std::string path = Profile("[S]\nk=1\n");
    EXPECT_EQ(Text(folder / "absent.ini", "S", "k"), "dflt");
    EXPECT_EQ(Int(folder / "absent.ini", "S", "k"), -7);
    EXPECT_EQ(Text(folder.path().string(), "S", "k"), "dflt"); // a directory
    EXPECT_EQ(Text(path, "T", "k"), "dflt");
    EXPECT_EQ(Int(path, "S", "j"), -7);
}

TEST_P(ProfileRules, DefaultLosesTrailingSpacesThenOnePairOfQuotes) {
    const std::string path = Profile("[S]\nk=1\n");
    EXPECT_EQ(Text(path, "S", "absent", "kmph   "), "kmph");
    EXPECT_EQ(Text(path, "S", "absent", "   "), " "); // the first character stays
    EXPECT_EQ(Text(path, "S", "absent", "tab\t"), "tab\t");
    EXPECT_EQ(Text(path, "S", "absent", "\"kmph\"  "), "kmph");
    EXPECT_EQ(Text(folder / "absent.ini", "S", "k", "'kmph'"), "kmph");
}

// The table of integer readings in the platform notes.
TEST_P(ProfileRules, IntegerTextsReadAsThePlatformReadsThem) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {" 42", 42},
        {"\t8", 8},
        {"+7", 7},
        {"-5", -5},
        {"0x1F", 31},
        {"0b101", 5},
        {"0o17", 15},
        {"abc", 0},
        {"0x", 0},
        {"- 5", 0},
        {"4294967297", 1},
        {"0xFFFFFFFF", -1},
        {"-1", -1},
        {"\"33\"", 33},
        {"0X1F", 0},
        {"012", 12},
        {"12abc", 12},
        {"3.7", 3},
        {"1e3", 1},
        {"99999999999", 1215752191},
        {"2147483648", -2147483648},
        {"10 ; note", 10},
    };
    std::string profile = "[Int]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        profile += "n" + std::to_string(i) + "=" + cases[i].text + "\n";
    }
    const std::string path = Profile(profile);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Int(path, "Int", "n" + std::to_string(i)), cases[i].value) << cases[i].text;
    }
}

TEST_P(ProfileRules, IntegerTextIsCutTo29Characters) {
    const std::string path =
        Profile("[S]\nk=" + std::string(28, '0') + "5\nj=" + std::string(29, '0') + "5\n");
    EXPECT_EQ(Int(path, "S", "k"), 5);
    EXPECT_EQ(Int(path, "S", "j"), 0);
}

const Reader kPortable{"Portable", portable::ProfileInt, portable::ProfileText};
#ifdef _WIN32
const Reader kWindows{"Windows", platform::ProfileInt, platform::ProfileText};
INSTANTIATE_TEST_SUITE_P(Readers, ProfileRules, testing::Values(kPortable, kWindows),
                         [](const testing::TestParamInfo<Reader>& info) {
                             return std::string(info.param.name);
                         });
#else
INSTANTIATE_TEST_SUITE_P(Readers, ProfileRules, testing::Values(kPortable),
                         [](const testing::TestParamInfo<Reader>& info) {
                             return std::string(info.param.name);
                         });
#endif

} // namespace
} // namespace mirevane
