#include "check/gauge_writes.h"

#include "dynamics/angle_units.h"
#include "plugin/panel_value.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {

GaugeWrites::GaugeWrites(const CMirevane& gauges, int32_t gauge)
    : scale_(gauges.scales()[gauge]), ellipse_(gauges.ellipses()[gauge]),
      elliptic_(gauges.isElliptic()[gauge]), needle_(gauges.needlePanelIndex()[gauge]) {}

PanelWrite GaugeWrites::At(double value) const {
    const double angle = scale_.ToAngle(value);
    if (!elliptic_) {
        return {IsHostArrayIndex(needle_) ? needle_ : -1, ToPanelValue(angle)};
    }
    // As Render takes the (damped) angle: to radians, then folded for the image and bent onto
    // the oval for the direction.
    const double x = angle * kPi / 180.0;
    const int32_t entry = ellipse_.SelectedEntry(ellipse_.FoldedAngleDegrees(x));
    return {IsHostArrayIndex(entry) ? entry : -1, ToPanelValue(ellipse_.DrawnAngleDegrees(x))};
}

std::optional<int32_t> GaugeWrites::ParkedOn(int32_t entry) const noexcept {
    // Render parks the entry drawn before and then writes the chosen one: the parking stays
    // only when another division (or one without an entry) is chosen.
    const auto& divisions = ellipse_.divisionTable();
    const bool elsewhere = std::any_of(divisions.begin(), divisions.end(),
                                       [entry](const auto& d) { return d.second != entry; });
    if (!elliptic_ || !elsewhere) {
        return std::nullopt;
    }
    return ToPanelValue(ellipse_.standbyAngle());
}

std::vector<ValueRun> RunsWhere(const GaugeWrites& writes,
                                const std::function<bool(const PanelWrite&)>& holds) {
    const auto& table = writes.table();
    std::vector<ValueRun> runs;
    if (table.size() < 2) {
        return runs;
    }
    const double span = table.back().first - table.front().first;
    const auto test = [&](double value) { return holds(writes.At(value)); };
    // Where the answer changes between two values: halved until the step is a millionth of
    // the span. Returns the last value of the first answer's side, and the first of the other.
    const auto edge = [&](double lo, double hi) {
        const bool atLo = test(lo);
        while (hi - lo > span * 1e-6) {
            const double mid = lo + (hi - lo) / 2;
            (test(mid) == atLo ? lo : hi) = mid;
        }
        return std::pair{lo, hi};
    };
    // Samples along every segment of the table, a tenth of a degree of its angles apart at
    // most: only a stretch narrower than that can be missed.
    const auto stepsOf = [](const std::pair<double, double>& a,
                            const std::pair<double, double>& b) {
        const double steps = std::ceil(std::fabs(b.second - a.second) / 0.1);
        return std::isfinite(steps) ? static_cast<int>(std::clamp(steps, 64.0, 1e5)) : 64;
    };
    double previous = table.front().first;
    bool inside = test(previous);
    if (inside) {
        runs.push_back({previous, previous});
    }
    for (std::size_t i = 1; i < table.size(); ++i) {
        const double lo = table[i - 1].first;
        const double hi = table[i].first;
        const int steps = stepsOf(table[i - 1], table[i]);
        for (int k = 1; k <= steps; ++k) {
            const double value = k == steps ? hi : lo + (hi - lo) * k / steps;
            const bool now = test(value);
            if (now != inside) {
                const auto [last, first] = edge(previous, value);
                if (now) {
                    runs.push_back({first, first});
                } else {
                    runs.back().to = last;
                }
                inside = now;
            }
            if (inside) {
                runs.back().to = value;
            }
            previous = value;
        }
    }
    return runs;
}

} // namespace mirevane::tool
