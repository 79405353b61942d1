#include "studio/browser_opener.h"

#include "common/random_hex.h"

#include <fstream>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace mirevane::tool {
namespace {

// The address holds only [0-9a-z:/.?=], nothing HTML would read as its own.
std::string ForwardingPage(const std::string& address) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"refresh\" content=\"0;url=" +
           address +
           "\">\n<title>Mirevane studio</title></head>\n"
           "<body><p>Opening the studio: <a href=\"" +
           address + "\">" + address + "</a></p></body></html>\n";
}

#ifdef _WIN32
std::filesystem::path NewPrivateFolder() {
    // The user's temporary folder is readable by the user (and the system) alone.
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("mirevane-studio-" + RandomHex(4));
    if (!std::filesystem::create_directory(folder)) {
        throw std::runtime_error("cannot make " + folder.string());
    }
    return folder;
}

void WritePrivateFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}
#else
std::filesystem::path NewPrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mirevane-studio-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) { // 0700
        throw std::runtime_error("cannot make a folder in " + pattern);
    }
    return pattern;
}

void WritePrivateFile(const std::filesystem::path& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    // 0600 whatever the umask left of it.
    const bool written = fd >= 0 && fchmod(fd, 0600) == 0 &&
                         write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) {
        close(fd);
    }
    if (!written) {
        throw std::runtime_error("cannot write " + path.string());
    }
}
#endif

} // namespace

ForwardingFile::ForwardingFile(const std::string& address)
    : folder_(NewPrivateFolder()), path_(folder_ / "open-studio.html") {
    try {
        WritePrivateFile(path_, ForwardingPage(address));
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        throw;
    }
}

ForwardingFile::~ForwardingFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool OpenInBrowser(const std::filesystem::path& file) {
#ifdef _WIN32
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return started > 32;
#else
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    for (const int fd : {0, 1, 2}) {
        posix_spawn_file_actions_addopen(&quiet, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    std::string program = "xdg-open";
    std::string argument = file.string();
    char* arguments[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    const bool started =
        posix_spawnp(&child, program.c_str(), &quiet, nullptr, arguments, environ) == 0;
    posix_spawn_file_actions_destroy(&quiet);
    if (started) {
        // Some browsers keep xdg-open until they close; its end is collected aside.
        std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    }
    return started;
#endif
}

} // namespace mirevane::tool
