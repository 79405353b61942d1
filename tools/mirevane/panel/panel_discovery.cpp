#include "panel/panel_discovery.h"

#include "common/tool_error.h"
#include "config/text.h"
#include "panel/panel_text.h"

#include <filesystem>
#include <ostream>

namespace mirevane::tool {
namespace {

namespace fs = std::filesystem;

constexpr int kFoldersAbove = 2;

// A folder as the user's path names it ("Train/Plugin", "" for the current one) and the file
// names in it that matter here, as they stand on disk.
struct Folder {
    std::string shown;
    fs::path path;
    std::string panel;    // panel2.cfg, any letter case
    std::string animated; // panel.animated: a 3D cab
    std::string older;    // panel.cfg: the older 2D format
    std::string atsConfig;
};

std::string Joined(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

// The file of this name in the folder as the folder spells it: the exact name first, else the
// first in another case (read from the folder, since a Windows file system finds any case).
std::string NameInFolder(const fs::path& folder, const std::string& lowerName) {
    std::error_code error;
    std::string found;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().u8string();
        if (LowerAscii(name) != lowerName || !it->is_regular_file(error)) {
            continue;
        }
        if (name == lowerName) {
            return name;
        }
        if (found.empty() || name < found) {
            found = name;
        }
    }
    return found;
}

Folder Look(const std::string& shown) {
    Folder folder;
    folder.shown = shown;
    folder.path = fs::u8path(shown.empty() ? "." : shown);
    folder.panel = NameInFolder(folder.path, "panel2.cfg");
    folder.animated = NameInFolder(folder.path, "panel.animated");
    folder.older = NameInFolder(folder.path, "panel.cfg");
    folder.atsConfig = NameInFolder(folder.path, "ats.cfg");
    return folder;
}

// The library's folder and up to two above it, as the user's path would name them.
std::vector<std::string> FoldersToSearch(const std::string& libraryPath) {
    std::vector<std::string> shown;
    std::string folder = fs::u8path(libraryPath).parent_path().u8string();
    shown.push_back(folder);
    for (int i = 0; i < kFoldersAbove; ++i) {
        const fs::path current = fs::u8path(folder);
        const std::string name = current.filename().u8string();
        if (folder.empty() || name == "." || name == "..") {
            folder = Joined(name == "." ? current.parent_path().u8string() : folder, "..");
        } else if (current.parent_path() == current || !current.has_relative_path()) {
            break; // the root
        } else {
            folder = current.parent_path().u8string();
        }
        shown.push_back(folder);
    }
    return shown;
}

// The path an ats.cfg names: its first line that is not blank, folders split by '\' or '/'.
std::string NamedLibrary(const Folder& folder) {
    std::string text;
    if (folder.atsConfig.empty() ||
        !ReadWholeFile((folder.path / folder.atsConfig).u8string(), text)) {
        return "";
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    if (!IsUtf8(text)) {
        text = Utf8FromCodePage932(text);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = TrimBlanks(std::string_view(text).substr(start, end - start));
        if (!line.empty()) {
            return std::string(line);
        }
        start = end + 1;
    }
    return "";
}

std::string Comparable(const fs::path& path, bool dropExtension) {
    std::error_code error;
    fs::path real = fs::weakly_canonical(path, error);
    if (error) {
        real = fs::absolute(path, error).lexically_normal();
    }
    if (dropExtension) {
        real.replace_extension();
    }
    return LowerAscii(real.generic_u8string());
}

bool NamesLibrary(const Folder& folder, const std::string& named, const std::string& libraryPath) {
    if (named.empty()) {
        return false;
    }
    std::string relative = named;
    for (char& c : relative) {
        c = c == '\\' ? '/' : c;
    }
    // The main profile stands for its library: Mirevane.ini for Mirevane.dll.
    const fs::path library = fs::u8path(libraryPath);
    const bool profile = LowerAscii(library.extension().u8string()) == ".ini";
    return Comparable(folder.path / fs::u8path(relative), profile) == Comparable(library, profile);
}

std::string WhereFound(int above) {
    if (above == 0) {
        return "beside the library";
    }
    return std::to_string(above) + (above == 1 ? " folder" : " folders") + " above the library";
}

void NoteOtherLibrary(PanelChoice& choice, const Folder& folder, const std::string& libraryPath) {
    const std::string named = NamedLibrary(folder);
    if (!named.empty() && !NamesLibrary(folder, named, libraryPath)) {
        choice.notes.push_back(Joined(folder.shown, folder.atsConfig) + " beside the panel names " +
                               named + ", not this library");
    }
}

} // namespace

PanelChoice ChoosePanel(const std::string& libraryPath, const PanelOptions& options) {
    PanelChoice choice;
    if (options.noPanel) {
        choice.said = "panel: none (--no-panel)";
        return choice;
    }
    if (!options.panel.empty()) {
        std::error_code error;
        const fs::path path = fs::u8path(options.panel);
        if (!fs::is_regular_file(path, error)) {
            throw InputError(options.panel, 0, 0,
                             fs::exists(path, error) ? "is not a panel file" : "no such panel file",
                             "panel-unreadable");
        }
        choice.path = options.panel;
        choice.given = true;
        choice.said = "panel: " + options.panel + " (--panel)";
        NoteOtherLibrary(choice, Look(path.parent_path().u8string()), libraryPath);
        return choice;
    }

    std::vector<Folder> folders;
    for (const std::string& shown : FoldersToSearch(libraryPath)) {
        folders.push_back(Look(shown));
    }
    // The train's folder is the one whose ats.cfg names this library; without one, the
    // nearest folder that describes a cab.
    const Folder* train = nullptr;
    int above = 0;
    for (std::size_t i = 0; i < folders.size() && !train; ++i) {
        if (NamesLibrary(folders[i], NamedLibrary(folders[i]), libraryPath) &&
            (!folders[i].panel.empty() || !folders[i].animated.empty() ||
             !folders[i].older.empty())) {
            train = &folders[i];
            above = static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < folders.size() && !train; ++i) {
        if (!folders[i].panel.empty() || !folders[i].animated.empty() ||
            !folders[i].older.empty()) {
            train = &folders[i];
            above = static_cast<int>(i);
        }
    }
    if (!train) {
        choice.said = "panel: none found beside " + libraryPath +
                      " or up to two folders above it "
                      "(--panel FILE names one)";
        return choice;
    }
    if (train->panel.empty()) {
        choice.said = !train->animated.empty()
                          ? "panel: the cab is 3D: the wiring check reads 2D panel files only"
                          : "panel: the cab's panel is in the older format (" +
                                Joined(train->shown, train->older) +
                                "): the wiring check reads 2D panel files (panel2.cfg) only";
        return choice;
    }
    choice.path = Joined(train->shown, train->panel);
    const bool named = NamesLibrary(*train, NamedLibrary(*train), libraryPath);
    choice.said = "panel: " + choice.path + " (found" +
                  (named ? ": " + Joined(train->shown, train->atsConfig) + " names this library"
                         : " " + WhereFound(above)) +
                  "; --no-panel leaves it out)";
    NoteOtherLibrary(choice, *train, libraryPath);
    return choice;
}

void SayPanelChoice(std::ostream& out, const PanelChoice& choice) {
    out << choice.said << "\n";
    for (const std::string& note : choice.notes) {
        out << note << "\n";
    }
}

} // namespace mirevane::tool
