// The typed readers: the variable's current value is the default, doubles change only when
// their whole text converts, and "." is the decimal point whatever the process locale says.
#include "config/profile_access.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string>

namespace mirevane {
namespace {

class ProfileAccess : public testing::Test {
protected:
    test::TempDir folder;
    const std::string path =
        folder.Write("gauge.ini", "[Vibration]\nPeriod=2.5\nAmplitude=2.5 m\nEmpty=\n"
                                  "[Advanced]\nMaxArrayIndex=-1\nBig=2147483648\nHex=0xFFFFFFFF\n"
                                  "[SubjectKey]\nSubject=\nLong=" +
                                      std::string(300, 'x') + "\n");
    const std::string absent = folder / "absent.ini";
};

TEST_F(ProfileAccess, DoubleChangesOnlyWhenTheWholeTextConverts) {
    const struct {
        const char* text;
        double expected; // 99 where the previous value must stay
    } cases[] = {
        {"2.5", 2.5},  {"-0.5e1", -5.0}, {"  2.5\t", 2.5}, {"3", 3.0}, {"\"1.25\"", 1.25},
        {"2.5 m", 99}, {"1,5", 99},      {"abc", 99},      {"", 99},   {"2.5.1", 99},
    };
    std::string profile = "[D]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        profile += "k" + std::to_string(i) + "=" + cases[i].text + "\n";
    }
    const std::string doubles = folder.Write("doubles.ini", profile);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        double value = 99;
        ReadProfileDouble(doubles, "D", "k" + std::to_string(i), value);
        EXPECT_EQ(value, cases[i].expected) << '"' << cases[i].text << '"';
    }
    double value = 99;
    ReadProfileDouble(doubles, "D", "absent", value);
    EXPECT_EQ(value, 99);
}

TEST_F(ProfileAccess, IntegerIsTakenAsSigned) {
    int32_t value = 7;
    ReadProfileInt(path, "Advanced", "MaxArrayIndex", value);
    EXPECT_EQ(value, -1);
    ReadProfileInt(path, "Advanced", "Big", value);
    EXPECT_EQ(value, std::numeric_limits<int32_t>::min());
    ReadProfileInt(path, "Advanced", "Hex", value);
    EXPECT_EQ(value, -1);
}

TEST_F(ProfileAccess, MissingKeyKeepsTheCurrentValue) {
    int32_t number = -123456;
    std::string text = "kmph";
    double real = 180;
    ReadProfileInt(path, "Advanced", "Missing", number);
    ReadProfileText(path, "SubjectKey", "Missing", text);
    ReadProfileDouble(path, "Vibration", "Missing", real);
    EXPECT_EQ(number, -123456);
    EXPECT_EQ(text, "kmph");
    EXPECT_EQ(real, 180);
}

TEST_F(ProfileAccess, MissingFileKeepsEveryValue) {
    int32_t number = 12;
    std::string text = "kmph";
    double real = 0.25;
    ReadProfileInt(absent, "Advanced", "MaxArrayIndex", number);
    ReadProfileText(absent, "SubjectKey", "Subject", text);
    ReadProfileDouble(absent, "Vibration", "Period", real);
    EXPECT_EQ(number, 12);
    EXPECT_EQ(text, "kmph");
    EXPECT_EQ(real, 0.25);
}

TEST_F(ProfileAccess, EmptyTextValueEmptiesTheText) {
    std::string text = "kmph";
    ReadProfileText(path, "SubjectKey", "Subject", text);
    EXPECT_EQ(text, "");
    double real = 4;
    ReadProfileDouble(path, "Vibration", "Empty", real);
    EXPECT_EQ(real, 4);
}

TEST_F(ProfileAccess, TextIsCutTo255Characters) {
    std::string text;
    ReadProfileText(path, "SubjectKey", "Long", text);
    EXPECT_EQ(text, std::string(255, 'x'));
}

TEST_F(ProfileAccess, PaddedKeyFindsTheKeyInAnyLetterCase) {
    double real = 0;
    ReadProfileDouble(path, "VIBRATION", "period           ", real);
    EXPECT_EQ(real, 2.5);
    ReadProfileDouble(path, "vibration", "AMPLITUDE        ", real);
    EXPECT_EQ(real, 2.5); // "2.5 m" does not convert
}

// Puts the C library's numbers, for the test's lifetime, into a locale whose decimal point is
// the given text: an installed locale of one of the names, or else (not on Windows) one
// compiled into a temporary folder with localedef, defining the decimal point alone.
class NumericLocale {
public:
    NumericLocale(const std::string& point, std::initializer_list<const char*> installed,
                  const char* unicodeName)
        : point_(point) {
        for (const char* name : installed) {
            if (Use(name)) {
                return;
            }
        }
#ifdef _WIN32
        (void)unicodeName;
#else
        // A character map of the one character, and a numeric category that uses it.
        std::string bytes;
        for (const char c : point) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            bytes += hex;
        }
        folder_.Write("point.cm", "<code_set_name> POINT\n<mb_cur_max> 2\n<mb_cur_min> 1\n"
                                  "CHARMAP\n" +
                                      std::string(unicodeName) + " " + bytes + "\nEND CHARMAP\n");
        folder_.Write("point.def", "LC_NUMERIC\ndecimal_point \"" + std::string(unicodeName) +
                                       "\"\nthousands_sep \"\"\ngrouping -1\nEND LC_NUMERIC\n");
        // -c: the definition lacks the other categories on purpose.
        const std::string command = "localedef -c -i '" + (folder_ / "point.def") + "' -f '" +
                                    (folder_ / "point.cm") + "' '" + (folder_ / "point") +
                                    "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != -1) {
            setenv("LOCPATH", folder_.path().c_str(), 1);
            Use("point");
        }
#endif
    }
    ~NumericLocale() {
        std::setlocale(LC_NUMERIC, "C");
#ifndef _WIN32
        unsetenv("LOCPATH");
#endif
    }
    NumericLocale(const NumericLocale&) = delete;
    NumericLocale& operator=(const NumericLocale&) = delete;

    bool active() const {
        return active_;
    }

private:
    bool Use(const char* name) {
        active_ = std::setlocale(LC_NUMERIC, name) != nullptr &&
                  std::string(std::localeconv()->decimal_point) == point_;
        return active_;
    }

    std::string point_;
    bool active_ = false;
#ifndef _WIN32
    test::TempDir folder_;
#endif
};

TEST(ParseWholeDouble, ReadsAPointUnderADecimalCommaLocale) {
    const NumericLocale locale(",",
#ifdef _WIN32
                               {"German", "German_Germany.1252", "French"},
#else
                               {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"},
#endif
                               "<U002C>");
    if (!locale.active()) {
        GTEST_SKIP() << "no decimal-comma locale is installed and localedef could not make one";
    }
    double value = 99;
    EXPECT_TRUE(ParseWholeDouble("2.5", value));
    EXPECT_EQ(value, 2.5);
    EXPECT_TRUE(ParseWholeDouble("-0.5e1", value));
    EXPECT_EQ(value, -5.0);
    value = 99;
    EXPECT_FALSE(ParseWholeDouble("2,5", value));
    EXPECT_FALSE(ParseWholeDouble("1.000,5", value));
    EXPECT_EQ(value, 99);
}

// The Arabic decimal separator takes two bytes in UTF-8.
TEST(ParseWholeDouble, ReadsAPointUnderADecimalPointOfTwoBytes) {
    const NumericLocale locale("\xD9\xAB", {"ps_AF.UTF-8"}, "<U066B>");
    if (!locale.active()) {
        GTEST_SKIP() << "no locale with a two-byte decimal point could be had here";
    }
    double value = 99;
    EXPECT_TRUE(ParseWholeDouble("2.5", value));
    EXPECT_EQ(value, 2.5);
}

TEST(ParseWholeDouble, RefusesTextThatDoesNotConvertWhole) {
    for (const char* text : {"", "2.5 m", "1,5", "abc", ".", "-", "2.5e"}) {
        double value = 99;
        EXPECT_FALSE(ParseWholeDouble(text, value)) << '"' << text << '"';
        EXPECT_EQ(value, 99) << '"' << text << '"';
    }
}

} // namespace
} // namespace mirevane
