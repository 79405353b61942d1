// Where the configuration is looked for: the library path split into drive, directory and
// base name, and the paths built from the pieces.
#include "loading/library_path.h"

#include <gtest/gtest.h>

#include <string>

namespace mirevane {
namespace {

struct SplitCase {
    const char* path;
    const char* drive;
    const char* directory;
    const char* baseName;
    const char* mainProfile;
    const char* mainTable;
};

class LibraryPathSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(LibraryPathSplit, GivesThePiecesAndThePathsBuiltFromThem) {
    const SplitCase& c = GetParam();
    const LibraryPath parts = LibraryPath::Split(c.path);
    EXPECT_EQ(parts.drive, c.drive);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.baseName, c.baseName);
    EXPECT_EQ(parts.MainProfile(), c.mainProfile);
    EXPECT_EQ(parts.MainTable(), c.mainTable);
    EXPECT_EQ(parts.ModuleDirectory(), std::string(c.drive) + c.directory);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LibraryPathSplit,
    testing::Values(
        // The extension is replaced, not extended.
        SplitCase{R"(D:\Train\Gauge.dll)", "D:", R"(\Train\)", "Gauge", R"(D:\Train\Gauge.ini)",
                  R"(D:\Train\Gauge.csv)"},
        // Only the last dot of the file name counts; a dot in a directory never does.
        SplitCase{R"(D:\a.b\panel.left.dll)", "D:", R"(\a.b\)", "panel.left",
                  R"(D:\a.b\panel.left.ini)", R"(D:\a.b\panel.left.csv)"},
        SplitCase{R"(D:\a.b\gauge)", "D:", R"(\a.b\)", "gauge", R"(D:\a.b\gauge.ini)",
                  R"(D:\a.b\gauge.csv)"},
        SplitCase{R"(D:\Train\gauge)", "D:", R"(\Train\)", "gauge", R"(D:\Train\gauge.ini)",
                  R"(D:\Train\gauge.csv)"},
        // Forward slashes split the same way, also mixed with backslashes.
        SplitCase{"D:/Train/Gauge.dll", "D:", "/Train/", "Gauge", "D:/Train/Gauge.ini",
                  "D:/Train/Gauge.csv"},
        SplitCase{"D:/a.b/panel.left.dll", "D:", "/a.b/", "panel.left", "D:/a.b/panel.left.ini",
                  "D:/a.b/panel.left.csv"},
        SplitCase{R"(D:\Train/sub\Gauge.dll)", "D:", R"(\Train/sub\)", "Gauge",
                  R"(D:\Train/sub\Gauge.ini)", R"(D:\Train/sub\Gauge.csv)"},
        // No drive, no directory: the files are named relative to the current directory.
        SplitCase{"Gauge.dll", "", "", "Gauge", "Gauge.ini", "Gauge.csv"},
        SplitCase{"gauge", "", "", "gauge", "gauge.ini", "gauge.csv"},
        SplitCase{"", "", "", "", ".ini", ".csv"},
        // A directory without a drive, and a drive without a directory.
        SplitCase{R"(\\host\share\Gauge.dll)", "", R"(\\host\share\)", "Gauge",
                  R"(\\host\share\Gauge.ini)", R"(\\host\share\Gauge.csv)"},
        SplitCase{"/opt/train/Gauge.dll", "", "/opt/train/", "Gauge", "/opt/train/Gauge.ini",
                  "/opt/train/Gauge.csv"},
        SplitCase{"D:Gauge.dll", "D:", "", "Gauge", "D:Gauge.ini", "D:Gauge.csv"},
        // A colon anywhere but second is part of the name.
        SplitCase{"ab:c.dll", "", "", "ab:c", "ab:c.ini", "ab:c.csv"},
        // The dot is the last one even where nothing or everything stands around it.
        SplitCase{R"(D:\Train\Gauge.)", "D:", R"(\Train\)", "Gauge", R"(D:\Train\Gauge.ini)",
                  R"(D:\Train\Gauge.csv)"},
        SplitCase{R"(D:\Train\.dll)", "D:", R"(\Train\)", "", R"(D:\Train\.ini)",
                  R"(D:\Train\.csv)"},
        // A path that ends in a separator names a folder: no base name.
        SplitCase{R"(D:\Train\)", "D:", R"(\Train\)", "", R"(D:\Train\.ini)", R"(D:\Train\.csv)"}));

} // namespace
} // namespace mirevane
