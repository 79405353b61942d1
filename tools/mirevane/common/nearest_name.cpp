#include "common/nearest_name.h"

#include "config/text.h"

#include <algorithm>

namespace mirevane::tool {
namespace {

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::string NearestName(const std::string& name, const std::vector<std::string>& known) {
    const std::string lower = LowerAscii(name);
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& candidate : known) {
        const std::string other = LowerAscii(candidate);
        std::size_t distance = EditDistance(lower, other);
        // A name cut short or run on (NaturalFrequency for NaturalFreq) counts as near.
        const std::size_t shorter = std::min(lower.size(), other.size());
        if (shorter >= 4 && (lower.compare(0, shorter, other, 0, shorter) == 0)) {
            distance = std::min<std::size_t>(distance, 1);
        }
        if (best.empty() || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    const std::size_t allowed = std::max<std::size_t>(2, lower.size() / 3);
    return bestDistance <= allowed ? best : "";
}

} // namespace mirevane::tool
