#include "check/length_order.h"

namespace mirevane::tool {

std::vector<std::pair<std::size_t, std::size_t>>
LengthOrderBreaks(const std::vector<std::optional<double>>& reaches) {
    std::vector<std::pair<std::size_t, std::size_t>> breaks;
    std::optional<std::size_t> earlier;
    for (std::size_t k = 0; k < reaches.size(); ++k) {
        if (!reaches[k]) {
            continue;
        }
        if (earlier && *reaches[k] >= *reaches[*earlier]) {
            breaks.emplace_back(*earlier, k);
        }
        earlier = k;
    }
    return breaks;
}

} // namespace mirevane::tool
