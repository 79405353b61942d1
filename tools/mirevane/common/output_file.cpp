#include "common/output_file.h"

#include "common/tool_error.h"

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace mirevane::tool {
namespace {

constexpr const char* kRefused = "output-refused";
constexpr const char* kUnwritable = "output-unwritable";

bool IsReplaceable(fs::file_type type) {
    return type == fs::file_type::regular || type == fs::file_type::not_found;
}

bool IsWrittenDirectly(const std::string& path, fs::file_type type) {
#ifdef _WIN32
    // NUL, CON and the like are devices in every folder, which the file system does not list:
    // open without creating or truncating anything, and ask the handle.
    const int fd = _open(path.c_str(), _O_WRONLY | _O_BINARY);
    if (fd >= 0) {
        struct _stat64 device {};
        const bool isDevice = _fstat64(fd, &device) == 0 && (device.st_mode & _S_IFCHR) != 0;
        _close(fd);
        if (isDevice) {
            return true;
        }
    }
#else
    (void)path;
#endif
    return type == fs::file_type::character || type == fs::file_type::fifo;
}

std::string Folded(std::string text) {
#ifdef _WIN32
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
#endif
    return text;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == "-" || b == "-") {
        return a == b;
    }
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    const fs::path first = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path second = fs::weakly_canonical(fs::absolute(b, error), error);
    return Folded(first.lexically_normal().string()) == Folded(second.lexically_normal().string());
}

} // namespace

std::FILE* CreateNewFile(const std::string& path) {
#ifdef _WIN32
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    return fd < 0 ? nullptr : _fdopen(fd, "wb");
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
    }
    return file;
#endif
}

void RefuseUnsafeOutput(const std::string& path, const std::string& option) {
    if (path == "-") {
        return;
    }
    std::error_code error;
    const fs::file_type type = fs::symlink_status(path, error).type();
    if (IsReplaceable(type) || IsWrittenDirectly(path, type)) {
        return;
    }
    std::string what = "is not a file the tool may write";
    if (type == fs::file_type::symlink) {
        what = "is a symbolic link: name the file it points to (the tool replaces regular files "
               "only)";
    } else if (type == fs::file_type::directory) {
        what = "is a folder: name a file";
    }
    throw InputError(path, 0, 0, option + " " + what, kRefused);
}

void RefuseOverlaps(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& reads) {
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        const NamedPath& out = outputs[o];
        for (const NamedPath& in : reads) {
            if (in.path != "-" && SameFile(out.path, in.path)) {
                throw InputError(out.path, 0, 0,
                                 out.option + " names " + in.option + " (" + in.path +
                                     "): the tool never writes over a file the run reads",
                                 kRefused);
            }
        }
        for (std::size_t p = 0; p < o; ++p) {
            if (SameFile(out.path, outputs[p].path)) {
                throw InputError(out.path, 0, 0,
                                 outputs[p].option + " and " + out.option +
                                     " name the same file: one would overwrite the other",
                                 kRefused);
            }
        }
    }
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    if (path == "-") {
#ifdef _WIN32
        // LF line ends on standard output too, as in a file.
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        file_ = stdout;
        standardOutput_ = true;
        return;
    }
    std::error_code error;
    const fs::file_status target = fs::symlink_status(path, error);
    if (IsWrittenDirectly(path, target.type())) {
        file_ = std::fopen(path.c_str(), "wb");
        if (file_ == nullptr) {
            throw InputError(path, 0, 0, "cannot open it for writing", kUnwritable);
        }
        return;
    }
    const fs::path name(path);
    for (int n = 0; n < 100 && file_ == nullptr; ++n) {
        fs::path candidate = name;
        candidate.replace_filename("." + name.filename().string() + ".mirevane-" +
                                   std::to_string(n) + ".partial");
        file_ = CreateNewFile(candidate.string());
        if (file_ != nullptr) {
            standIn_ = candidate.string();
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (file_ == nullptr) {
        throw InputError(path, 0, 0, "cannot write a file in this folder", kUnwritable);
    }
    if (target.type() == fs::file_type::regular) {
        fs::permissions(standIn_, target.permissions(), error);
    }
}

OutputFile::~OutputFile() {
    if (committed_) {
        return;
    }
    if (file_ != nullptr && !standardOutput_) {
        std::fclose(file_);
    }
    if (!standIn_.empty()) {
        std::error_code ignored;
        fs::remove(standIn_, ignored);
    }
}

void OutputFile::Fail(const std::string& why) {
    throw InputError(path_, 0, 0, "cannot write the file: " + why, kUnwritable);
}

void OutputFile::Write(const char* data, std::size_t size) {
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
        Fail("the disk may be full");
    }
}

void OutputFile::Commit() {
    if (standardOutput_) {
        committed_ = true;
        if (std::fflush(file_) != 0) {
            Fail("standard output closed");
        }
        return;
    }
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
        Fail("the disk may be full");
    }
    if (standIn_.empty()) {
        committed_ = true;
        return;
    }
    // The target may have changed kind while the run went on: still never replace a link.
    std::error_code error;
    if (!IsReplaceable(fs::symlink_status(path_, error).type())) {
        Fail("it is no longer a regular file");
    }
    fs::rename(standIn_, path_, error);
    if (error) {
        Fail(error.message());
    }
    committed_ = true;
}

} // namespace mirevane::tool
