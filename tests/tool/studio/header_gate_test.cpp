// When a request's header is whole, and when it is refused: its blank line, its size and the
// time it took, a row per case.
#include "studio/header_gate.h"

#include <gtest/gtest.h>

#include <string>

namespace mirevane::tool {
namespace {

const std::string kHeader = "GET /api/view HTTP/1.1\r\nHost: 127.0.0.1:8765\r\n\r\n";

// A header of exactly `bytes` bytes, blank line included.
std::string HeaderOf(std::size_t bytes) {
    const std::string start = "GET / HTTP/1.1\r\nX-Pad: ";
    return start + std::string(bytes - start.size() - 4, 'a') + "\r\n\r\n";
}

struct Row {
    const char* what;
    std::string received;
    std::size_t assessedBytes;
    double waitedSeconds;
    HeaderState state;
    std::size_t bytes;
};

TEST(HeaderGate, EachRowAssessed) {
    const Row rows[] = {
        {"whole", kHeader, 0, 0.0, HeaderState::Whole, kHeader.size()},
        {"a body after it is not the header's", kHeader + "{\"gauge\": 0}", 0, 0.0,
         HeaderState::Whole, kHeader.size()},
        {"the next request after it is not the header's", kHeader + kHeader, 0, 0.0,
         HeaderState::Whole, kHeader.size()},
        {"one line so far", "GET / HTTP/1.1\r\n", 0, 1.0, HeaderState::Waiting, 0},
        {"nothing yet", "", 0, 4.9, HeaderState::Waiting, 0},
        {"five seconds without its end", "GET / HTTP/1.1\r\nX-Slow: 1\r\n", 0, 5.0,
         HeaderState::TooSlow, 0},
        {"a silent connection", "", 0, 5.0, HeaderState::TooSlow, 0},
        {"whole when looked at late", kHeader, 0, 7.0, HeaderState::Whole, kHeader.size()},
        {"line feeds alone end nothing", "GET / HTTP/1.1\n\n", 0, 0.0, HeaderState::Waiting, 0},
        {"64 kB whole", HeaderOf(kMostHeaderBytes), 0, 0.0, HeaderState::Whole, kMostHeaderBytes},
        {"a byte over 64 kB", HeaderOf(kMostHeaderBytes + 1), 0, 0.0, HeaderState::TooLarge, 0},
        {"64 kB of lines without an end", std::string(kMostHeaderBytes, 'a'), 0, 0.0,
         HeaderState::TooLarge, 0},
        {"the blank line begun before the last look", kHeader, kHeader.size() - 2, 0.0,
         HeaderState::Whole, kHeader.size()},
        {"the blank line three bytes into the last look", kHeader, kHeader.size() - 1, 0.0,
         HeaderState::Whole, kHeader.size()},
    };
    for (const Row& row : rows) {
        const HeaderProgress progress =
            AssessHeader(row.received, row.assessedBytes, row.waitedSeconds);
        EXPECT_EQ(progress.state, row.state) << row.what;
        EXPECT_EQ(progress.bytes, row.bytes) << row.what;
    }
}

// A header that arrives a byte at a time is whole at its last byte, and not before.
TEST(HeaderGate, ByteAtATimeWholeAtItsLastByte) {
    std::size_t assessed = 0;
    for (std::size_t n = 1; n <= kHeader.size(); ++n) {
        const HeaderProgress progress = AssessHeader(kHeader.substr(0, n), assessed, 0.0);
        assessed = n;
        EXPECT_EQ(progress.state, n == kHeader.size() ? HeaderState::Whole : HeaderState::Waiting)
            << n;
    }
}

} // namespace
} // namespace mirevane::tool
