// Which panel file belongs to a cab: the one named, none when asked, else the one beside the
// library or up to two folders above it, the folder whose ats.cfg names the library first.
#include "panel/panel_discovery.h"

#include "common/tool_error.h"
#include "panel/panel_option.h"
#include "support/temp_dir.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

namespace mirevane::tool {
namespace {

constexpr const char* kLibrary = "Train/Plugin/Mirevane.dll";

struct DiscoveryCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; // besides the library
    std::string panel;  // the panel chosen, relative to the folder; "" for none
    std::string saying; // part of the line said
    std::string note;   // part of the only note, "" for none
};

TEST(PanelDiscovery, FindsThePanelBesideOrAboveTheLibrary) {
    const DiscoveryCase cases[] = {
        {"the train folder above, named by its ats.cfg",
         {{"Train/panel2.cfg", ""}, {"Train/ats.cfg", "Plugin\\Mirevane.dll\r\n"}},
         "Train/panel2.cfg",
         "Train/ats.cfg names this library; --no-panel leaves it out",
         ""},
        {"ats.cfg preferred over a nearer panel",
         {{"Train/Plugin/panel2.cfg", ""},
          {"Train/panel2.cfg", ""},
          {"Train/ats.cfg", "Plugin/Mirevane.dll"}},
         "Train/panel2.cfg",
         "Train/ats.cfg names this library",
         ""},
        {"ats.cfg names the library in another letter case and through ..",
         {{"Train/PANEL2.CFG", ""}, {"Train/ATS.cfg", "\n  plugin\\..\\Plugin\\MIREVANE.DLL  \n"}},
         "Train/PANEL2.CFG",
         "Train/ATS.cfg names this library",
         ""},
        {"nearest panel when no ats.cfg names the library",
         {{"Train/Plugin/panel2.cfg", ""}, {"Train/panel2.cfg", ""}},
         "Train/Plugin/panel2.cfg",
         "found beside the library",
         ""},
        {"two folders above",
         {{"panel2.cfg", ""}},
         "panel2.cfg",
         "found 2 folders above the library",
         ""},
        {"an ats.cfg beside the panel naming another library",
         {{"Train/panel2.cfg", ""}, {"Train/ats.cfg", "Other\\Plugin.dll"}},
         "Train/panel2.cfg",
         "found 1 folder above the library",
         "ats.cfg beside the panel names Other\\Plugin.dll, not this library"},
        {"a 3D cab",
         {{"Train/panel.animated", ""}, {"Train/ats.cfg", "Plugin\\Mirevane.dll"}},
         "",
         "panel: the cab is 3D: the wiring check reads 2D panel files only",
         ""},
        {"a 2D panel beats a 3D cab in the same folder",
         {{"Train/panel.animated", ""}, {"Train/panel2.cfg", ""}},
         "Train/panel2.cfg",
         "found 1 folder above",
         ""},
        {"the older panel format", {{"Train/panel.cfg", ""}}, "", "older format", ""},
        {"nothing beside the library",
         {{"Train/Plugin/panel2.cfg/readme.txt", ""}}, // a folder, not a panel
         "",
         "none found beside",
         ""},
    };
    for (const DiscoveryCase& c : cases) {
        test::TempDir folder;
        const std::filesystem::path root = folder.path() / "Route";
        folder.Write(std::string("Route/") + kLibrary, "MZ");
        for (const auto& [name, text] : c.files) {
            folder.Write("Route/" + name, text);
        }
        const std::string library = (root / kLibrary).string();
        const PanelChoice choice = ChoosePanel(library, {});
        // As the file system spells it (Windows: '\\' before the folders, '/' before the file).
        EXPECT_EQ(std::filesystem::path(choice.path).lexically_normal(),
                  c.panel.empty() ? "" : (root / c.panel).lexically_normal())
            << c.name;
        EXPECT_FALSE(choice.given) << c.name;
        EXPECT_NE(choice.said.find(c.saying), std::string::npos) << c.name << ": " << choice.said;
        if (!c.panel.empty()) {
            EXPECT_NE(choice.said.find("panel: " + choice.path + " (found"), std::string::npos)
                << c.name << ": " << choice.said;
        }
        if (c.note.empty()) {
            EXPECT_TRUE(choice.notes.empty()) << c.name;
        } else {
            ASSERT_EQ(choice.notes.size(), 1u) << c.name;
            EXPECT_NE(choice.notes[0].find(c.note), std::string::npos) << choice.notes[0];
        }
    }
}

// The paths said are the ones the user's path leads to, as short as it was written.
TEST(PanelDiscovery, SaysPathsAsTheUserWroteThem) {
    test::TempDir folder;
    folder.Write("Train/panel2.cfg", "");
    folder.Write("Train/ats.cfg", "Plugin\\Mirevane.dll");
    folder.Write("Train/Plugin/Mirevane.dll", "MZ");
    const std::filesystem::path before = std::filesystem::current_path();
    struct Case {
        std::string workingFolder; // relative to the temporary folder
        std::string library;
        std::string said;
    };
    const Case cases[] = {
        {"", "Train/Plugin/Mirevane.dll",
         "panel: Train/panel2.cfg (found: Train/ats.cfg names this library; --no-panel leaves "
         "it out)"},
        {"Train/Plugin", "./Mirevane.dll",
         "panel: ../panel2.cfg (found: ../ats.cfg names this library; --no-panel leaves it "
         "out)"},
        {"Train/Plugin", "Mirevane.dll",
         "panel: ../panel2.cfg (found: ../ats.cfg names this library; --no-panel leaves it "
         "out)"},
        {"Train", "Plugin/../Plugin/Mirevane.dll",
         "panel: Plugin/../panel2.cfg (found: Plugin/../ats.cfg names this library; "
         "--no-panel leaves it out)"},
    };
    for (const Case& c : cases) {
        std::filesystem::current_path(folder.path() / c.workingFolder);
        const PanelChoice choice = ChoosePanel(c.library, {});
        std::filesystem::current_path(before);
        EXPECT_EQ(choice.said, c.said) << c.library;
    }
}

TEST(PanelDiscovery, LooksNoFurtherThanTwoFoldersAbove) {
    test::TempDir folder;
    folder.Write("panel2.cfg", "");
    folder.Write("A/B/C/Mirevane.dll", "MZ");
    const PanelChoice choice = ChoosePanel(folder / "A/B/C/Mirevane.dll", {});
    EXPECT_TRUE(choice.path.empty());
    EXPECT_NE(choice.said.find("none found beside " + (folder / "A/B/C/Mirevane.dll")),
              std::string::npos)
        << choice.said;
}

TEST(PanelDiscovery, TheMainProfileStandsForItsLibrary) {
    test::TempDir folder;
    folder.Write("Train/panel2.cfg", "");
    folder.Write("Train/Plugin/panel2.cfg", "");
    folder.Write("Train/ats.cfg", "Plugin\\Mirevane.dll");
    folder.Write("Train/Plugin/Mirevane.ini", "");
    const PanelChoice choice = ChoosePanel(folder / "Train/Plugin/Mirevane.ini", {});
    EXPECT_EQ(choice.path, folder / "Train/panel2.cfg");
}

TEST(PanelDiscovery, TheOptionsDecide) {
    test::TempDir folder;
    folder.Write("Cab/panel2.cfg", "");
    folder.Write("Cab/ats.cfg", "Another.dll");
    const std::string library = folder.Write("Cab/Mirevane.dll", "MZ");
    const std::string other = folder.Write("Elsewhere/cab.cfg", "");

    const PanelChoice none = ChoosePanel(library, {"", true});
    EXPECT_TRUE(none.path.empty());
    EXPECT_EQ(none.said, "panel: none (--no-panel)");

    const PanelChoice given = ChoosePanel(library, {other, false});
    EXPECT_EQ(given.path, other);
    EXPECT_TRUE(given.given);
    EXPECT_NE(given.said.find(other), std::string::npos) << given.said;
    EXPECT_TRUE(given.notes.empty());

    const PanelChoice beside = ChoosePanel(library, {folder / "Cab/panel2.cfg", false});
    ASSERT_EQ(beside.notes.size(), 1u);
    EXPECT_NE(beside.notes[0].find("names Another.dll, not this library"), std::string::npos);

    for (const std::string& bad : {folder / "Cab/none.cfg", folder / "Cab"}) {
        try {
            ChoosePanel(library, {bad, false});
            ADD_FAILURE() << bad << " taken";
        } catch (const InputError& error) {
            EXPECT_NE(error.Line().find("panel-unreadable"), std::string::npos) << error.Line();
        }
    }
}

TEST(PanelOption, PanelAndNoPanelExcludeEachOther) {
    struct Case {
        std::vector<std::string> arguments; // in reverse, as CLI11 takes them
        bool parses;
        std::string panel;
        bool noPanel;
    };
    const Case cases[] = {
        {{}, true, "", false},
        {{"cab/panel2.cfg", "--panel"}, true, "cab/panel2.cfg", false},
        {{"--no-panel"}, true, "", true},
        {{"--no-panel", "p.cfg", "--panel"}, false, "", false},
        {{"--panel"}, false, "", false},
    };
    for (const Case& c : cases) {
        CLI::App app;
        PanelOptions options;
        AddPanelOptions(&app, options);
        std::vector<std::string> arguments = c.arguments;
        bool parsed = true;
        try {
            app.parse(arguments);
        } catch (const CLI::ParseError&) {
            parsed = false;
        }
        EXPECT_EQ(parsed, c.parses) << c.arguments.size();
        if (c.parses) {
            EXPECT_EQ(options.panel, c.panel);
            EXPECT_EQ(options.noPanel, c.noPanel);
        }
    }
}

} // namespace
} // namespace mirevane::tool
