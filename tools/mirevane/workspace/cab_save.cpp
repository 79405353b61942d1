#include "workspace/cab_save.h"

#include "common/output_file.h"
#include "common/random_hex.h"
#include "common/tool_error.h"
#include "workspace/edit_refused.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace mirevane::tool {
namespace fs = std::filesystem;
namespace {

constexpr const char* kRecordName = ".mirevane-save";
constexpr const char* kFirstLine = "mirevane-save 1";
constexpr const char* kNewBytes = ".new";
constexpr const char* kOldBytes = ".old";

// FNV-1a, 64 bits: enough to tell the bytes a save read or wrote from any others a person or a
// program left there (nobody is trying to forge them).
std::string Hash(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    static const char* const kHex = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) {
        text[static_cast<std::size_t>(i)] = kHex[h & 0xF];
    }
    return text;
}

struct RecordedFile {
    fs::path target;
    std::string oldHash; // "-": there was no file
    std::string newHash;
};

struct Record {
    ProcessIdentity owner;
    std::string token;
    std::vector<RecordedFile> files;
    bool done = false;
};

fs::path RecordPath(const fs::path& cab) {
    return cab / kRecordName;
}

// The hidden file beside the target that holds its new or old bytes during a save.
fs::path Beside(const fs::path& target, const std::string& token, const char* kind) {
    return target.parent_path() / ("." + target.filename().string() + ".mirevane-" + token + kind);
}

std::optional<std::string> ReadRegular(const fs::path& path) {
    std::error_code error;
    if (fs::symlink_status(path, error).type() != fs::file_type::regular) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) {
        return std::nullopt;
    }
    return bytes.str();
}

std::string RecordText(const fs::path& cab, const Record& record) {
    std::string text = std::string(kFirstLine) + "\nowner " + IdentityText(record.owner) +
                       "\ntoken " + record.token + "\n";
    for (const RecordedFile& f : record.files) {
        text += "file " + f.oldHash + " " + f.newHash + " " +
                f.target.lexically_relative(cab).generic_u8string() + "\n";
    }
    return text;
}

// nullopt: not a whole record, or one naming a file outside the cab's folder.
std::optional<Record> ReadRecord(const fs::path& cab) {
    const std::optional<std::string> text = ReadRegular(RecordPath(cab));
    if (!text) {
        return std::nullopt;
    }
    std::istringstream lines(*text);
    std::string line;
    if (!std::getline(lines, line) || line != kFirstLine || !std::getline(lines, line) ||
        line.rfind("owner ", 0) != 0) {
        return std::nullopt;
    }
    Record record;
    const std::optional<ProcessIdentity> owner = ReadIdentity(line.substr(6));
    if (!owner || !std::getline(lines, line) || line.rfind("token ", 0) != 0) {
        return std::nullopt;
    }
    record.owner = *owner;
    record.token = line.substr(6);
    while (std::getline(lines, line)) {
        if (line == "done") {
            record.done = true;
            continue;
        }
        std::istringstream fields(line);
        std::string word;
        RecordedFile f;
        fields >> word >> f.oldHash >> f.newHash;
        std::string name;
        std::getline(fields >> std::ws, name);
        const fs::path relative = fs::u8path(name).lexically_normal();
        if (word != "file" || name.empty() || relative.is_absolute() ||
            relative.begin()->string() == "..") {
            return std::nullopt;
        }
        f.target = cab / relative;
        record.files.push_back(f);
    }
    return record;
}

void Remove(const fs::path& path) noexcept {
    std::error_code ignored;
    fs::remove(path, ignored);
}

// The record's files as they were before the save: a file still holding what the save wrote
// takes its old bytes back (or goes, where there was none); any other file stays as it is.
// The record goes last, and only when every file is back.
void Undo(const fs::path& cab, const Record& record) noexcept {
    bool back = true;
    for (const RecordedFile& f : record.files) {
        const fs::path newBytes = Beside(f.target, record.token, kNewBytes);
        const fs::path oldBytes = Beside(f.target, record.token, kOldBytes);
        std::error_code error;
        if (fs::symlink_status(newBytes, error).type() == fs::file_type::regular) {
            Remove(newBytes); // never put in place
        } else if (const auto now = ReadRegular(f.target); now && Hash(*now) == f.newHash) {
            if (f.oldHash == "-") {
                Remove(f.target);
            } else {
                std::error_code renamed;
                fs::rename(oldBytes, f.target, renamed);
                if (renamed) {
                    back = false;
                    continue; // the old bytes stay for the next attempt
                }
            }
        }
        Remove(oldBytes);
    }
    if (back) {
        Remove(RecordPath(cab));
    }
}

// After "done": every file holds what the save wrote; only the hidden files remain to go.
void Clear(const fs::path& cab, const Record& record) noexcept {
    for (const RecordedFile& f : record.files) {
        Remove(Beside(f.target, record.token, kNewBytes));
        Remove(Beside(f.target, record.token, kOldBytes));
    }
    Remove(RecordPath(cab));
}

void WriteNew(const fs::path& path, const std::string& bytes, const fs::path& like) {
    std::FILE* file = CreateNewFile(path.string());
    if (file == nullptr) {
        throw InputError(path.string(), 0, 0, "cannot write a file in this folder",
                         "output-unwritable");
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        throw InputError(path.string(), 0, 0, "cannot write the file: the disk may be full",
                         "output-unwritable");
    }
    std::error_code error;
    const fs::file_status target = fs::status(like, error);
    if (!error && target.type() == fs::file_type::regular) {
        fs::permissions(path, target.permissions(), error);
    }
}

Record RecordOf(const std::vector<Replacement>& files, const ProcessIdentity& owner,
                const std::string& token) {
    Record record{owner, token, {}, false};
    for (const Replacement& f : files) {
        record.files.push_back({f.target, f.old ? Hash(*f.old) : "-", Hash(f.bytes)});
    }
    return record;
}

} // namespace

CabSave::CabSave(fs::path cab, std::vector<Replacement> files, ProcessIdentity owner)
    : cab_(std::move(cab)), files_(std::move(files)), owner_(owner), token_(RandomHex(2)) {}

CabSave::~CabSave() {
    PutBack();
}

void CabSave::Prepare() {
    for (const Replacement& f : files_) {
        if (f.target.string().find('\n') != std::string::npos) {
            throw EditRefused(RefusalReason::kNotReplaceable,
                              f.shown + ": a file whose name holds a line end is not saved");
        }
    }
    const std::string text = RecordText(cab_, RecordOf(files_, owner_, token_));
    const std::string record = RecordPath(cab_).string();
    std::FILE* file = CreateNewFile(record);
    if (file == nullptr && errno == EEXIST && FinishInterruptedSave(cab_)) {
        file = CreateNewFile(record);
    }
    if (file == nullptr && errno == EEXIST) {
        throw EditRefused(RefusalReason::kSaveInProgress,
                          "another save of this cab is in progress (" + record +
                              "): try again; if no studio runs on the cab, look at that file "
                              "and remove it",
                          record);
    }
    if (file == nullptr) {
        throw InputError(record, 0, 0, "cannot write a file in the cab's folder",
                         "output-unwritable");
    }
    recorded_ = true;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        throw InputError(record, 0, 0, "cannot write the file: the disk may be full",
                         "output-unwritable");
    }
    for (const Replacement& f : files_) {
        if (f.old) {
            WriteNew(Beside(f.target, token_, kOldBytes), *f.old, f.target);
        }
        WriteNew(Beside(f.target, token_, kNewBytes), f.bytes, f.target);
    }
}

std::vector<std::string> CabSave::Replace() {
    for (const Replacement& f : files_) {
        // The same file by its real path, holding what the save read: otherwise it changed
        // (its folder turned into a link, someone wrote it) and nothing is saved.
        std::error_code error;
        const bool samePlace = fs::weakly_canonical(f.target, error) == f.target && !error;
        if (!samePlace || ReadRegular(f.target) != f.old ||
            (!f.old && fs::symlink_status(f.target, error).type() != fs::file_type::not_found)) {
            PutBack();
            return {f.shown};
        }
        fs::rename(Beside(f.target, token_, kNewBytes), f.target, error);
        if (error) {
            PutBack();
            throw InputError(f.shown, 0, 0, "cannot replace the file: " + error.message(),
                             "output-unwritable");
        }
    }
    std::FILE* record = std::fopen(RecordPath(cab_).string().c_str(), "ab");
    const bool marked = record != nullptr && std::fputs("done\n", record) >= 0;
    if (record == nullptr || std::fclose(record) != 0 || !marked) {
        PutBack();
        throw InputError(RecordPath(cab_).string(), 0, 0, "cannot write the file",
                         "output-unwritable");
    }
    done_ = true;
    Clear(cab_, RecordOf(files_, owner_, token_));
    recorded_ = false;
    return {};
}

void CabSave::PutBack() noexcept {
    if (recorded_ && !done_) {
        try {
            Undo(cab_, RecordOf(files_, owner_, token_));
        } catch (...) {
            // The record stays: the next save or studio on the cab undoes it.
        }
    }
    recorded_ = false;
}

// A record made and never written: its studio was killed between the two, before any other
// file of the save existed. A live studio writes it at once, so one that stays empty for
// seconds is of a dead studio. A younger one is waited for (a kill just before a restart
// leaves one), so the next start still finds the cab as a save left it.
bool IsAbandonedEmptyRecord(const fs::path& cab) {
    constexpr auto kWritten = std::chrono::seconds(2);
    const fs::path path = RecordPath(cab);
    const auto empty = [&path] {
        std::error_code error;
        return fs::symlink_status(path, error).type() == fs::file_type::regular &&
               fs::file_size(path, error) == 0 && !error;
    };
    if (!empty()) {
        return false;
    }
    std::error_code error;
    const auto age = fs::file_time_type::clock::now() - fs::last_write_time(path, error);
    if (error) {
        return false;
    }
    if (age < kWritten) {
        std::this_thread::sleep_for(age.count() > 0 ? kWritten - age : kWritten);
    }
    return empty();
}

bool FinishInterruptedSave(const fs::path& cab) {
    if (IsAbandonedEmptyRecord(cab)) {
        Remove(RecordPath(cab));
        return true;
    }
    const std::optional<Record> record = ReadRecord(cab);
    if (!record || MayBeRunning(record->owner)) {
        return false;
    }
    if (record->done) {
        Clear(cab, *record);
    } else {
        Undo(cab, *record);
    }
    return true;
}

} // namespace mirevane::tool
