// The key screen may only ever say "not there" for a key no lookup could find: every
// mistake toward "not there" would silently drop a cab builder's setting.
#include "config/profile_key_screen.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace mirevane {
namespace {

struct ScreenCase {
    const char* what;
    std::string content;
    const char* key;
    bool mayHold;
};

TEST(ProfileKeyScreen, SaysNotThereOnlyWhenTheNameOccursNowhere) {
    const ScreenCase cases[] = {
        {"present", "[Vibration]\nPeriod = 2\n", "Period", true},
        {"absent", "[Vibration]\nPeriod = 2\n", "Amplitude", false},
        {"letter case", "[vibration]\nPERIOD=2\n", "period", true},
        {"padded request", "[Vibration]\nPeriod = 2\n", "Period           ", true},
        {"request framed by other blanks", "[A]\nkey=1\n", "\x0bkey\x1a", true},
        {"blank request is never screened", "[A]\nx=1\n", "   ", true},
        {"name in a comment counts", "; Amplitude left out\n", "Amplitude", true},
        {"longer name contains it", "[PanelIndex]\nEllipse12 = 3\n", "Ellipse1", true},
        {"prefix alone is not enough", "[PanelIndex]\nEllipse = 3\n", "Ellipse1", false},
        {"name at the very end", "[Advanced]\nMaxArrayIndex", "MaxArrayIndex", true},
        {"name longer than the file", "a=1", "Amplitude", false},
        {"empty file", "", "Needle", false},
        {"byte beyond ASCII stands for any letter", "[Ellipse]\nD\xFDvision = 8\n", "Division",
         true},
        {"request beyond ASCII is never screened", "[Ellipse]\nDivision = 8\n", "D\xFDvision",
         true},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[Vibration]\nPeriod=2\n", "Period", true},
        {"UTF-16 LE is not screened", std::string("\xFF\xFE[\0A\0]\0", 8), "Period", true},
        {"UTF-16 BE is not screened", std::string("\xFE\xFF\0[\0A\0]", 8), "Period", true},
        {"a NUL byte stops screening", std::string("[A]\nx=\0\n", 8), "Period", true},
        {"too large to screen", "[A]\n" + std::string(70000, 'x') + "\n", "Period", true},
    };
    for (const ScreenCase& c : cases) {
        test::TempDir folder;
        const ProfileKeyScreen screen(folder.Write("gauge.ini", c.content));
        EXPECT_EQ(screen.MayHold(c.key), c.mayHold) << c.what;
    }
}

TEST(ProfileKeyScreen, UnreadableFileScreensNothing) {
    test::TempDir folder;
    EXPECT_TRUE(ProfileKeyScreen(folder / "absent.ini").MayHold("Period"));
    // A folder where a profile was expected.
    EXPECT_TRUE(ProfileKeyScreen(folder.path().string()).MayHold("Period"));
}

} // namespace
} // namespace mirevane
