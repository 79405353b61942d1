// --fps N, as run and the studio take it: the scenario's rows are key frames, N frames a
// second generated between them.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>

namespace mirevane::tool {

class FpsOption {
public:
    FpsOption() = default;
    // The option writes into this object, which therefore stays put.
    FpsOption(const FpsOption&) = delete;
    FpsOption& operator=(const FpsOption&) = delete;

    // Adds --fps to the command, in the place of the help where it is called.
    void AddTo(CLI::App* command);
    // N once parsed, or nothing when --fps was not given.
    std::optional<double> value() const;

private:
    double fps_ = 0.0;
    CLI::Option* option_ = nullptr;
};

} // namespace mirevane::tool
