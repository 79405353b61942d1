// The studio's connections. One thread waits on every connection whose next request has not
// arrived whole and hands a request to a worker only once its header has (header_gate.h), so
// a client that sends its header slowly, or never ends it, holds a socket and at most 64 kB,
// never a worker, and the page's own requests are answered beside any number of them.
#pragma once

#include "studio/loopback_socket.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace httplib {
class TaskQueue;
}

namespace mirevane::tool {

struct Connection {
    Socket socket = kNoSocket;
    std::string received;        // read and not yet taken by a request
    std::size_t headerBytes = 0; // of the request at the front of received, once whole
    std::size_t assessedBytes = 0;
    std::chrono::steady_clock::time_point since; // when the gate began waiting for a request
};

class ConnectionGate {
public:
    // Answers the request at the front of the connection, on a worker; true when the
    // connection may carry another request.
    using Serve = std::function<bool(Connection&)>;

    ConnectionGate(Socket listener, Serve serve);
    ~ConnectionGate();
    ConnectionGate(const ConnectionGate&) = delete;
    ConnectionGate& operator=(const ConnectionGate&) = delete;

    // Until Stop; then the requests being answered are finished and every connection closed.
    void Run();
    // From any thread, or a signal handler.
    void Stop();

private:
    using Waiting = std::vector<std::shared_ptr<Connection>>;
    void Sort(Waiting& waiting, httplib::TaskQueue& workers);
    void Accept(Waiting& waiting);
    void Return(const std::shared_ptr<Connection>& connection);

    Socket listener_;
    Socket wake_;
    Serve serve_;
    std::atomic<bool> stopping_{false};
    std::mutex returnedMutex_;
    Waiting returned_; // kept connections given back by the workers
};

} // namespace mirevane::tool
