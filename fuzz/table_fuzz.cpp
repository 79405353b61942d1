// The scale table reader on any file. The calibration table it fills must equal a plain
// reading of the same bytes (lines split at LF, one CR before a LF dropped, each line parsed
// alone, later rows replacing earlier ones in an ordered map), hold strictly ascending finite
// keys, and interpolate anywhere without a fault.
#include "dynamics/needle_scale.h"
#include "dynamics/scale_table_file.h"
#include "fuzz_check.h"
#include "support/temp_dir.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirevane {
namespace {

std::map<double, double> PlainReading(std::string_view bytes) {
    std::map<double, double> points;
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        std::string line(bytes.substr(0, lf));
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const TableLine row = ParseTableLine(line);
        if (row.outcome == TableLine::kPoint) {
            points[row.value] = row.angle;
        }
        bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    }
    return points;
}

// Keeps results the checks do not look at from being optimised away.
volatile double sink = 0.0;

} // namespace
} // namespace mirevane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace mirevane;
    static const test::TempDir folder;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = folder.Write("table.csv", std::string(bytes));

    NeedleScale scale;
    scale.LoadTable(path);
    const std::vector<std::pair<double, double>>& table = scale.table();

    const std::map<double, double> expected = PlainReading(bytes);
    FUZZ_REQUIRE(table.size() == expected.size(), std::to_string(table.size()) + " points, " +
                                                      std::to_string(expected.size()) +
                                                      " expected");
    auto wanted = expected.begin();
    for (std::size_t i = 0; i < table.size(); ++i, ++wanted) {
        FUZZ_REQUIRE(std::isfinite(table[i].first), "point " + std::to_string(i));
        FUZZ_REQUIRE(i == 0 || table[i - 1].first < table[i].first, "point " + std::to_string(i));
        FUZZ_REQUIRE(table[i].first == wanted->first, "point " + std::to_string(i));
        // Bit-equal angles, NaN included: the reader only stores what the parse gave.
        FUZZ_REQUIRE(std::memcmp(&table[i].second, &wanted->second, sizeof(double)) == 0,
                     "point " + std::to_string(i));
    }

    const double probes[] = {0.0,
                             1.0,
                             -1e308,
                             1e308,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::denorm_min()};
    for (const double x : probes) {
        sink = scale.Interpolate(x);
    }
    // On a calibration point the needle shows that point's angle. Computed as
    // (a_lo - a_hi)(x - k_hi)/(k_lo - k_hi) + a_hi, which rounds three times: a few units in
    // the last place of the angles involved. Points whose products may leave the normal
    // range are not compared.
    const auto moderate = [](double x) { return std::fabs(x) < 1e150 && std::fabs(x) > 1e-150; };
    for (std::size_t i = 0; table.size() >= 2 && i < table.size(); ++i) {
        const double at = scale.Interpolate(table[i].first);
        const double angle = table[i].second;
        if (i + 1 == table.size()) {
            if (std::isfinite(table[i - 1].second - angle)) {
                FUZZ_REQUIRE(at == angle, "last point " + std::to_string(i));
            }
            continue;
        }
        const double next = table[i + 1].second;
        const double span = table[i].first - table[i + 1].first;
        if ((angle == 0 || moderate(angle)) && (next == 0 || moderate(next)) && moderate(span) &&
            (angle - next == 0 || moderate(angle - next))) {
            const double tolerance =
                8 * std::numeric_limits<double>::epsilon() * (std::fabs(angle) + std::fabs(next));
            FUZZ_REQUIRE(std::fabs(at - angle) <= tolerance, "point " + std::to_string(i));
        }
    }
    return 0;
}
