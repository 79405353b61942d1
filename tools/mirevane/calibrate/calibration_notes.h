// What calibration says about its input beside the angles: a refusal (the marks or the rim
// cannot give a table that is right, so none is given) and warnings (a table is given, but
// the picture cannot support it as printed). The command prints both as diagnostics of the
// option concerned; the studio shows them beside the marks.
#pragma once

#include <stdexcept>
#include <string>

namespace mirevane::tool {

struct CalibrationNote {
    std::string option; // the command's option the note is about: "--mark", "--rim"
    std::string code;   // a code of the diagnostics registry
    std::string message;
};

class CalibrationRefused : public std::runtime_error {
public:
    explicit CalibrationRefused(CalibrationNote note)
        : std::runtime_error(note.message), note_(std::move(note)) {}
    const CalibrationNote& note() const noexcept { return note_; }

private:
    CalibrationNote note_;
};

} // namespace mirevane::tool
