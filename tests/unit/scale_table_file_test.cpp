// The scale table file: which lines give calibration points, how lines end, how numbers are
// read whatever the process locale says, and how rows combine into the table.
#include "dynamics/needle_scale.h"
#include "dynamics/scale_table_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <locale>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace mirevane {
namespace {

using Table = std::vector<std::pair<double, double>>;

Table Load(const std::string& path) {
    Table table;
    LoadTableFile(path, table);
    return table;
}

// --- One line per file --------------------------------------------------------------------

struct LineCase {
    const char* line;
    std::optional<std::pair<double, double>> point; // none: the line is skipped
};

std::ostream& operator<<(std::ostream& out, const LineCase& c) {
    return out << '"' << c.line << '"';
}

const char* const kLineEnds[] = {"\n", "\r\n", ""};

class TableLineAlone
    : public testing::TestWithParam<std::tuple<LineCase, int /* index into kLineEnds */>> {};

TEST_P(TableLineAlone, AddsItsPointOrNothing) {
    const LineCase& c = std::get<0>(GetParam());
    const std::string end = kLineEnds[std::get<1>(GetParam())];
    test::TempDir folder;
    const Table table = Load(folder.Write("gauge.csv", c.line + end));
    const Table expected = c.point ? Table{*c.point} : Table{};
    EXPECT_EQ(table, expected) << "line end " << testing::PrintToString(end);
}

using P = std::pair<double, double>;
const std::nullopt_t kSkipped = std::nullopt;

// The rows of the format's line table.
INSTANTIATE_TEST_SUITE_P(
    FormatTable, TableLineAlone,
    testing::Combine(testing::Values(LineCase{"0,0", P{0, 0}}, LineCase{"100,270", P{100, 270}},
                                     LineCase{"10, 45", P{10, 45}}, LineCase{"10;45", kSkipped},
                                     LineCase{"10,45,", P{10, 45}}, LineCase{"10,,45", kSkipped},
                                     LineCase{"10,45,x", kSkipped}, LineCase{"10,45,7", P{10, 45}},
                                     LineCase{"value,angle", kSkipped}, LineCase{"", kSkipped},
                                     LineCase{"1e2,90", P{100, 90}}),
                     testing::Range(0, 3)));

// Further lines: number forms and the field rules.
INSTANTIATE_TEST_SUITE_P(
    Fields, TableLineAlone,
    testing::Combine(
        testing::Values(LineCase{"12.5 km/h,90", P{12.5, 90}}, // what follows a number is ignored
                        LineCase{"+5,-3", P{5, -3}}, LineCase{".5,1.", P{0.5, 1}},
                        LineCase{"1E2,2.5e-1", P{100, 0.25}}, LineCase{"\t7,\t 8", P{7, 8}},
                        LineCase{"7 ,8 ", P{7, 8}}, LineCase{"1.5.6,2", P{1.5, 2}},
                        LineCase{"1,2,3,4,5", P{1, 2}}, LineCase{"1,2,3x", P{1, 2}},
                        LineCase{"1,2,3,x", kSkipped}, LineCase{"1,2,,3", kSkipped},
                        LineCase{"1,2,,", kSkipped}, LineCase{",10,45", kSkipped},
                        LineCase{",", kSkipped}, LineCase{"10,", kSkipped},
                        LineCase{"10", kSkipped}, LineCase{" ,1", kSkipped},
                        LineCase{"-,1", kSkipped}, LineCase{"abc1,2", kSkipped},
                        LineCase{"1,e2", kSkipped}, LineCase{"x 10,45", kSkipped},
                        // Out of a double's range: formatted extraction reports a failure.
                        LineCase{"1e999,3", kSkipped}),
        testing::Range(0, 3)));

// --- Line ends ------------------------------------------------------------------------------

struct FileCase {
    const char* name;
    std::string bytes;
    Table table;
};

std::ostream& operator<<(std::ostream& out, const FileCase& c) {
    return out << c.name;
}

class TableFile : public testing::TestWithParam<FileCase> {};

TEST_P(TableFile, GivesTheseRows) {
    test::TempDir folder;
    EXPECT_EQ(Load(folder.Write("gauge.csv", GetParam().bytes)), GetParam().table)
        << testing::PrintToString(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TableFile,
    testing::Values(
        FileCase{"CrLfLines", "0,0\r\n50,100\r\n100,150\r\n", {{0, 0}, {50, 100}, {100, 150}}},
        FileCase{"LastLineWithoutLineFeed", "0,0\r\n100,270", {{0, 0}, {100, 270}}},
        // The CR before the LF is not part of the row, so the trailing comma rule applies.
        FileCase{"TrailingCommaBeforeCrLf", "10,45,\r\n20,30,\r\n", {{10, 45}, {20, 30}}},
        // A CR elsewhere is part of the row: here the white space of a third field.
        FileCase{"CrAtTheEndOfTheFile", "20,30\n10,45,\r", {{20, 30}}},
        FileCase{"TwoCrBeforeTheLineFeed", "10,45,\r\r\n20,30\r\n", {{20, 30}}},
        // A lone CR does not end a line: "45\r20" reads as 45 and 30 is a third field.
        FileCase{"LoneCr", "10,45\r20,30\n", {{10, 45}}},
        FileCase{"HeadersNotesAndBlankLines",
                 "value,angle\r\n\r\n; measured 2024-06-11\r\n0,0\r\nnote: 50 is a guess\r\n"
                 "50,100\r\n\r\n100,150\r\nend\r\n",
                 {{0, 0}, {50, 100}, {100, 150}}},
        FileCase{"RowsInAnyOrder",
                 "100,150\n0,0\n50,100\n-20,-40\n",
                 {{-20, -40}, {0, 0}, {50, 100}, {100, 150}}},
        FileCase{"ALaterEqualValueReplaces",
                 "50,100\n0,0\n70,1\n50,120\n",
                 {{0, 0}, {50, 120}, {70, 1}}},
        FileCase{"EqualValuesWrittenDifferently", "50,100\n5e1,110\n50.000,120\n", {{50, 120}}},
        // The mark stands before the first number of the first line.
        FileCase{"ByteOrderMark",
                 "\xEF\xBB\xBF"
                 "0,0\r\n100,270\r\n",
                 {{100, 270}}},
        FileCase{"ByteOrderMarkOnly", "\xEF\xBB\xBF", {}}, FileCase{"Empty", "", {}},
        FileCase{"OnlyLineFeeds", "\n\n\n", {}}));

TEST(TableFile, AMissingFileOrAFolderLeavesTheTableAsItWas) {
    test::TempDir folder;
    const Table before{{1, 2}, {3, 4}};
    Table table = before;
    LoadTableFile(folder / "missing.csv", table);
    EXPECT_EQ(table, before);
    folder.Write("sub/inside.csv", "5,6\n");
    LoadTableFile(folder / "sub", table);
    EXPECT_EQ(table, before);
}

TEST(TableFile, ASingleValidRowInterpolatesTo0) {
    test::TempDir folder;
    NeedleScale scale;
    scale.LoadTable(folder.Write("gauge.csv", "value,angle\n50,100\n10;20\n"));
    ASSERT_EQ(scale.table(), (Table{{50, 100}}));
    for (double x : {-100.0, 0.0, 50.0, 75.0}) {
        EXPECT_EQ(scale.Interpolate(x), 0.0) << x;
    }
}

// --- Number reading is immune to the process locale ---------------------------------------

const std::string kLocaleRows = "12.5,90.25\n1e2,3.5e1\n-0.5,7\n12,5,90\n";
const Table kLocaleTable{{-0.5, 7}, {12, 5}, {12.5, 90.25}, {100, 35}};

// Restores the C and C++ global locales however the test ends.
class GlobalLocales {
public:
    GlobalLocales() : cLocale_(std::setlocale(LC_ALL, nullptr)) {}
    ~GlobalLocales() {
        std::locale::global(cppLocale_);
        std::setlocale(LC_ALL, cLocale_.c_str());
    }
    GlobalLocales(const GlobalLocales&) = delete;
    GlobalLocales& operator=(const GlobalLocales&) = delete;

private:
    std::locale cppLocale_;
    std::string cLocale_;
};

struct DecimalComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(TableNumbers, AGlobalStreamLocaleWithADecimalCommaChangesNothing) {
    const GlobalLocales restore;
    std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    test::TempDir folder;
    EXPECT_EQ(Load(folder.Write("gauge.csv", kLocaleRows)), kLocaleTable);
}

TEST(TableNumbers, AProcessLocaleWithADecimalCommaChangesNothing) {
    const GlobalLocales restore;
    // Linux names, then the Windows runtime's.
    const char* const names[] = {"de_DE.UTF-8",         "de_DE.utf8",        "de_DE",
                                 "fr_FR.UTF-8",         "fr_FR.utf8",        "nl_NL.UTF-8",
                                 "German_Germany.1252", "French_France.1252"};
    const char* found = nullptr;
    for (const char* name : names) {
        if (std::setlocale(LC_ALL, name) != nullptr && std::localeconv()->decimal_point[0] == ',') {
            found = name;
            break;
        }
    }
    if (found == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed on this machine";
    }
    // The C++ global locale too, under the same name where the library knows it.
    try {
        std::locale::global(std::locale(found));
    } catch (const std::runtime_error&) {
        std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    }
    std::setlocale(LC_ALL, found);
    // The C runtime's own conversion now stops at the point: the case has teeth.
    char* end = nullptr;
    ASSERT_EQ(std::strtod("12.5", &end), 12.0) << found;

    test::TempDir folder;
    EXPECT_EQ(Load(folder.Write("gauge.csv", kLocaleRows)), kLocaleTable) << found;
}

// --- Line by line, for the diagnostics of the companion tool ------------------------------

TEST(TableLines, TellWhyALineGivesNoPoint) {
    struct Case {
        const char* line;
        TableLine::Outcome outcome;
        int badField;
    };
    for (const Case& c :
         {Case{"10,45", TableLine::kPoint, 0}, Case{"", TableLine::kTooFewFields, 0},
          Case{"10;45", TableLine::kTooFewFields, 0}, Case{"10,", TableLine::kTooFewFields, 0},
          Case{"value,angle", TableLine::kNotANumber, 1}, Case{"10,,45", TableLine::kNotANumber, 2},
          Case{"10,45,7,x", TableLine::kNotANumber, 4}}) {
        const TableLine parsed = ParseTableLine(c.line);
        EXPECT_EQ(parsed.outcome, c.outcome) << c.line;
        if (c.outcome == TableLine::kNotANumber) {
            EXPECT_EQ(parsed.badField, c.badField) << c.line;
        }
    }
}

TEST(TableLines, AreNumberedFrom1WithoutTheirLineEnds) {
    test::TempDir folder;
    const std::string path = folder.Write("gauge.csv", "value,angle\r\n10,45\n\n20,30");
    std::vector<std::pair<int, std::string>> seen;
    std::vector<TableLine::Outcome> outcomes;
    EXPECT_TRUE(
        ForEachTableLine(path, [&](int number, const std::string& line, const TableLine& parsed) {
            seen.emplace_back(number, line);
            outcomes.push_back(parsed.outcome);
        }));
    const std::vector<std::pair<int, std::string>> expected{
        {1, "value,angle"}, {2, "10,45"}, {3, ""}, {4, "20,30"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(outcomes,
              (std::vector<TableLine::Outcome>{TableLine::kNotANumber, TableLine::kPoint,
                                               TableLine::kTooFewFields, TableLine::kPoint}));
    bool called = false;
    EXPECT_FALSE(ForEachTableLine(
        folder / "missing.csv", [&](int, const std::string&, const TableLine&) { called = true; }));
    EXPECT_FALSE(called);
}

} // namespace
} // namespace mirevane
