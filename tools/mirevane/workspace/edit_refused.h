// A change or a save the workspace refuses: why, in words the user is shown, and for which
// file. Each front end decides what a reason means to its own user: the studio answers with an
// HTTP status (studio/api.cpp), calibrate with a diagnostic.
#pragma once

#include <stdexcept>
#include <string>

namespace mirevane::tool {

enum class RefusalReason {
    kNoSuchGauge,         // a gauge number the cab does not have
    kNotAKey,             // a section and key the profile format does not know
    kGaugeListKey,        // [FileName] Gauge0..: adding or removing gauges is not an edit
    kBadValue,            // a value or table row no profile line or table can hold
    kOutsideTheCab,       // the file lies outside the cab's folder by its name
    kLeadsOutOfTheCab,    // inside by its name, outside through a link (or now so)
    kUnreadableByPlugin,  // named by no file, or saved as UTF-16
    kNotReplaceable,      // not a regular file, or a name a save record cannot hold
    kSaveInProgress,      // another studio is saving the cab
    kPrivateFolderFailed, // the edited cab could not be laid out for Load
};

class EditRefused : public std::runtime_error {
public:
    // file: the file refused as Load names it; empty when the refusal concerns none.
    EditRefused(RefusalReason reason, const std::string& message, std::string file = {})
        : std::runtime_error(message), reason_(reason), file_(std::move(file)) {}
    RefusalReason reason() const noexcept { return reason_; }
    const std::string& file() const noexcept { return file_; }

private:
    RefusalReason reason_;
    std::string file_;
};

} // namespace mirevane::tool
