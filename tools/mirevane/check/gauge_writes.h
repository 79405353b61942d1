// What a gauge writes into the panel for the values of its table, through the plug-in's own
// steps: its scale (the 180 degrees added), then a plain needle's entry, or an elliptic
// gauge's drawn angle on the division entry it chooses and its parking value on the others.
// Damping is left out: the needle settles on these values.
#pragma once

#include "gauges/c_mirevane.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace mirevane::tool {

struct PanelWrite {
    int32_t entry = -1; // -1: nowhere (no entry in 0..255 for it)
    int32_t value = 0;  // thousandths of a degree
};

class GaugeWrites {
public:
    GaugeWrites(const CMirevane& gauges, int32_t gauge);

    // What the gauge writes, once settled, for a value of its subject.
    PanelWrite At(double value) const;
    // The calibration points; fewer than two: the gauge writes one angle whatever the value.
    const std::vector<std::pair<double, double>>& table() const noexcept { return scale_.table(); }
    bool elliptic() const noexcept { return elliptic_; }
    // What an elliptic gauge parks an entry at (StandbyAngle, no 180 added) while it draws
    // elsewhere; nothing where that never shows: a plain gauge, or an entry that every
    // division draws on (a round dial's one entry), which the needle overwrites in the same
    // frame.
    std::optional<int32_t> ParkedOn(int32_t entry) const noexcept;

private:
    // A copy: ToAngle moves nothing outside the developer modes, which a loaded scale is not in.
    mutable NeedleScale scale_;
    CEllipseGauge ellipse_;
    bool elliptic_ = false;
    int32_t needle_ = -1;
};

// A stretch of a gauge's values, both ends included.
struct ValueRun {
    double from = 0.0;
    double to = 0.0;
};

// The stretches of the values the table covers (first point to last) for which `holds` is
// true of what the gauge writes. Each end is found to a millionth of the table's span; a
// stretch narrower than a tenth of a degree of the table's angles can be missed.
std::vector<ValueRun> RunsWhere(const GaugeWrites& writes,
                                const std::function<bool(const PanelWrite&)>& holds);

} // namespace mirevane::tool
