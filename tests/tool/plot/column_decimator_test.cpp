// The plot's reduction of a long series to pixel columns: every column's lowest and highest
// sample survive, in time order, at most two points a column, with a break where a value was
// not finite; checked on small hand-made columns and against a brute-force pass over a long
// random series with rare spikes.
#include "plot/column_decimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace mirevane::tool {
namespace {

struct Sample {
    std::size_t column;
    double value;
};

// The samples as frames 0, 1, 2 ... at 10 ms apart; the points as "time:value" text.
std::string Decimated(const std::vector<Sample>& samples, std::size_t columns = 4) {
    ColumnDecimator d(columns);
    for (std::size_t frame = 0; frame < samples.size(); ++frame) {
        d.Add(samples[frame].column, frame, 10 * static_cast<int64_t>(frame), samples[frame].value);
    }
    std::string text;
    for (const ColumnDecimator::Point& p : d.Points()) {
        text += (text.empty() ? "" : " ") +
                (std::isnan(p.value)
                     ? std::string("gap")
                     : std::to_string(p.time) + ":" + std::to_string(static_cast<int>(p.value)));
    }
    return text;
}

TEST(ColumnDecimatorTest, EachColumnKeepsItsExtremesInTimeOrder) {
    const double nan = std::nan("");
    const struct {
        const char* name;
        std::vector<Sample> samples;
        const char* points;
    } cases[] = {
        {"nothing", {}, ""},
        {"one sample", {{1, 5}}, "0:5"},
        {"a flat column is one point", {{0, 3}, {0, 3}, {0, 3}}, "0:3"},
        {"low before high", {{0, 2}, {0, -4}, {0, 1}, {0, 9}, {0, 0}}, "10:-4 30:9"},
        {"high before low", {{0, 9}, {0, 2}, {0, -4}}, "0:9 20:-4"},
        {"the first of equal extremes", {{0, 1}, {0, 7}, {0, 7}, {0, 1}}, "0:1 10:7"},
        {"columns apart", {{0, 1}, {0, 2}, {3, 8}, {3, 6}}, "0:1 10:2 20:8 30:6"},
        {"a value that is not finite breaks the curve after its column",
         {{0, 1}, {1, 4}, {1, nan}, {1, 2}, {2, 3}},
         "0:1 10:4 30:2 gap 40:3"},
        {"a column of gaps only", {{0, 1}, {1, INFINITY}, {2, 5}}, "0:1 gap 20:5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decimated(c.samples), c.points) << c.name;
    }
}

TEST(ColumnDecimatorTest, TheRangeIsOverFiniteSamplesOnly) {
    ColumnDecimator d(2);
    EXPECT_GT(d.lo(), d.hi()); // nothing yet
    d.Add(0, 0, 0, std::nan(""));
    d.Add(1, 1, 10, -INFINITY);
    EXPECT_GT(d.lo(), d.hi());
    d.Add(1, 2, 20, -3.5);
    d.Add(0, 3, 30, 7.25);
    EXPECT_EQ(d.lo(), -3.5);
    EXPECT_EQ(d.hi(), 7.25);
}

TEST(ColumnDecimatorTest, NoPeakOfALongSeriesIsLost) {
    // 10^6 frames of a random walk in 800 columns, with a one-frame spike now and then.
    constexpr std::size_t kColumns = 800;
    constexpr std::size_t kFrames = 1000000;
    std::mt19937 random(3);
    ColumnDecimator d(kColumns);
    std::vector<double> low(kColumns, INFINITY), high(kColumns, -INFINITY);
    double walk = 0.0;
    for (std::size_t frame = 0; frame < kFrames; ++frame) {
        const std::size_t column = frame * kColumns / kFrames;
        walk += static_cast<double>(random() % 201) / 100.0 - 1.0;
        const double value = random() % 50000 == 0 ? walk + 1000.0 * (random() % 2 ? 1 : -1) : walk;
        d.Add(column, frame, static_cast<int64_t>(frame), value);
        low[column] = std::min(low[column], value);
        high[column] = std::max(high[column], value);
    }
    const std::vector<ColumnDecimator::Point> points = d.Points();
    ASSERT_LE(points.size(), 2 * kColumns);
    std::vector<std::vector<double>> kept(kColumns);
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(points[i - 1].time, points[i].time);
        }
        kept[static_cast<std::size_t>(points[i].time) * kColumns / kFrames].push_back(
            points[i].value);
    }
    for (std::size_t column = 0; column < kColumns; ++column) {
        const std::vector<double>& values = kept[column];
        ASSERT_FALSE(values.empty()) << column;
        EXPECT_EQ(*std::min_element(values.begin(), values.end()), low[column]) << column;
        EXPECT_EQ(*std::max_element(values.begin(), values.end()), high[column]) << column;
    }
    EXPECT_EQ(d.lo(), *std::min_element(low.begin(), low.end()));
    EXPECT_EQ(d.hi(), *std::max_element(high.begin(), high.end()));
}

} // namespace
} // namespace mirevane::tool
