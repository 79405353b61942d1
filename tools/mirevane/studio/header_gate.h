// How long and how large a request's header may be before the studio refuses it. A header is
// read whole before a worker takes the request, so a client that sends one line every few
// seconds, or an endless header, holds nothing but its socket and this much memory.
#pragma once

#include <cstddef>
#include <string_view>

namespace mirevane::tool {

// A whole header, request line included: the page's are under 2 kB.
constexpr std::size_t kMostHeaderBytes = 64 * 1024;
// From the moment the server starts waiting for a request (a new connection, or the answer
// to the last request on a kept one) to the header's blank line.
constexpr double kMostHeaderSeconds = 5.0;

enum class HeaderState {
    Waiting,  // not whole yet, within the limits
    Whole,    // ends with its blank line within the limits
    TooLarge, // 431
    TooSlow,  // 408
};

struct HeaderProgress {
    HeaderState state = HeaderState::Waiting;
    std::size_t bytes = 0; // of a whole header, through its blank line
};

// What the bytes received so far, after waitedSeconds, make of a request's header. The first
// assessedBytes of them were assessed before and held no blank line: only what came since is
// searched, so a header that arrives a byte at a time costs no more than one that arrives whole.
HeaderProgress AssessHeader(std::string_view received, std::size_t assessedBytes,
                            double waitedSeconds);

} // namespace mirevane::tool
