// A long series reduced to what a picture of it can show: per pixel column the lowest and the
// highest value and when each came, so no peak is lost, in memory that does not grow with the
// number of frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace mirevane::tool {

class ColumnDecimator {
public:
    struct Point {
        int64_t time; // ms on the run's time axis
        double value;
    };

    explicit ColumnDecimator(std::size_t columns) : columns_(columns) {}

    // A sample of frame `frame` at `time` falling in pixel column `column`. A non-finite
    // value marks a gap: the curve breaks after that column.
    void Add(std::size_t column, std::size_t frame, int64_t time, double value) noexcept;

    // In time order: per column its extreme samples (one point when they are one sample);
    // a point with a NaN value stands for a gap.
    std::vector<Point> Points() const;

    // Over every finite sample; lo > hi when there was none.
    double lo() const noexcept { return lo_; }
    double hi() const noexcept { return hi_; }

private:
    struct Extreme {
        std::size_t frame;
        int64_t time;
        double value;
    };
    struct Column {
        bool any = false; // a finite sample
        bool gap = false; // a non-finite one
        Extreme min{};
        Extreme max{};
    };

    std::vector<Column> columns_;
    double lo_ = std::numeric_limits<double>::infinity();
    double hi_ = -std::numeric_limits<double>::infinity();
};

} // namespace mirevane::tool
