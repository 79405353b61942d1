// The studio's private folder: readable by the user only, and on start the folders of dead
// studios removed; a live studio's, one without the studio's mark, or anything else stays.
#include "common/process_identity.h"
#include "support/temp_dir.h"
#include "workspace/private_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace mirevane::tool {
namespace {
namespace fs = std::filesystem;

void Folder(const fs::path& temp, const std::string& name, const std::string* mark) {
    fs::create_directories(temp / name / "cab");
    if (mark != nullptr) {
        std::ofstream(temp / name / "owner", std::ios::binary) << *mark;
    }
}

TEST(PrivateFolderTest, StaleFoldersOfDeadStudiosOnlyAreRemoved) {
    test::TempDir temp;
    ProcessIdentity dead = ThisProcess();
    dead.start += 1; // the same id, another process: this one's start differs
    const std::string ofDead = "mirevane-studio " + IdentityText(dead) + "\n";
    const std::string ofLive = "mirevane-studio " + IdentityText(ThisProcess()) + "\n";
    const std::string notAMark = "something else " + IdentityText(dead) + "\n";
    struct Case {
        const char* name;
        const std::string* mark;
        bool removed;
    };
    const Case cases[] = {
        {"mirevane-studio-00000000000000aa", &ofDead, true},
        {"mirevane-studio-00000000000000bb", &ofLive, false},
        {"mirevane-studio-00000000000000cc", nullptr, false}, // unmarked: maybe not ours
        {"mirevane-studio-00000000000000dd", &notAMark, false},
        {"mirevane-studio-test-0000000000aa", &ofDead, false}, // another name
#ifndef _WIN32
        // Windows names this the folder of the first case, whatever the letter case.
        {"mirevane-studio-00000000000000AA", &ofDead, false},
#endif
    };
    for (const Case& c : cases) {
        Folder(temp.path(), c.name, c.mark);
    }
    {
        PrivateFolder made(temp.path());
        for (const Case& c : cases) {
            EXPECT_EQ(fs::exists(temp.path() / c.name), !c.removed) << c.name;
        }
        EXPECT_TRUE(fs::is_directory(made.path()));
#ifndef _WIN32
        EXPECT_EQ(fs::status(made.path()).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
        // A second studio while the first runs leaves the first's folder.
        PrivateFolder second(temp.path());
        EXPECT_TRUE(fs::exists(made.path()));
    }
    EXPECT_EQ(RemoveStaleFolders(temp.path()), 0); // each removed its own on ending
    const auto kept =
        std::count_if(std::begin(cases), std::end(cases), [](const Case& c) { return !c.removed; });
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), kept);
}

#ifndef _WIN32
TEST(PrivateFolderTest, ALinkNamedLikeAStaleFolderIsNotFollowed) {
    test::TempDir temp;
    test::TempDir elsewhere;
    ProcessIdentity dead = ThisProcess();
    dead.start += 1;
    const std::string ofDead = "mirevane-studio " + IdentityText(dead) + "\n";
    Folder(elsewhere.path(), "target", &ofDead);
    fs::create_directory_symlink(elsewhere.path() / "target",
                                 temp.path() / "mirevane-studio-00000000000000ee");
    EXPECT_EQ(RemoveStaleFolders(temp.path()), 0);
    EXPECT_TRUE(fs::exists(elsewhere.path() / "target" / "owner"));
}
#endif

} // namespace
} // namespace mirevane::tool
