#include "workspace/workspace.h"

#include "check/check.h"
#include "common/tool_error.h"
#include "common/utf16_text.h"
#include "config/text.h"
#include "platform/platform.h"
#include "profile/profile_scan.h"
#include "workspace/cab_save.h"
#include "workspace/profile_edit.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace mirevane::tool {
namespace fs = std::filesystem;
namespace {

// The file's bytes, or nullopt when there is no regular file to read.
std::optional<std::string> ReadIfPresent(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(platform::FilePath(path), error)) {
        return std::nullopt;
    }
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        return std::nullopt;
    }
    return bytes;
}

// Everything up to and including the last separator: the folder as Load joins names to it.
std::string FolderPrefix(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return;
    }
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// A name with a NUL byte stands, to the file system, for what comes before the NUL (for a
// gauge, the cab's folder): the plug-in reads nothing from it, and the studio neither lays it
// out nor writes it.
bool NamesNoFile(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// The file a name leads to, links resolved (the parts that do not exist kept as written).
fs::path RealPath(const std::string& path) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(fs::absolute(platform::FilePath(path)), error);
    return error ? fs::path() : real;
}

bool IsInside(const fs::path& real, const fs::path& folder) {
    const fs::path rel = real.lexically_relative(folder);
    return !real.empty() && !rel.empty() && rel != "." && rel.begin()->string() != "..";
}

// A file the studio may not change: outside the cab's folder, or one the plug-in cannot read.
void RefuseEditsOf(const CabFile& f) {
    if (NamesNoFile(f.path)) {
        throw EditRefused(RefusalReason::kUnreadableByPlugin,
                          "a Gauge name with a NUL byte names no file (the plug-in reads "
                          "nothing from it): the studio does not write it");
    }
    if (f.linkedOut) {
        throw EditRefused(RefusalReason::kLeadsOutOfTheCab,
                          f.path + " leads out of the cab's folder through a symbolic link (to " +
                              f.real + "): the studio does not write it",
                          f.path);
    }
    if (!f.editable) {
        throw EditRefused(RefusalReason::kOutsideTheCab,
                          f.path + " lies outside the cab's folder: the studio does not write it",
                          f.path);
    }
    if (LooksLikeUtf16(f.base)) {
        throw EditRefused(RefusalReason::kUnreadableByPlugin,
                          f.path + " is saved as UTF-16, which the plug-in cannot read: save it "
                                   "as ANSI or UTF-8 first",
                          f.path);
    }
}

// Where a save may put bytes: a regular file, or no file yet; through no link out of the cab.
fs::path WritableTarget(const fs::path& cab, const std::string& real, const std::string& shown) {
    const fs::path now = RealPath(real);
    if (!IsInside(now, cab)) {
        throw EditRefused(RefusalReason::kLeadsOutOfTheCab,
                          shown + " now leads out of the cab's folder (to " + now.string() +
                              "): nothing was saved",
                          shown);
    }
    std::error_code error;
    const fs::file_type type = fs::symlink_status(now, error).type();
    if (type != fs::file_type::regular && type != fs::file_type::not_found) {
        throw EditRefused(RefusalReason::kNotReplaceable,
                          shown + " is not a file the studio may replace: nothing was saved",
                          shown);
    }
    return now;
}

// Where the file a name leads to lies: read and saved at its real path, editable only inside
// the cab's folder by name and in fact.
void Locate(CabFile& f, bool insideByName, const fs::path& cab) {
    f.real = RealPath(f.path).string();
    f.editable = insideByName && IsInside(f.real, cab);
    f.linkedOut = insideByName && !f.editable;
}

bool FitsOnAProfileLine(const std::string& value) {
    if (value.size() > 255 || TrimBlanks(value).size() != value.size()) {
        return false;
    }
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

} // namespace

Workspace::Workspace(const std::string& pluginPath) : folder_(fs::temp_directory_path()) {
    CheckReport report = RunCheck(pluginPath);
    if (report.mainFound) {
        cab_ = RealPath(fs::path(platform::FilePath(report.mainProfile)).parent_path().string());
        if (FinishInterruptedSave(cab_)) {
            report = RunCheck(pluginPath);
        }
    }
    if (!report.mainFound) {
        throw InputError(pluginPath, 0, 0,
                         "no main profile " + report.mainProfile +
                             ": the plug-in would build no gauge (run 'mirevane check')",
                         "not-a-profile");
    }
    const fs::path cab =
        fs::absolute(fs::path(platform::FilePath(report.mainProfile)).parent_path())
            .lexically_normal();
    std::vector<std::pair<std::string, bool>> named{{report.mainProfile, false}};
    for (const GaugeSummary& g : report.gauges) {
        named.push_back({g.profile, false});
        named.push_back({g.tableFile, true});
    }
    // Files above the cab's folder keep their place relative to it: the private folder
    // nests the cab as deep as the highest of them.
    std::vector<fs::path> relative;
    std::size_t depth = 0;
    for (const auto& [path, table] : named) {
        const fs::path rel = fs::absolute(fs::path(platform::FilePath(path)))
                                 .lexically_normal()
                                 .lexically_relative(cab);
        std::size_t up = 0;
        for (const fs::path& part : rel) {
            up += part == "..";
        }
        depth = std::max(depth, up);
        relative.push_back(rel);
    }
    fs::path shadowCab = folder_.path();
    for (std::size_t i = 0; i < depth; ++i) {
        shadowCab /= "up";
    }
    shadowCab /= "cab";
    fs::create_directories(shadowCab);
    shadowPlugin_ = (shadowCab / fs::path(platform::FilePath(pluginPath)).filename()).string();
    realPrefix_ = FolderPrefix(pluginPath);

    std::map<std::string, int> byShadow;
    for (std::size_t i = 0; i < named.size(); ++i) {
        const auto& [path, table] = named[i];
        const fs::path& rel = relative[i];
        const bool nameless = NamesNoFile(path);
        const std::string shadow =
            rel.empty() || nameless ? std::string() : (shadowCab / rel).lexically_normal().string();
        const auto known = byShadow.find(shadow);
        int index;
        if (!shadow.empty() && known != byShadow.end()) {
            index = known->second;
        } else {
            CabFile file;
            file.path = path;
            file.shadow = shadow;
            file.table = table;
            Locate(file, !nameless && !rel.empty() && rel.begin()->string() != "..", cab_);
            file.firstRead = ReadIfPresent(path);
            file.present = file.firstRead.has_value();
            file.base = file.firstRead.value_or("");
            file.current = file.base;
            index = static_cast<int>(files_.size());
            files_.push_back(std::move(file));
            byShadow[shadow] = index;
        }
        if (i > 0 && table) {
            gaugeFiles_.back().second = index;
        } else if (i > 0) {
            gaugeFiles_.push_back({index, -1});
        }
    }
    LayOut();
}

Workspace::~Workspace() = default;

const CabFile& Workspace::profileOf(int gauge) const {
    return files_.at(
        static_cast<std::size_t>(gaugeFiles_.at(static_cast<std::size_t>(gauge)).first));
}

const CabFile& Workspace::tableOf(int gauge) const {
    return files_.at(
        static_cast<std::size_t>(gaugeFiles_.at(static_cast<std::size_t>(gauge)).second));
}

const SettingKey* Workspace::FindKey(const std::string& section, const std::string& key) {
    for (const SettingKey& k : ProfileFormat()) {
        if (SameName(k.row->section, section) && SameName(k.name, key)) {
            return &k;
        }
    }
    return nullptr;
}

int Workspace::FileOf(int gauge, const SettingKey& key) const {
    return key.row->scope == SettingScope::kOwnGauge
               ? gaugeFiles_.at(static_cast<std::size_t>(gauge)).first
               : 0; // the main profile is the first file
}

void Workspace::SetSetting(int gauge, const std::string& section, const std::string& name,
                           const std::optional<std::string>& value) {
    if (gauge < 0 || gauge >= gaugeCount()) {
        throw EditRefused(RefusalReason::kNoSuchGauge,
                          "there is no gauge " + std::to_string(gauge));
    }
    const SettingKey* key = FindKey(section, name);
    if (key == nullptr) {
        throw EditRefused(RefusalReason::kNotAKey,
                          "[" + section + "] " + name + " is not a key of the profile format");
    }
    if (SameName(key->row->section, "FileName")) {
        // Gauge0..Gauge15 name further gauge files: the studio edits the gauges it loaded.
        throw EditRefused(RefusalReason::kGaugeListKey,
                          "[" + section + "] " + name +
                              " adds or removes a gauge: edit it in the profile and "
                              "start the studio again");
    }
    const int file = FileOf(gauge, *key);
    CabFile& f = files_[static_cast<std::size_t>(file)];
    RefuseEditsOf(f);
    auto& edits = settingEdits_[file];
    const std::pair<std::string, std::string> where{key->row->section, key->name};
    if (!value) {
        edits.erase(where);
    } else {
        if (!FitsOnAProfileLine(*value)) {
            throw EditRefused(RefusalReason::kBadValue,
                              key->name + ": a value is one line of at most 255 characters, "
                                          "without control characters or blanks at its ends");
        }
        if (key->row->type == SettingType::kDouble) {
            char* end = nullptr;
            const double number = std::strtod(value->c_str(), &end);
            if (!value->empty() && *end == '\0' && !std::isfinite(number)) {
                throw EditRefused(RefusalReason::kBadValue,
                                  key->name + " = " + *value + " is not a finite number");
            }
        }
        edits[where] = *value;
    }
    Apply(file);
}

void Workspace::SetTable(int gauge, const std::optional<std::vector<TableRow>>& rows) {
    if (gauge < 0 || gauge >= gaugeCount()) {
        throw EditRefused(RefusalReason::kNoSuchGauge,
                          "there is no gauge " + std::to_string(gauge));
    }
    const int file = gaugeFiles_[static_cast<std::size_t>(gauge)].second;
    const CabFile& f = files_[static_cast<std::size_t>(file)];
    RefuseEditsOf(f);
    if (!rows) {
        tableEdits_.erase(file);
    } else {
        for (const TableRow& row : *rows) {
            if (!std::isfinite(row.value) || !std::isfinite(row.angle)) {
                throw EditRefused(RefusalReason::kBadValue,
                                  "a table row holds finite numbers only");
            }
        }
        tableEdits_[file] = *rows;
    }
    Apply(file);
}

void Workspace::Apply(int file) {
    CabFile& f = files_[static_cast<std::size_t>(file)];
    f.current = f.base;
    if (const auto table = tableEdits_.find(file); table != tableEdits_.end()) {
        f.current = SetTableRows(f.base, table->second);
    }
    if (const auto edits = settingEdits_.find(file); edits != settingEdits_.end()) {
        for (const auto& [where, value] : edits->second) {
            f.current = SetProfileValue(f.current, where.first, where.second, value);
        }
    }
}

const CabFile& Workspace::SettingFile(int gauge, const SettingKey& key) const {
    return files_.at(static_cast<std::size_t>(FileOf(gauge, key)));
}

bool Workspace::SettingEdited(int gauge, const SettingKey& key) const {
    const auto edits = settingEdits_.find(FileOf(gauge, key));
    return edits != settingEdits_.end() && edits->second.count({key.row->section, key.name}) > 0;
}

bool Workspace::TableEdited(int gauge) const {
    return tableEdits_.count(gaugeFiles_.at(static_cast<std::size_t>(gauge)).second) > 0;
}

bool Workspace::dirty() const noexcept {
    for (const CabFile& f : files_) {
        if (f.current != f.base) {
            return true;
        }
    }
    return false;
}

void Workspace::LayOut() const {
    for (const CabFile& f : files_) {
        if (f.shadow.empty()) {
            continue;
        }
        const fs::path shadow(f.shadow);
        std::error_code error;
        if (!f.present && f.current.empty()) {
            fs::remove(shadow, error); // a table that does not exist stays missing
            continue;
        }
        fs::create_directories(shadow.parent_path(), error);
        std::ofstream out(shadow, std::ios::binary | std::ios::trunc);
        out.write(f.current.data(), static_cast<std::streamsize>(f.current.size()));
        if (!out) {
            throw EditRefused(RefusalReason::kPrivateFolderFailed,
                              "cannot lay out the edited cab in " + folder_.path().string(),
                              folder_.path().string());
        }
    }
}

SaveOutcome Workspace::Save(bool replaceBackups) {
    SaveOutcome outcome;
    // Every file read, edited or not: one that changed, appeared or vanished would leave the
    // page showing what the disk no longer holds.
    for (const CabFile& f : files_) {
        const std::optional<std::string> disk =
            NamesNoFile(f.path) ? std::nullopt : ReadIfPresent(f.path);
        if (!NamesNoFile(f.path) && (disk.has_value() != f.present || (disk && *disk != f.base))) {
            outcome.conflicts.push_back(f.path);
        }
    }
    std::vector<Replacement> replacements;
    for (const CabFile& f : files_) {
        if (f.current == f.base) {
            continue;
        }
        const fs::path target = WritableTarget(cab_, f.real, f.path);
        if (target != fs::path(f.real)) {
            outcome.conflicts.push_back(f.path); // the name leads to another file now
        }
        if (f.firstRead) {
            const std::string bak = f.path + ".bak";
            const fs::path bakTarget = WritableTarget(cab_, f.real + ".bak", bak);
            const std::optional<std::string> old = ReadIfPresent(bakTarget.string());
            if (!old) {
                replacements.push_back({bakTarget, bak, std::nullopt, *f.firstRead});
            } else if (*old != *f.firstRead && replaceBackups) {
                replacements.push_back({bakTarget, bak, old, *f.firstRead});
            } else if (*old != *f.firstRead) {
                outcome.backupsInTheWay.push_back(bak);
            }
        }
        replacements.push_back({target, f.path,
                                f.present ? std::optional<std::string>(f.base) : std::nullopt,
                                f.current});
    }
    if (!outcome.conflicts.empty() || !outcome.backupsInTheWay.empty()) {
        return outcome;
    }
    CabSave save(cab_, replacements);
    save.Prepare();
    outcome.conflicts = save.Replace();
    if (!outcome.conflicts.empty()) {
        return outcome;
    }
    for (CabFile& f : files_) {
        if (f.current != f.base) {
            f.base = f.current;
            f.present = true;
            outcome.written.push_back(f.path);
        }
    }
    settingEdits_.clear();
    tableEdits_.clear();
    outcome.saved = true;
    return outcome;
}

void Workspace::Reload() {
    settingEdits_.clear();
    tableEdits_.clear();
    for (CabFile& f : files_) {
        if (!NamesNoFile(f.path)) {
            Locate(f, f.editable || f.linkedOut, cab_);
        }
        const std::optional<std::string> disk = ReadIfPresent(f.path);
        f.present = disk.has_value();
        f.base = disk.value_or("");
        f.current = f.base;
    }
    LayOut();
}

std::string Workspace::ShownPath(const std::string& text) const {
    std::string shown = text;
    ReplaceAll(shown, FolderPrefix(shadowPlugin_), realPrefix_);
    return shown;
}

} // namespace mirevane::tool
