// Who may talk to the studio: the server is a door into the user's machine, so every request
// must carry the token printed in the address, name this machine's loopback address and port
// as its Host (a page of another site that rebinds its name to 127.0.0.1 does not), and every
// request that changes anything must come from the studio's own page (its Origin).
#pragma once

#include <cstddef>
#include <string>

namespace mirevane::tool {

struct RequestFacts {
    std::string method;
    std::string host;   // the Host header
    std::string origin; // the Origin header; empty when absent
    std::string token;  // the X-Mirevane-Token header, or the token= of the query
    bool hasOrigin = false;
};

struct Verdict {
    int status = 0; // 0: admitted; otherwise the HTTP status of the refusal
    std::string message;
};

Verdict Admit(const RequestFacts& request, const std::string& token, int port);

// A fresh token: 256 bits from the system's random source, as hex.
std::string NewToken();

// The largest request body the studio reads (a table of some thousand rows fits).
constexpr std::size_t kMostRequestBytes = 256 * 1024;
// The most a request's body may take on the wire, its chunk framing included: the largest body
// fits in chunks of 16 bytes or more, and no line of a framing grows without bound.
constexpr std::size_t kMostBodyWireBytes = 2 * kMostRequestBytes;

} // namespace mirevane::tool
