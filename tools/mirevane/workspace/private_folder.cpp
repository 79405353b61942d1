#include "workspace/private_folder.h"

#include "common/output_file.h"
#include "common/process_identity.h"
#include "common/random_hex.h"
#include "common/tool_error.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace mirevane::tool {
namespace fs = std::filesystem;
namespace {

constexpr const char* kPrefix = "mirevane-studio-";
constexpr int kWords = 2; // of 8 hex digits
constexpr std::size_t kHexDigits = 8 * kWords;
// Inside each folder: the mark, "mirevane-studio ID START" of the studio that made it.
constexpr const char* kMark = "owner";
constexpr const char* kMarkWord = "mirevane-studio ";

bool IsFolderName(const std::string& name) {
    if (name.size() != std::string(kPrefix).size() + kHexDigits || name.rfind(kPrefix, 0) != 0) {
        return false;
    }
    for (std::size_t i = name.size() - kHexDigits; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// A folder of this user, not a link (POSIX: lstat's owner; Windows: the user's own temporary
// folder holds the user's files only).
bool IsOwnFolder(const fs::path& folder) {
#ifdef _WIN32
    std::error_code error;
    return fs::symlink_status(folder, error).type() == fs::file_type::directory;
#else
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
#endif
}

bool IsOfADeadStudio(const fs::path& folder) {
    std::error_code error;
    const fs::path mark = folder / kMark;
    if (fs::symlink_status(mark, error).type() != fs::file_type::regular) {
        return false;
    }
    std::ifstream in(mark, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string line = text.str();
    if (line.rfind(kMarkWord, 0) != 0) {
        return false;
    }
    const std::optional<ProcessIdentity> owner =
        ReadIdentity(line.substr(std::string(kMarkWord).size()));
    return owner && !MayBeRunning(*owner);
}

} // namespace

int RemoveStaleFolders(const fs::path& temp) {
    int removed = 0;
    std::error_code error;
    for (fs::directory_iterator entry(temp, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path folder = entry->path();
        if (IsFolderName(folder.filename().string()) && IsOwnFolder(folder) &&
            IsOfADeadStudio(folder)) {
            std::error_code ignored;
            removed += fs::remove_all(folder, ignored) > 0;
        }
    }
    return removed;
}

PrivateFolder::PrivateFolder(const fs::path& temp) {
    RemoveStaleFolders(temp);
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = temp / (kPrefix + RandomHex(kWords));
#ifdef _WIN32
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate;
        }
#else
        // Made readable by the user only from the start: no moment where others may look in.
        if (mkdir(candidate.c_str(), 0700) == 0) {
            path_ = candidate;
        } else if (errno != EEXIST) {
            break;
        }
#endif
    }
    if (path_.empty()) {
        throw InputError(temp.string(), 0, 0, "cannot make the studio's private folder here",
                         "output-unwritable");
    }
    OutputFile mark((path_ / kMark).string());
    mark.Write(kMarkWord + IdentityText(ThisProcess()) + "\n");
    mark.Commit();
}

PrivateFolder::~PrivateFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
}

} // namespace mirevane::tool
