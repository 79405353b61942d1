// The order of length an elliptic gauge's needle images must keep: its divisions use them
// longest first (Ellipse0) to shortest (the last division), so each measured image must be
// shorter than the one before it.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace mirevane::tool {

// reaches: the length of each division's image in division order; nothing where an image
// could not be measured, which is passed over. Returns the pairs (earlier, later) of
// neighbouring measured divisions whose later image reaches as far as the earlier or farther.
std::vector<std::pair<std::size_t, std::size_t>>
LengthOrderBreaks(const std::vector<std::optional<double>>& reaches);

} // namespace mirevane::tool
