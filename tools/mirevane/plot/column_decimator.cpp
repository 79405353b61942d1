#include "plot/column_decimator.h"

#include <cmath>

namespace mirevane::tool {

void ColumnDecimator::Add(std::size_t column, std::size_t frame, int64_t time,
                          double value) noexcept {
    Column& c = columns_[column];
    if (!std::isfinite(value)) {
        c.gap = true;
        return;
    }
    lo_ = std::fmin(lo_, value);
    hi_ = std::fmax(hi_, value);
    const Extreme sample{frame, time, value};
    if (!c.any) {
        c.any = true;
        c.min = sample;
        c.max = sample;
        return;
    }
    if (value < c.min.value) {
        c.min = sample;
    }
    if (value > c.max.value) {
        c.max = sample;
    }
}

std::vector<ColumnDecimator::Point> ColumnDecimator::Points() const {
    std::vector<Point> points;
    for (const Column& c : columns_) {
        if (c.any) {
            const bool minFirst = c.min.frame <= c.max.frame;
            const Extreme& a = minFirst ? c.min : c.max;
            const Extreme& b = minFirst ? c.max : c.min;
            points.push_back({a.time, a.value});
            if (b.frame != a.frame) {
                points.push_back({b.time, b.value});
            }
        }
        if (c.gap) {
            points.push_back({0, std::nan("")});
        }
    }
    return points;
}

} // namespace mirevane::tool
