// Load through the real Mirevane.dll: the profiles and tables beside the library copy are
// found, every gauge they describe is assembled, and the frames that follow write the panel
// entries worked out below from the tables.
#include "dll/host_library.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace mirevane::test {
namespace {

// Longer than the 256 entries the plug-in may touch, each entry holding its own value, so
// that any write shows.
constexpr int32_t kLength = 512;
using HostArray = std::array<int32_t, kLength>;

int32_t Unwritten(int32_t index) {
    return 0x50000000 + index;
}

struct Host {
    HostArray panel;
    HostArray sound;

    Host() {
        for (int32_t i = 0; i < kLength; ++i) {
            panel[i] = Unwritten(i);
            sound[i] = 0x60000000 + i;
        }
    }

    // Runs one frame; returns every panel entry the frame changed, index -> value.
    std::map<int32_t, int32_t> Frame(const Exports& dll, const AtsVehicleState& state) {
        const HostArray before = panel;
        const HostArray soundBefore = sound;
        dll.Elapse(state, panel.data(), sound.data());
        EXPECT_EQ(sound, soundBefore) << "the sound array is only read";
        std::map<int32_t, int32_t> changed;
        for (int32_t i = 0; i < kLength; ++i) {
            if (panel[i] != before[i]) {
                changed[i] = panel[i];
            }
        }
        return changed;
    }
};

AtsVehicleState State(float speed, float bc, int32_t timeMilliseconds) {
    AtsVehicleState state{};
    state.location = 100.0;
    state.speed = speed;
    state.time = timeMilliseconds;
    state.bc = bc;
    return state;
}

using Entries = std::map<int32_t, int32_t>;

// A cab of four gauges, each from its own profile and table:
//   0 Mirevane.ini  speed on entry 20, points (0,0) (40,90) (120,240)
//   1 brake.ini     bc on entry 21, points (0,-45) (400,45)
//   2 sub\oil.ini   entry 20 on entry 22, points (0,0) (1000,1): gauge 0's needle, read in
//                   the same frame after gauge 0 wrote it
//   3 oval.ini      speed through points (0,0) (100,80) on an oval dial: four divisions on
//                   entries 40..43, flattening 0.5, no damping, so the division boundaries
//                   are 19.832, 49.528, 74.696 and 180 degrees of folded angle
// The main profile also names two files that do not exist, binds switch-mode to key E (8)
// and sets the developer switch and an angle step of 5 for every gauge; brake.ini's own
// step of 2 gives way to it.
void WriteCab(const TempDir& folder, const std::string& baseName) {
    folder.Write(baseName + ".ini", "[SubjectKey]\nSubject=kmph\n"
                                    "[PanelIndex]\nNeedle=20\n"
                                    "[FileName]\nGauge0=missing\nGauge1=brake\nGauge2=gone\n"
                                    "Gauge3=sub\\oil\nGauge4=oval\n"
                                    "[KeyIndex]\nSwitchAdjustMode=e\n"
                                    "[DeveloperMode]\nEnabled=1\n"
                                    "[StepValue]\nAngle=5\n");
    folder.Write(baseName + ".csv", "0,0\n40,90\n120,240\n");
    folder.Write("brake.ini", "[SubjectKey]\nSubject=BC\n[PanelIndex]\nNeedle=21\n"
                              "[StepValue]\nAngle=2\n");
    folder.Write("brake.csv", "value,angle\n0,-45\n400,45\n");
    folder.Write("sub/oil.ini", "[SubjectKey]\nSubject=panel20\n[PanelIndex]\nNeedle=22\n");
    folder.Write("sub/oil.csv", "0,0\n1000,1\n");
    folder.Write("oval.ini", "[PanelIndex]\nNeedle=23\nEllipse0=40\nEllipse1=41\nEllipse2=42\n"
                             "Ellipse3=43\n[Ellipse]\nDivision=4\nFlattening=0.5\n");
    folder.Write("oval.csv", "0,0\n100,80\n");
}

// What the cab above shows, frame by frame. Angles are in degrees with the scale's 180
// added; the panel holds thousandths, truncated.
void ExpectCabFrames(const Exports& dll) {
    Host host;
    dll.Initialize(0); // as the host does at a scenario start: every oval image parked

    // 50 km/h, bc 300.
    //   gauge 0: 90 + (50 - 40) * 150/80 = 108.75          -> 288.75
    //   gauge 1: -45 + 300 * 90/400 = 22.5                  -> 202.5
    //   gauge 2: 288750 / 1000 = 288.75                     -> 468.75
    //   gauge 3: 40 -> 220, folded 40: division 1 (entry 41), drawn
    //            atan2(0.5 sin 220, cos 220) + 360 = 202.760476; the others parked at 180.
    EXPECT_EQ(host.Frame(dll, State(50.0f, 300.0f, 1000)), (Entries{{20, 288750},
                                                                    {21, 202500},
                                                                    {22, 468750},
                                                                    {40, 180000},
                                                                    {41, 202760},
                                                                    {42, 180000},
                                                                    {43, 180000}}));

    // 100 km/h, bc 100.
    //   gauge 0: 90 + 60 * 150/80 = 202.5                   -> 382.5
    //   gauge 1: -45 + 100 * 90/400 = -22.5                 -> 157.5
    //   gauge 2: 382.5                                      -> 562.5
    //   gauge 3: 80 -> 260, folded 80: division 3 (entry 43), drawn
    //            atan2(0.5 sin 260, cos 260) + 360 = 250.574600; entry 41 parked.
    EXPECT_EQ(host.Frame(dll, State(100.0f, 100.0f, 1100)),
              (Entries{{20, 382500}, {21, 157500}, {22, 562500}, {41, 180000}, {43, 250574}}));

    // Key E switches every gauge to the fixed angle 0; key B1 (3) raises it by the main
    // profile's step of 5 on every gauge. Gauge 3 then shows 185, folded 5: division 0
    // (entry 40), drawn atan2(0.5 sin 185, cos 185) + 360 = 182.504769; entry 43 parked.
    dll.KeyDown(8);
    dll.KeyDown(3);
    EXPECT_EQ(host.Frame(dll, State(100.0f, 100.0f, 1200)),
              (Entries{{20, 185000}, {21, 185000}, {22, 185000}, {40, 182504}, {43, 180000}}));
}

TEST(LoadThroughTheDll, TheCabBesideTheLibraryDrivesItsPanelEntries) {
    TempDir folder;
    WriteCab(folder, "Mirevane");
    HostLibrary library(folder.path());
    library.exports().Load();
    ExpectCabFrames(library.exports());
}

TEST(LoadThroughTheDll, ARenamedLibraryReadsTheProfileOfItsOwnName) {
    TempDir folder;
    WriteCab(folder, "Gauge");
    // Beside it, a profile of the usual name that must not be read.
    folder.Write("Mirevane.ini", "[PanelIndex]\nNeedle=30\n");
    HostLibrary library(folder.path(), "Gauge.dll");
    library.exports().Load();
    ExpectCabFrames(library.exports());
}

TEST(LoadThroughTheDll, WithoutAProfileOfItsOwnNameTheLibraryDrawsNothing) {
    TempDir folder;
    WriteCab(folder, "Mirevane");
    HostLibrary library(folder.path(), "Other.dll");
    library.exports().Load();
    Host host;
    EXPECT_EQ(host.Frame(library.exports(), State(50.0f, 300.0f, 1000)), Entries{});
    library.exports().KeyDown(8);
    EXPECT_EQ(host.Frame(library.exports(), State(50.0f, 300.0f, 1100)), Entries{});
}

} // namespace
} // namespace mirevane::test
