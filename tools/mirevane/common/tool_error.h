// A problem with the tool's own input (a scenario, an argument, an output path), answered with
// exit status 2 and reported as one diagnostic line that an editor can jump to.
#pragma once

#include "common/diagnostic_line.h"
#include "common/diagnostics.h"

#include <stdexcept>
#include <string>

namespace mirevane::tool {

class InputError : public std::runtime_error {
public:
    // line 0: the problem concerns the whole file; column 0: no particular column.
    InputError(std::string file, int line, int column, std::string message, const std::string& code)
        : std::runtime_error(message), file_(std::move(file)), line_(line), column_(column),
          kind_(DiagnosticOf(code)) {}

    std::string Line() const {
        return DiagnosticLine({file_, line_, column_, kind_.severity, what(), kind_.code});
    }

private:
    std::string file_;
    int line_;
    int column_;
    const DiagnosticKind& kind_;
};

} // namespace mirevane::tool
