// Needle angles become panel entries in thousandths of a degree, truncated toward zero.
#include "plugin/panel_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mirevane {
namespace {

constexpr int32_t kInvalid = std::numeric_limits<int32_t>::min();

struct PanelCase {
    double angle;
    int32_t expected;
};

class PanelValue : public testing::TestWithParam<PanelCase> {};

TEST_P(PanelValue, TruncatesTowardZero) {
    EXPECT_EQ(ToPanelValue(GetParam().angle), GetParam().expected) << GetParam().angle;
}

INSTANTIATE_TEST_SUITE_P(
    Angles, PanelValue,
    testing::Values(PanelCase{123.4567, 123456}, PanelCase{-1.2345, -1234}, PanelCase{-0.0009, 0},
                    PanelCase{0.0009, 0}, PanelCase{180.0, 180000}, PanelCase{-0.0, 0},
                    // the edges of the 32-bit range
                    PanelCase{2147483.647, 2147483647}, PanelCase{-2147483.647, -2147483647},
                    PanelCase{2147483.6479, 2147483647}, PanelCase{2147483.648, kInvalid},
                    PanelCase{-2147483.6489, kInvalid}, PanelCase{2147483.6475, 2147483647},
                    PanelCase{-2147483.6485, std::numeric_limits<int32_t>::min()},
                    PanelCase{2147483.64800001, kInvalid}, PanelCase{1e300, kInvalid},
                    PanelCase{-1e300, kInvalid},
                    PanelCase{std::numeric_limits<double>::infinity(), kInvalid},
                    PanelCase{-std::numeric_limits<double>::infinity(), kInvalid},
                    PanelCase{std::nan(""), kInvalid}));

} // namespace
} // namespace mirevane
