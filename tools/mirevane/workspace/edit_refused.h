// A change or a save the studio refuses, with the HTTP status the page gets (4xx) and what it
// shows.
#pragma once

#include <stdexcept>
#include <string>

namespace mirevane::tool {

class EditRefused : public std::runtime_error {
public:
    EditRefused(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int status() const noexcept { return status_; }

private:
    int status_;
};

} // namespace mirevane::tool
