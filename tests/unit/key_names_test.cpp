// The host's key names as the developer keys are written in a profile, and the key numbers
// KeyDown delivers for them.
#include "loading/key_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace mirevane {
namespace {

struct KeyCase {
    const char* lower;
    const char* upper;
    int32_t number;
};

constexpr KeyCase kKeys[] = {
    {"s", "S", 0},   {"a1", "A1", 1}, {"a2", "A2", 2}, {"b1", "B1", 3},
    {"b2", "B2", 4}, {"c1", "C1", 5}, {"c2", "C2", 6}, {"d", "D", 7},
    {"e", "E", 8},   {"f", "F", 9},   {"g", "G", 10},  {"h", "H", 11},
    {"i", "I", 12},  {"j", "J", 13},  {"k", "K", 14},  {"l", "L", 15},
};

class KeyNameToNumberNames : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyNameToNumberNames, EveryNameGivesItsNumberInEitherLetterCase) {
    const KeyCase& key = GetParam();
    EXPECT_EQ(KeyNameToNumber(key.lower), key.number);
    EXPECT_EQ(KeyNameToNumber(key.upper), key.number);
    EXPECT_EQ(KeyNumberToName(key.number), key.upper);
}

INSTANTIATE_TEST_SUITE_P(SixteenKeys, KeyNameToNumberNames, testing::ValuesIn(kKeys));

class KeyNameToNumberOthers : public testing::TestWithParam<std::string> {};

TEST_P(KeyNameToNumberOthers, AnyOtherTextBindsNoKey) {
    EXPECT_EQ(KeyNameToNumber(GetParam()), -1);
}

INSTANTIATE_TEST_SUITE_P(
    NoKey, KeyNameToNumberOthers,
    testing::Values(
        // Empty, partial and extended names match nothing: the whole text is compared.
        "", "a", "A", "a1x", "A1X", "a3", "m", "M", "s0",
        // No trimming inside the conversion.
        " a1", "a1 ", "\ta1"));

TEST(KeyNumberToName, NumbersOfNoKeyAreWrittenAsNumbers) {
    EXPECT_EQ(KeyNumberToName(-1), "-1");
    EXPECT_EQ(KeyNumberToName(16), "16");
}

} // namespace
} // namespace mirevane
