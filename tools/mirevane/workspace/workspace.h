// The studio's workspace: the cab's files as the studio read them, plus the user's edits.
// The edited cab is laid out in a private folder (the same names, relative to each other),
// where the plug-in's own Load reads it exactly as it reads the cab; saving writes the edits
// into the cab's own files in place (their real paths, inside the cab's folder), all of them
// or none, after a backup of each original, and only when no file the studio read changed on
// disk since.
#pragma once

#include "config/profile_format.h"
#include "workspace/edit_refused.h"
#include "workspace/private_folder.h"
#include "workspace/table_edit.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace mirevane::tool {

struct CabFile {
    std::string path;       // as Load names it: for messages, and where it is read
    std::string real;       // the file itself, links resolved, as read: where it is saved
    std::string shadow;     // where the edited copy is laid out for Load
    bool editable = false;  // a profile or table of the cab, inside the cab's folder
    bool linkedOut = false; // inside the cab's folder by name, outside through a link
    bool table = false;
    std::optional<std::string> firstRead; // the bytes as first read (a backup keeps them);
                                          // nullopt: the file did not exist
    bool present = false;                 // on disk as last read or saved
    std::string base;                     // the bytes on disk as last read or saved
    std::string current;                  // base with the edits
};

struct SaveOutcome {
    bool saved = false;
    std::vector<std::string> written;         // files written, as Load names them
    std::vector<std::string> conflicts;       // files read that changed on disk: nothing was
                                              // written
    std::vector<std::string> backupsInTheWay; // older .bak files that differ: nothing written
};

class Workspace {
public:
    // pluginPath: the library or its main profile, as `run` takes it. Throws InputError when
    // it names no main profile. The private folder is made under the system's temporary one.
    // A save of the cab that a studio killed left half done is first finished or undone.
    explicit Workspace(const std::string& pluginPath);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // The path Load is given for the edited cab (in the private folder).
    const std::string& shadowPluginPath() const noexcept { return shadowPlugin_; }
    const std::vector<CabFile>& files() const noexcept { return files_; }
    int gaugeCount() const noexcept { return static_cast<int>(gaugeFiles_.size()); }
    // The gauge's profile and table as Load names them.
    const CabFile& profileOf(int gauge) const;
    const CabFile& tableOf(int gauge) const;
    // The key a setting names, or nullptr.
    static const SettingKey* FindKey(const std::string& section, const std::string& key);

    // Sets a key for gauge `gauge` (in its own profile, or in the main profile for keys that
    // the plug-in reads there only); nullopt takes back every edit of that key. Throws
    // EditRefused for an unknown gauge or key, a value that no profile line can hold, or a
    // number that is not finite.
    void SetSetting(int gauge, const std::string& section, const std::string& key,
                    const std::optional<std::string>& value);
    // Replaces the gauge's table rows; nullopt takes back the edit.
    void SetTable(int gauge, const std::optional<std::vector<TableRow>>& rows);
    // The file a setting of the gauge is read from and written to.
    const CabFile& SettingFile(int gauge, const SettingKey& key) const;
    // Whether an edit of the studio stands for the setting, or the gauge's table.
    bool SettingEdited(int gauge, const SettingKey& key) const;
    bool TableEdited(int gauge) const;
    bool dirty() const noexcept;

    // Writes every file's current text into the private folder.
    void LayOut() const;
    // Writes the edits into the cab's files (see the header comment and cab_save.h).
    // replaceBackups: an older .bak that differs may be replaced (the page asked the user).
    // Throws EditRefused when a file to write now leads out of the cab's folder or is not a
    // regular file, or while another studio saves the cab; InputError when a file cannot be
    // written. Nothing is written then.
    SaveOutcome Save(bool replaceBackups);
    // Reads every file again from disk, dropping the edits.
    void Reload();

    // The shadow paths in a text (a diagnostic) turned back into the cab's own.
    std::string ShownPath(const std::string& text) const;

private:
    int FileOf(int gauge, const SettingKey& key) const;
    void Apply(int file);

    PrivateFolder folder_;
    std::filesystem::path cab_; // the cab's folder, its real path
    std::string shadowPlugin_;
    std::string realPrefix_; // the cab's folder as the user named it, as Load joins names
    std::vector<CabFile> files_;
    std::vector<std::pair<int, int>> gaugeFiles_; // profile, table
    // file -> (section, key) -> value, in the format's spelling
    std::map<int, std::map<std::pair<std::string, std::string>, std::string>> settingEdits_;
    std::map<int, std::vector<TableRow>> tableEdits_;
};

} // namespace mirevane::tool
