#include "studio/header_gate.h"

namespace mirevane::tool {

HeaderProgress AssessHeader(std::string_view received, std::size_t assessedBytes,
                            double waitedSeconds) {
    constexpr std::string_view kBlankLine = "\r\n\r\n";
    // A blank line may have begun in the last bytes assessed before.
    const std::size_t from =
        assessedBytes < kBlankLine.size() ? 0 : assessedBytes - (kBlankLine.size() - 1);
    const std::size_t end = received.substr(0, kMostHeaderBytes).find(kBlankLine, from);
    if (end != std::string_view::npos) {
        return {HeaderState::Whole, end + kBlankLine.size()};
    }
    if (received.size() >= kMostHeaderBytes) {
        return {HeaderState::TooLarge, 0};
    }
    if (waitedSeconds >= kMostHeaderSeconds) {
        return {HeaderState::TooSlow, 0};
    }
    return {};
}

} // namespace mirevane::tool
