// Which process this is, in a form that outlives it: its id and the moment it started. A
// record left by a studio is then told to be of a dead studio even when the system has given
// the id to another process since, and a live studio's record is never taken for a dead one.
#pragma once

#include <optional>
#include <string>

namespace mirevane::tool {

struct ProcessIdentity {
    long long id = 0;
    long long start = 0; // in the system's own units (clock ticks since boot, FILETIME)

    bool operator==(const ProcessIdentity& other) const {
        return id == other.id && start == other.start;
    }
};

ProcessIdentity ThisProcess();

// False only when the system says that no process of this identity runs; true when it runs
// or when the system cannot tell (then nothing of it may be removed).
bool MayBeRunning(const ProcessIdentity& process);

// "ID START", as records keep it.
std::string IdentityText(const ProcessIdentity& process);
std::optional<ProcessIdentity> ReadIdentity(const std::string& text);

} // namespace mirevane::tool
