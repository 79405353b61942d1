// One request of a connection as the HTTP library reads and answers it: its header from what
// the connection gate already read, its body from the socket within a budget, so that no
// body, however framed, is read past kMostBodyWireBytes.
#pragma once

#include "studio/connection_gate.h"

#include <httplib.h>

#include <cstddef>
#include <string>

namespace mirevane::tool {

class ConnectionStream : public httplib::Stream {
public:
    explicit ConnectionStream(Connection& connection);
    // What the request did not take stays in the connection for the next one.
    ~ConnectionStream() override;
    ConnectionStream(const ConnectionStream&) = delete;
    ConnectionStream& operator=(const ConnectionStream&) = delete;

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override;

    // The request's body went past its budget, and was not read further.
    bool Overran() const { return overran_; }
    // The status of the answer written, 0 before there is one.
    int Status() const { return status_; }

private:
    Connection& connection_;
    std::size_t taken_ = 0; // bytes of connection_.received handed to the library
    std::size_t budget_;    // the most bytes of connection_.received this request may hold
    bool overran_ = false;
    int status_ = 0;
};

} // namespace mirevane::tool
