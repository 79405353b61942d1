// Windows device names are no profiles. Beside the library, COM1.ini is the serial port: the
// system reports it present, and reading it would wait on the port for ever, with the host
// stuck in Load (found by the bad-configuration corpus under Wine, where COM1 is a terminal).
#include "gauges/c_mirevane.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace mirevane {
namespace {

#if defined(_WIN32)
TEST(ReservedDeviceNames, AreNeverFoundAsFiles) {
    test::TempDir folder;
    for (const char* name : {"COM1.ini", "com9.ini", "COM1 .ini", "LPT1.ini", "NUL.ini", "CON.ini",
                             "aux.x.ini", "PRN.csv", "CONOUT$.ini", "COM\xB9.ini"}) {
        EXPECT_FALSE(platform::PathExists((folder.path() / name).string())) << name;
    }
}

TEST(ReservedDeviceNames, NamesThatMerelyBeginLikeADeviceAreOrdinaryFiles) {
    test::TempDir folder;
    for (const char* name : {"COM10.ini", "CONSOLE.ini", "NULL.ini", "xCOM1.ini", "LPT.ini"}) {
        const std::string path = folder.Write(name, "[PanelIndex]\nNeedle=1\n");
        EXPECT_TRUE(platform::PathExists(path)) << name;
    }
}
#endif

// On every platform a further gauge named after a device is skipped like a missing file. NUL
// only: reading it ends at once, where COM1 or CON would wait for input if the fix failed.
TEST(ReservedDeviceNames, AGaugeNamedAfterADeviceIsSkipped) {
    const std::filesystem::path previous = std::filesystem::current_path();
    test::TempDir work; // no fallback ./Ats.ini
    std::filesystem::current_path(work.path());
    test::TempDir library;
    library.Write("Mirevane.ini",
                  "[PanelIndex]\nNeedle=1\n[FileName]\nGauge0=NUL\nGauge1=nul \nGauge2=Nul.x\n");
    CMirevane set;
    set.Load((library.path() / "Mirevane.dll").string());
    EXPECT_EQ(set.gaugeCount(), 1);
    std::filesystem::current_path(previous);
}

} // namespace
} // namespace mirevane
