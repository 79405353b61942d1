// A problem with the tool's own input (a scenario, an argument, an output path), answered with
// exit status 2 and reported as one diagnostic line that an editor can jump to.
#pragma once

#include "diagnostic_line.h"

#include <stdexcept>
#include <string>

namespace mirevane::tool {

class InputError : public std::runtime_error {
public:
    // line 0: the problem concerns the whole file; column 0: no particular column.
    InputError(std::string file, int line, int column, std::string message, std::string code)
        : std::runtime_error(message), file_(std::move(file)), line_(line), column_(column),
          code_(std::move(code)) {}

    std::string Line() const {
        return DiagnosticLine({file_, line_, column_, Severity::kError, what(), code_});
    }

private:
    std::string file_;
    int line_;
    int column_;
    std::string code_;
};

} // namespace mirevane::tool
