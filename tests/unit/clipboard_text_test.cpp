// The text the copy key leaves on the clipboard, and the clipboard exchange behind the
// platform seam (the Windows clipboard under wine64, the in-process stand-in natively).
#include "devmode/clipboard_text.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace mirevane {
namespace {

struct TextRow {
    double angle;
    const char* text;
};

void PrintTo(const TextRow& row, std::ostream* out) {
    *out << row.text;
}

// Fixed angles and the exact texts a default-formatted stream gives them on Windows.
const TextRow kTextRows[] = {
    {0.0, "0"},
    {10.1, "10.1"},
    {-45.0, "-45"},
    {0.1 + 0.1 + 0.1, "0.3"},
    {123.4567, "123.457"},
    {270.0, "270"},
    {0.0001, "0.0001"},
    {0.00001, "1e-005"},
    {100000.0, "100000"},
    {999999.5, "1e+006"},
    {1234567.0, "1.23457e+006"},
    // Beyond the table: signs, small magnitudes, exponents that already have three digits.
    {-0.00001, "-1e-005"},
    {-1234567.0, "-1.23457e+006"},
    {1.5e-7, "1.5e-007"},
    {-2.5e-12, "-2.5e-012"},
    {999999.4, "999999"},
    {-999999.5, "-1e+006"},
    {0.00009999999, "0.0001"}, // rounds up to exponent -4: stays fixed notation
    {0.000099999, "9.9999e-005"},
    {1e100, "1e+100"},
    {-1.25e-300, "-1.25e-300"},
    {0.5, "0.5"},
    {-0.1, "-0.1"},
};

class ClipboardTextTable : public testing::TestWithParam<TextRow> {};

TEST_P(ClipboardTextTable, FormatsLikeADefaultStreamWithAThreeDigitExponent) {
    EXPECT_EQ(FormatClipboardAngle(GetParam().angle), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Rows, ClipboardTextTable, testing::ValuesIn(kTextRows));

TEST(ClipboardExchange, TheLastCopiedTextIsWhatReadsBack) {
    ASSERT_TRUE(platform::CopyTextToClipboard("first"));
    EXPECT_EQ(platform::ClipboardText(), "first");
    ASSERT_TRUE(platform::CopyTextToClipboard("-1.23457e+006"));
    EXPECT_EQ(platform::ClipboardText(), "-1.23457e+006");
    ASSERT_TRUE(platform::CopyTextToClipboard(""));
    EXPECT_EQ(platform::ClipboardText(), "");
}

} // namespace
} // namespace mirevane
