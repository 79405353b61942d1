#include "common/process_identity.h"

#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace mirevane::tool {
namespace {

#ifdef _WIN32
std::optional<long long> CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return std::nullopt;
    }
    return static_cast<long long>((static_cast<unsigned long long>(created.dwHighDateTime) << 32) |
                                  created.dwLowDateTime);
}
#else
// The start of a process in clock ticks since boot: field 22 of /proc/ID/stat, counted after
// the command name, which may itself hold blanks and parentheses. nullopt: no such process, or
// no /proc to ask (then `unknown` is set).
std::optional<long long> StartTicks(long long id, bool& unknown) {
    std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
    unknown = false;
    if (!stat) {
        std::ifstream self("/proc/self/stat");
        unknown = !self;
        return std::nullopt;
    }
    std::string line;
    std::getline(stat, line);
    const std::size_t name = line.rfind(')');
    if (name == std::string::npos) {
        unknown = true;
        return std::nullopt;
    }
    std::istringstream fields(line.substr(name + 1));
    std::string field;
    for (int n = 3; n <= 22 && fields >> field; ++n) {
        if (n == 22) {
            return std::stoll(field);
        }
    }
    unknown = true;
    return std::nullopt;
}
#endif

} // namespace

ProcessIdentity ThisProcess() {
#ifdef _WIN32
    return {static_cast<long long>(GetCurrentProcessId()),
            CreationTime(GetCurrentProcess()).value_or(0)};
#else
    const long long id = static_cast<long long>(getpid());
    bool unknown = false;
    return {id, StartTicks(id, unknown).value_or(0)};
#endif
}

bool MayBeRunning(const ProcessIdentity& process) {
#ifdef _WIN32
    HANDLE handle =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process.id));
    if (handle == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER; // the one answer "no such process"
    }
    DWORD code = 0;
    const bool exited = GetExitCodeProcess(handle, &code) && code != STILL_ACTIVE;
    const std::optional<long long> start = CreationTime(handle);
    CloseHandle(handle);
    return !exited && (!start || *start == process.start);
#else
    bool unknown = false;
    const std::optional<long long> start = StartTicks(process.id, unknown);
    return unknown || (start && *start == process.start);
#endif
}

std::string IdentityText(const ProcessIdentity& process) {
    return std::to_string(process.id) + " " + std::to_string(process.start);
}

std::optional<ProcessIdentity> ReadIdentity(const std::string& text) {
    std::istringstream in(text);
    ProcessIdentity process;
    std::string rest;
    if (!(in >> process.id >> process.start) || process.id <= 0 || (in >> rest)) {
        return std::nullopt;
    }
    return process;
}

} // namespace mirevane::tool
