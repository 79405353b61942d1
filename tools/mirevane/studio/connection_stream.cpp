#ifndef MIREVANE_NO_HTTP
#include "studio/connection_stream.h"

#include "studio/request_guard.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mirevane::tool {
namespace {

// As long as the HTTP library waits for one read or write by default.
constexpr int kWaitMs = 5000;

} // namespace

ConnectionStream::ConnectionStream(Connection& connection)
    : connection_(connection), budget_(connection.headerBytes + kMostBodyWireBytes) {}

ConnectionStream::~ConnectionStream() {
    connection_.received.erase(0, taken_);
}

bool ConnectionStream::is_readable() const {
    return taken_ < connection_.received.size() || WaitReadable(connection_.socket, kWaitMs);
}

bool ConnectionStream::is_writable() const {
    return WaitWritable(connection_.socket, kWaitMs);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
    std::string& received = connection_.received;
    if (taken_ == received.size()) {
        if (received.size() >= budget_) {
            overran_ = true;
            return -1;
        }
        if (!WaitReadable(connection_.socket, kWaitMs)) {
            return -1;
        }
        char bytes[16 * 1024];
        const long got =
            ReadSome(connection_.socket, bytes, std::min(sizeof bytes, budget_ - received.size()));
        if (got <= 0) {
            return got;
        }
        received.append(bytes, static_cast<std::size_t>(got));
    }
    const std::size_t count = std::min(size, received.size() - taken_);
    std::memcpy(ptr, received.data() + taken_, count);
    taken_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    // The library writes an answer's status line and header in one piece; an interim
    // "100 Continue" is followed by the real answer.
    constexpr char kStatusLine[] = "HTTP/1.1 ";
    constexpr std::size_t kStatusAt = sizeof kStatusLine - 1;
    if ((status_ == 0 || status_ == 100) && size >= kStatusAt + 3 &&
        std::memcmp(ptr, kStatusLine, kStatusAt) == 0) {
        status_ = std::atoi(std::string(ptr + kStatusAt, 3).c_str());
    }
    if (!is_writable()) {
        return -1;
    }
    return WriteSome(connection_.socket, ptr, size);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = "127.0.0.1"; // the listener takes loopback connections only
    port = PeerPortOf(connection_.socket);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = "127.0.0.1";
    port = PortOf(connection_.socket);
}

socket_t ConnectionStream::socket() const {
    return connection_.socket;
}

} // namespace mirevane::tool
#endif
