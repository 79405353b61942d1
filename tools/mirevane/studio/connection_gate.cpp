#ifndef MIREVANE_NO_HTTP
#include "studio/connection_gate.h"

#include "studio/header_gate.h"

#include <httplib.h>

#include <algorithm>
#include <thread>

namespace mirevane::tool {
namespace {

using Clock = std::chrono::steady_clock;

// Requests whose header is whole are answered by this many threads; the session takes one
// request at a time anyway.
constexpr std::size_t kWorkers = 4;
// Beyond this many connections waiting for a header, the one that has waited longest is
// closed, so that a flood of connections cannot use up the studio's file handles.
constexpr std::size_t kMostWaiting = 256;

double SecondsSince(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Refuse(Connection& connection, const char* status) {
    WriteBriefly(connection.socket, std::string("HTTP/1.1 ") + status +
                                        "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    CloseSocket(connection.socket);
}

} // namespace

ConnectionGate::ConnectionGate(Socket listener, Serve serve)
    : listener_(listener), wake_(NewWakeSocket()), serve_(std::move(serve)) {}

ConnectionGate::~ConnectionGate() {
    CloseSocket(wake_);
    for (const auto& connection : returned_) {
        CloseSocket(connection->socket);
    }
}

void ConnectionGate::Stop() {
    stopping_ = true;
    Wake(wake_);
}

void ConnectionGate::Return(const std::shared_ptr<Connection>& connection) {
    connection->since = Clock::now();
    connection->headerBytes = 0;
    connection->assessedBytes = 0;
    std::lock_guard<std::mutex> lock(returnedMutex_);
    returned_.push_back(connection);
    Wake(wake_);
}

void ConnectionGate::Accept(Waiting& waiting) {
    const Socket socket = AcceptFrom(listener_);
    if (socket == kNoSocket) {
        // Out of file handles, say: the connection stays queued and the listener readable, so
        // wait a moment rather than spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return;
    }
    if (waiting.size() >= kMostWaiting) {
        const auto oldest =
            std::min_element(waiting.begin(), waiting.end(),
                             [](const auto& a, const auto& b) { return a->since < b->since; });
        Refuse(**oldest, "408 Request Timeout");
        waiting.erase(oldest);
    }
    auto connection = std::make_shared<Connection>();
    connection->socket = socket;
    connection->since = Clock::now();
    waiting.push_back(std::move(connection));
}

// Hands each connection whose header is whole to a worker and refuses those past a limit.
void ConnectionGate::Sort(Waiting& waiting, httplib::TaskQueue& workers) {
    Waiting still;
    for (auto& connection : waiting) {
        const HeaderProgress progress = AssessHeader(
            connection->received, connection->assessedBytes, SecondsSince(connection->since));
        connection->assessedBytes = connection->received.size();
        switch (progress.state) {
        case HeaderState::Waiting:
            still.push_back(std::move(connection));
            break;
        case HeaderState::Whole:
            connection->headerBytes = progress.bytes;
            workers.enqueue([this, connection] {
                if (!stopping_ && serve_(*connection)) {
                    Return(connection);
                } else {
                    CloseAfterAnswer(connection->socket);
                }
            });
            break;
        case HeaderState::TooLarge:
            Refuse(*connection, "431 Request Header Fields Too Large");
            break;
        case HeaderState::TooSlow:
            Refuse(*connection, "408 Request Timeout");
            break;
        }
    }
    waiting.swap(still);
}

void ConnectionGate::Run() {
    httplib::ThreadPool workers(kWorkers);
    Waiting waiting;
    std::vector<PollEntry> entries;
    while (!stopping_) {
        {
            std::lock_guard<std::mutex> lock(returnedMutex_);
            waiting.insert(waiting.end(), returned_.begin(), returned_.end());
            returned_.clear();
        }
        Sort(waiting, workers); // a kept connection may hold its next request already

        int timeoutMs = -1;
        entries.assign(2 + waiting.size(), PollEntry{});
        entries[0].fd = listener_;
        entries[1].fd = wake_;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            entries[2 + i].fd = waiting[i]->socket;
            const double left = kMostHeaderSeconds - SecondsSince(waiting[i]->since);
            const int leftMs = std::max(0, static_cast<int>(left * 1000) + 1);
            timeoutMs = timeoutMs < 0 ? leftMs : std::min(timeoutMs, leftMs);
        }
        for (auto& entry : entries) {
            entry.events = POLLIN;
        }
        WaitForSockets(entries.data(), entries.size(), timeoutMs);
        if (stopping_) {
            break;
        }
        if (entries[1].revents != 0) {
            DrainWake(wake_);
        }
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (entries[2 + i].revents == 0) {
                continue;
            }
            Connection& connection = *waiting[i];
            char bytes[16 * 1024];
            // Above 0: Sort has refused every connection that holds a whole 64 kB.
            const std::size_t room = kMostHeaderBytes - connection.received.size();
            const long got = ReadSome(connection.socket, bytes, std::min(sizeof bytes, room));
            if (got > 0) {
                connection.received.append(bytes, static_cast<std::size_t>(got));
            } else {
                CloseSocket(connection.socket); // the client left
                connection.socket = kNoSocket;
            }
        }
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [](const auto& c) { return c->socket == kNoSocket; }),
                      waiting.end());
        if (entries[0].revents != 0) {
            Accept(waiting);
        }
    }
    for (const auto& connection : waiting) {
        CloseSocket(connection->socket);
    }
    workers.shutdown();
}

} // namespace mirevane::tool
#endif
