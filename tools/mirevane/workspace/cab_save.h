// A save of several of the cab's files, all of it or none. In order: a hidden record of the
// save in the cab's folder (`.mirevane-save`: its studio, and each file with a hash of what
// the save read there and of what it writes); beside each file its new bytes and its old ones
// under hidden names; then each file compared again with what the save read and replaced; at
// last "done" in the record, the old bytes and the record removed. A save that finds a file
// changed, or cannot replace one, puts back the files it replaced. A save cut short (the studio
// killed) is finished or undone by the next one on the cab, from the record: undone unless
// "done" was written, and never over a file that someone changed since.
#pragma once

#include "common/process_identity.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mirevane::tool {

struct Replacement {
    std::filesystem::path target;   // the real file, inside the cab's folder
    std::string shown;              // as Load names it, for messages
    std::optional<std::string> old; // what the save read there; nullopt: no file
    std::string bytes;              // what it writes there
};

class CabSave {
public:
    // cab: the cab's folder, its real path.
    CabSave(std::filesystem::path cab, std::vector<Replacement> files,
            ProcessIdentity owner = ThisProcess());
    // A save that did not complete: every file put back, the hidden files removed.
    ~CabSave();
    CabSave(const CabSave&) = delete;
    CabSave& operator=(const CabSave&) = delete;

    // Writes the record and, beside each file, its new and old bytes; throws EditRefused
    // (kSaveInProgress) while a save of a studio that may still run is in progress on the cab,
    // InputError when a file cannot be written.
    void Prepare();
    // Replaces the files one by one, each right after comparing it with what the save read.
    // Returns the files found changed (then every file is put back as it was); empty: all
    // replaced. Throws InputError when a file cannot be replaced (every file put back).
    std::vector<std::string> Replace();

private:
    void PutBack() noexcept;

    std::filesystem::path cab_;
    std::vector<Replacement> files_;
    ProcessIdentity owner_;
    std::string token_;
    bool recorded_ = false;
    bool done_ = false;
};

// Finishes or undoes the save that a studio no longer running left in the cab's folder;
// true when there was one. A record of a studio that may still run, or one that does not
// read as a record, is left alone.
bool FinishInterruptedSave(const std::filesystem::path& cab);

} // namespace mirevane::tool
