// A problem with the tool's own input (a scenario, an argument), reported as one line that
// names the file and the line, and answered with exit status 2.
#pragma once

#include <stdexcept>
#include <string>

namespace mirevane::tool {

class InputError : public std::runtime_error {
public:
    // line 0: the problem concerns the whole file.
    InputError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                             message) {}
};

} // namespace mirevane::tool
