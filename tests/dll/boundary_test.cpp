// The plug-in boundary as a host meets it: the real Mirevane.dll copied into a folder of its
// own, its sixteen exports found by their plain names and called, and everything they do
// observed from outside, through the returned handles and the host's two arrays.
#include "dll/host_library.h"
#include "dll/stack_measuring_call.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace mirevane::test {
namespace {

const std::set<std::string> kExportNames = {
    "Load",     "Dispose",   "GetPluginVersion", "SetVehicleSpec", "Initialize", "Elapse",
    "SetPower", "SetBrake",  "SetReverser",      "KeyDown",        "KeyUp",      "HornBlow",
    "DoorOpen", "DoorClose", "SetSignal",        "SetBeaconData"};

constexpr int32_t kVersion = 131072;

// One plain needle: speed on panel entry 10, 0..100 km/h over 0..270 degrees, so 50 km/h
// shows 135 + 180 degrees, written as 315000.
const char* const kSpeedometerProfile = "[PanelIndex]\nNeedle = 10\n[SubjectKey]\nSubject = kmph\n";
const char* const kSpeedometerTable = "0,0\n100,270\n";
constexpr int32_t kSpeedometerEntry = 10;
constexpr int32_t kSpeedometerAt50 = 315000;

void WriteSpeedometer(const TempDir& folder, const std::string& baseName = "Mirevane") {
    folder.Write(baseName + ".ini", kSpeedometerProfile);
    folder.Write(baseName + ".csv", kSpeedometerTable);
}

// The host's two arrays, longer than the 256 entries the plug-in may touch so that a write
// past entry 255 shows as a changed entry rather than as damage to the test. Every entry
// holds its own value, so a write to any of them shows.
constexpr std::size_t kHostArrayLength = 512;
using HostArray = std::array<int32_t, kHostArrayLength>;
constexpr int32_t kPanelFill = 0x50000000;
constexpr int32_t kSoundFill = 0x60000000;

struct HostArrays {
    HostArray panel;
    HostArray sound;

    HostArrays() { Fill(); }
    void Fill() {
        for (std::size_t i = 0; i < kHostArrayLength; ++i) {
            panel[i] = Pattern(kPanelFill, i);
            sound[i] = Pattern(kSoundFill, i);
        }
    }
    static int32_t Pattern(int32_t base, std::size_t index) {
        return base + static_cast<int32_t>(index);
    }
};

// The entries that differ from the fill pattern, as "panel[10]=315000" texts.
std::vector<std::string> ChangedEntries(const HostArrays& arrays) {
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < kHostArrayLength; ++i) {
        if (arrays.panel[i] != HostArrays::Pattern(kPanelFill, i)) {
            changed.push_back("panel[" + std::to_string(i) +
                              "]=" + std::to_string(arrays.panel[i]));
        }
        if (arrays.sound[i] != HostArrays::Pattern(kSoundFill, i)) {
            changed.push_back("sound[" + std::to_string(i) +
                              "]=" + std::to_string(arrays.sound[i]));
        }
    }
    return changed;
}

AtsVehicleState State(float speed, int32_t timeMilliseconds = 0) {
    AtsVehicleState state{};
    state.location = 1234.5;
    state.speed = speed;
    state.time = timeMilliseconds;
    state.bc = 250.0f;
    state.mr = 800.0f;
    state.er = 490.0f;
    state.bp = 480.0f;
    state.sap = 300.0f;
    state.current = -120.0f;
    return state;
}

AtsHandles Frame(const Exports& dll, HostArrays& arrays, const AtsVehicleState& state) {
    return dll.Elapse(state, arrays.panel.data(), arrays.sound.data());
}

using Handles = std::array<int32_t, 4>;

Handles Fields(const AtsHandles& handles) {
    return {handles.brake, handles.power, handles.reverser, handles.constantSpeed};
}

// What the loaded image's export directory lists: every name with the address it stands
// for, and how many addresses there are (an export by ordinal alone has no name).
struct ExportDirectory {
    DWORD addressCount = 0;
    std::vector<std::pair<std::string, const void*>> names;
};

ExportDirectory ReadExportDirectory(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* directory =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + directory->AddressOfNameOrdinals);
    const auto* functionRvas = reinterpret_cast<const DWORD*>(base + directory->AddressOfFunctions);

    ExportDirectory result;
    result.addressCount = directory->NumberOfFunctions;
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
        const char* name = reinterpret_cast<const char*>(base + nameRvas[i]);
        result.names.emplace_back(name, base + functionRvas[ordinals[i]]);
    }
    return result;
}

TEST(BoundaryExports, AllSixteenAreFoundByTheirPlainNames) {
    TempDir folder;
    HostLibrary library(folder.path());
    for (const std::string& name : kExportNames) {
        EXPECT_NE(GetProcAddress(library.module(), name.c_str()), nullptr) << name;
    }
    // The names a __stdcall export carries when the link keeps the decoration.
    for (const char* decorated : {"_Elapse@48", "Elapse@48", "_Load@0", "Load@0"}) {
        EXPECT_EQ(GetProcAddress(library.module(), decorated), nullptr) << decorated;
    }
}

TEST(BoundaryExports, TheExportDirectoryHoldsExactlyTheSixteenNames) {
    TempDir folder;
    HostLibrary library(folder.path());
    const auto* base = reinterpret_cast<const unsigned char*>(library.module());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    ASSERT_NE(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress, 0u);

    const ExportDirectory directory = ReadExportDirectory(library.module());
    EXPECT_EQ(directory.addressCount, kExportNames.size());
    std::set<std::string> names;
    for (const auto& [name, address] : directory.names) {
        EXPECT_TRUE(names.insert(name).second) << name << " is listed twice";
        // The directory entry is the code the host reaches by name.
        EXPECT_EQ(address,
                  reinterpret_cast<const void*>(GetProcAddress(library.module(), name.c_str())))
            << name;
    }
    EXPECT_EQ(names, kExportNames);
}

TEST(BoundaryHandles, ElapseHandsBackTheLastPositionsTheHostSet) {
    enum Setter { kBrake, kPower, kReverser };
    struct Step {
        std::vector<std::pair<Setter, int32_t>> calls; // before the frame
        Handles expected;
    };
    const Step steps[] = {
        {{}, {0, 0, 0, 0}},
        {{{kBrake, 5}, {kPower, 2}, {kReverser, -1}}, {5, 2, -1, 0}},
        {{}, {5, 2, -1, 0}},
        {{{kPower, 4}}, {5, 4, -1, 0}},
        {{{kBrake, 0}}, {0, 4, -1, 0}},
        {{{kReverser, 1}, {kReverser, 0}}, {0, 4, 0, 0}},
        {{{kBrake, INT_MIN}, {kPower, INT_MAX}, {kReverser, -2}}, {INT_MIN, INT_MAX, -2, 0}},
    };

    TempDir folder;
    HostLibrary library(folder.path());
    const Exports& dll = library.exports();
    HostArrays arrays;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        for (const auto& [setter, value] : steps[i].calls) {
            (setter == kBrake   ? dll.SetBrake
             : setter == kPower ? dll.SetPower
                                : dll.SetReverser)(value);
        }
        EXPECT_EQ(Fields(Frame(dll, arrays, State(30.0f))), steps[i].expected) << "frame " << i;
    }
}

TEST(BoundaryHandles, GetPluginVersionIs131072WhateverTheState) {
    TempDir folder;
    WriteSpeedometer(folder);
    HostLibrary library(folder.path());
    const Exports& dll = library.exports();
    HostArrays arrays;

    EXPECT_EQ(dll.GetPluginVersion(), kVersion) << "before Load";
    dll.Load();
    EXPECT_EQ(dll.GetPluginVersion(), kVersion) << "after Load";
    dll.SetBrake(3);
    Frame(dll, arrays, State(50.0f));
    EXPECT_EQ(dll.GetPluginVersion(), kVersion) << "after a frame";
    dll.Dispose();
    EXPECT_EQ(dll.GetPluginVersion(), kVersion) << "after Dispose";
}

TEST(BoundaryArrays, ElapseBeforeLoadLeavesBothArraysUntouched) {
    TempDir folder;
    WriteSpeedometer(folder); // there, but not read before Load
    HostLibrary library(folder.path());
    HostArrays arrays;
    library->SetBrake(2);
    EXPECT_EQ(Fields(Frame(library.exports(), arrays, State(50.0f))), (Handles{2, 0, 0, 0}));
    EXPECT_EQ(ChangedEntries(arrays), std::vector<std::string>{});
}

TEST(BoundaryArrays, ElapseAfterALoadThatBuiltNoGaugeLeavesBothArraysUntouched) {
    TempDir folder; // no profile beside the library
    HostLibrary library(folder.path());
    library->Load();
    HostArrays arrays;
    for (float speed : {0.0f, 50.0f, 100.0f}) {
        Frame(library.exports(), arrays, State(speed));
    }
    EXPECT_EQ(ChangedEntries(arrays), std::vector<std::string>{});
}

TEST(BoundaryArrays, AGaugeWritesItsNeedleEntryAndNothingElse) {
    TempDir folder;
    WriteSpeedometer(folder);
    HostLibrary library(folder.path());
    library->Load();
    HostArrays arrays;
    Frame(library.exports(), arrays, State(50.0f));
    EXPECT_EQ(ChangedEntries(arrays), std::vector<std::string>{"panel[10]=315000"});
}

TEST(BoundaryLifecycle, DisposeKeepsTheGaugesAndThePositions) {
    TempDir folder;
    WriteSpeedometer(folder);
    HostLibrary library(folder.path());
    const Exports& dll = library.exports();
    dll.Load();
    dll.SetBrake(3);
    dll.SetReverser(1);
    HostArrays arrays;
    Frame(dll, arrays, State(50.0f));
    ASSERT_EQ(arrays.panel[kSpeedometerEntry], kSpeedometerAt50);

    dll.Dispose();
    arrays.Fill();
    EXPECT_EQ(Fields(Frame(dll, arrays, State(50.0f, 100))), (Handles{3, 0, 1, 0}));
    EXPECT_EQ(arrays.panel[kSpeedometerEntry], kSpeedometerAt50);
    // Still driven, not left standing: 100 km/h is 270 + 180 degrees.
    Frame(dll, arrays, State(100.0f, 200));
    EXPECT_EQ(arrays.panel[kSpeedometerEntry], 450000);
}

TEST(BoundaryLifecycle, NothingSurvivesUnloadingTheLibrary) {
    TempDir folder;
    WriteSpeedometer(folder);
    {
        HostLibrary first(folder.path());
        first->Load();
        first->SetBrake(9);
        first->SetPower(4);
        HostArrays arrays;
        Frame(first.exports(), arrays, State(50.0f));
        ASSERT_EQ(arrays.panel[kSpeedometerEntry], kSpeedometerAt50);
    }
    HostLibrary second(folder.path());
    HostArrays arrays;
    EXPECT_EQ(Fields(Frame(second.exports(), arrays, State(50.0f))), (Handles{0, 0, 0, 0}));
    EXPECT_EQ(ChangedEntries(arrays), std::vector<std::string>{}) << "gauges survived";
}

// Which profile a library reads shows where it believes it lives: Load looks for the
// profile and table named after the library's own file, in the library's own folder.
struct PlacementRow {
    const char* name;
    const char* libraryFolder; // inside the test folder
    const char* libraryName;
};

void PrintTo(const PlacementRow& row, std::ostream* out) {
    *out << row.libraryFolder << "/" << row.libraryName;
}

const PlacementRow kPlacementRows[] = {
    {"UsualName", "", "Mirevane.dll"},
    {"RenamedCopy", "", "Gauge.dll"},
    {"FolderWithADotAndBlanks", "cab v1.5", "Mirevane.dll"},
    {"NestedFolderAndADottedName", "cab v1.5/plugin", "Gauge.v2.dll"},
};

class BoundaryModulePath : public testing::TestWithParam<PlacementRow> {};

TEST_P(BoundaryModulePath, LoadReadsTheProfileNamedAfterTheLibraryBesideIt) {
    const PlacementRow& row = GetParam();
    const std::string libraryName = row.libraryName;
    const std::string baseName = libraryName.substr(0, libraryName.rfind('.'));
    const std::filesystem::path libraryFolder = row.libraryFolder;
    const std::string folderPrefix = libraryFolder.empty() ? "" : libraryFolder.string() + "/";

    TempDir folder;
    // The library's own profile: needle on entry 20, 0..100 km/h over 0..90 degrees.
    folder.Write(folderPrefix + baseName + ".ini", "[PanelIndex]\nNeedle = 20\n");
    folder.Write(folderPrefix + baseName + ".csv", "0,0\n100,90\n");
    // Decoys that a wrong path would find: Mirevane's files beside the library when it is
    // renamed, and the library's own names one folder up when it sits in a folder.
    if (baseName != "Mirevane") {
        WriteSpeedometer(folder, folderPrefix + "Mirevane");
    }
    if (!libraryFolder.empty()) {
        const std::filesystem::path up = libraryFolder.parent_path() / baseName;
        folder.Write(up.string() + ".ini", "[PanelIndex]\nNeedle = 30\n");
        folder.Write(up.string() + ".csv", kSpeedometerTable);
    }

    HostLibrary library(folder.path() / libraryFolder, libraryName);
    library->Load();
    HostArrays arrays;
    Frame(library.exports(), arrays, State(50.0f));
    // 45 + 180 degrees from the library's own table.
    EXPECT_EQ(ChangedEntries(arrays), std::vector<std::string>{"panel[20]=225000"});
}

INSTANTIATE_TEST_SUITE_P(Placements, BoundaryModulePath, testing::ValuesIn(kPlacementRows),
                         [](const testing::TestParamInfo<PlacementRow>& info) {
                             return std::string(info.param.name);
                         });

TEST(BoundaryModulePathThreads, AThreadStartedBeforeLoadLeavesThePathIntact) {
    TempDir folder;
    WriteSpeedometer(folder);
    HostLibrary library(folder.path());
    // The library hears of this thread's start and end (thread attach and detach).
    std::thread([] {}).join();
    library->Load();
    HostArrays arrays;
    Frame(library.exports(), arrays, State(50.0f));
    EXPECT_EQ(arrays.panel[kSpeedometerEntry], kSpeedometerAt50);
}

// A cab whose frames show what every export does: the speedometer with the developer switch
// on (the default key names bind key numbers 0 to 7 and 15), and an oval gauge drawn through
// two images, on entry 20 for needles within 45 degrees of the dial's long axis and on
// entry 21 otherwise. Initialize parks both images on the next frame; without it only the
// image drawn in the frame before is parked.
void WriteCab(const TempDir& folder) {
    folder.Write("Mirevane.ini", std::string(kSpeedometerProfile) +
                                     "[DeveloperMode]\nEnabled = 1\n[FileName]\nGauge0 = oval\n");
    folder.Write("Mirevane.csv", kSpeedometerTable);
    folder.Write("oval.ini", "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nEllipse0 = 20\n"
                             "Ellipse1 = 21\n[Ellipse]\nDivision = 2\nFlattening = 0.5\n");
    folder.Write("oval.csv", kSpeedometerTable);
}

// One frame as the host sees it afterwards.
struct FrameRecord {
    Handles handles;
    HostArrays arrays;
};

using BetweenFrames = std::function<void(const Exports&)>;

// Loads the cab, sets the handles and runs five frames, calling between before every frame
// but the first. The host refills its arrays before each frame, so every frame shows only
// what that frame wrote. The speeds put the oval needle (2.7 degrees per km/h from the long
// axis, folded to 0..90) at 0, 54, 18, 36 and 85.5 degrees, away from the 45-degree border:
// entries 20, 21, 20, 20, 21, so the fourth frame draws on the same image as the third.
std::vector<FrameRecord> RunCab(const TempDir& folder, const BetweenFrames& between) {
    HostLibrary library(folder.path());
    const Exports& dll = library.exports();
    dll.Load();
    dll.SetBrake(3);
    dll.SetPower(2);
    dll.SetReverser(1);
    std::vector<FrameRecord> frames;
    const float speeds[] = {0.0f, 20.0f, 60.0f, 80.0f, 35.0f};
    for (std::size_t i = 0; i < std::size(speeds); ++i) {
        if (i > 0) {
            between(dll);
        }
        FrameRecord frame;
        const auto state = State(speeds[i], static_cast<int32_t>(100 * i));
        frame.handles = Fields(Frame(dll, frame.arrays, state));
        frames.push_back(frame);
    }
    return frames;
}

// The first difference between two runs, or the empty text when they agree entirely.
std::string FirstDifference(const std::vector<FrameRecord>& a, const std::vector<FrameRecord>& b) {
    for (std::size_t f = 0; f < a.size() && f < b.size(); ++f) {
        const std::string frame = "frame " + std::to_string(f) + ": ";
        if (a[f].handles != b[f].handles) {
            return frame + "handles differ";
        }
        for (std::size_t i = 0; i < kHostArrayLength; ++i) {
            if (a[f].arrays.panel[i] != b[f].arrays.panel[i]) {
                return frame + "panel[" + std::to_string(i) + "] " +
                       std::to_string(a[f].arrays.panel[i]) + " vs " +
                       std::to_string(b[f].arrays.panel[i]);
            }
            if (a[f].arrays.sound[i] != b[f].arrays.sound[i]) {
                return frame + "sound[" + std::to_string(i) + "] differs";
            }
        }
    }
    return a.size() == b.size() ? "" : "frame counts differ";
}

void Nothing(const Exports&) {}

// Every key number the host sends, and two it does not.
template <typename Call> BetweenFrames ForEveryKey(Call call) {
    return [call](const Exports& dll) {
        for (int32_t key = -1; key <= 16; ++key) {
            call(dll, key);
        }
    };
}

TEST(BoundaryCab, KeyDownShowsInTheFrames) {
    // The control for the ignored exports below: the same calls made through KeyDown
    // change the frames, so a misrouted export would be seen.
    TempDir folder;
    WriteCab(folder);
    const auto reference = RunCab(folder, Nothing);
    const auto pressed =
        RunCab(folder, ForEveryKey([](const Exports& dll, int32_t key) { dll.KeyDown(key); }));
    EXPECT_NE(FirstDifference(reference, pressed), "");
}

TEST(BoundaryCab, InitializeBehavesTheSameWhateverItsArgument) {
    TempDir folder;
    WriteCab(folder);
    const auto without = RunCab(folder, Nothing);
    const auto withZero = RunCab(folder, [](const Exports& dll) { dll.Initialize(0); });
    EXPECT_NE(FirstDifference(without, withZero), "")
        << "Initialize did not park the oval gauge's images";
    for (int32_t argument : {1, -1, 2, 255, INT_MIN, INT_MAX}) {
        const auto with =
            RunCab(folder, [argument](const Exports& dll) { dll.Initialize(argument); });
        EXPECT_EQ(FirstDifference(withZero, with), "") << "Initialize(" << argument << ")";
    }
}

struct IgnoredRow {
    const char* name;
    BetweenFrames calls;
};

void PrintTo(const IgnoredRow& row, std::ostream* out) {
    *out << row.name;
}

const IgnoredRow kIgnoredRows[] = {
    {"KeyUp", ForEveryKey([](const Exports& dll, int32_t key) { dll.KeyUp(key); })},
    {"HornBlow", ForEveryKey([](const Exports& dll, int32_t key) { dll.HornBlow(key); })},
    {"SetSignal", ForEveryKey([](const Exports& dll, int32_t key) { dll.SetSignal(key); })},
    {"DoorOpen", [](const Exports& dll) { dll.DoorOpen(); }},
    {"DoorClose", [](const Exports& dll) { dll.DoorClose(); }},
    {"SetVehicleSpec",
     [](const Exports& dll) {
         dll.SetVehicleSpec({{8, 5, 4, 7, 10}});
         dll.SetVehicleSpec({{-1, INT_MIN, INT_MAX, 0, 7}});
     }},
    {"SetBeaconData",
     [](const Exports& dll) {
         dll.SetBeaconData({{0, 1, 100, 7}});
         dll.SetBeaconData({{-1, INT_MIN, INT_MAX, 0}});
     }},
};

class BoundaryIgnoredExport : public testing::TestWithParam<IgnoredRow> {};

TEST_P(BoundaryIgnoredExport, ChangesNothingObservable) {
    TempDir folder;
    WriteCab(folder);
    EXPECT_EQ(FirstDifference(RunCab(folder, Nothing), RunCab(folder, GetParam().calls)), "");
}

INSTANTIATE_TEST_SUITE_P(Exports, BoundaryIgnoredExport, testing::ValuesIn(kIgnoredRows),
                         [](const testing::TestParamInfo<IgnoredRow>& info) {
                             return std::string(info.param.name);
                         });

#if defined(_M_IX86) || defined(__i386__)
// Each export is reached by its raw address and called with its arguments as 32-bit words,
// the way the host pushes them; the trampoline reports how far ESP moved.
TEST(BoundaryStack, EachExportRemovesExactlyItsArgumentBytes) {
    TempDir folder;
    WriteSpeedometer(folder);
    HostLibrary library(folder.path());

    HostArrays arrays;
    AtsHandles result{-7, -7, -7, -7};
    uint32_t stateWords[sizeof(AtsVehicleState) / 4];
    const AtsVehicleState state = State(50.0f);
    std::memcpy(stateWords, &state, sizeof state);

    // The hidden result address goes first, ahead of the vehicle state and the two arrays.
    std::vector<uint32_t> elapseWords{static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&result))};
    elapseWords.insert(elapseWords.end(), std::begin(stateWords), std::end(stateWords));
    elapseWords.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arrays.panel.data())));
    elapseWords.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arrays.sound.data())));

    const struct {
        const char* name;
        std::vector<uint32_t> words;
        uint32_t removed;
    } calls[] = {
        {"Load", {}, 0},
        {"GetPluginVersion", {}, 0},
        {"SetVehicleSpec", {8, 5, 4, 7, 10}, 20},
        {"Initialize", {0}, 4},
        {"SetPower", {2}, 4},
        {"SetBrake", {5}, 4},
        {"SetReverser", {static_cast<uint32_t>(-1)}, 4},
        {"Elapse", elapseWords, 52},
        {"KeyDown", {99}, 4},
        {"KeyUp", {3}, 4},
        {"HornBlow", {1}, 4},
        {"DoorOpen", {}, 0},
        {"DoorClose", {}, 0},
        {"SetSignal", {2}, 4},
        {"SetBeaconData", {0, 1, 100, 7}, 16},
        {"Dispose", {}, 0},
    };
    std::set<std::string> called;
    for (const auto& call : calls) {
        const void* function =
            reinterpret_cast<const void*>(GetProcAddress(library.module(), call.name));
        ASSERT_NE(function, nullptr) << call.name;
        uint32_t eax = 0;
        const uint32_t removed = CallMeasuringStack(function, call.words.data(),
                                                    static_cast<uint32_t>(call.words.size()), &eax);
        EXPECT_EQ(removed, call.removed) << call.name;
        called.insert(call.name);

        if (std::string(call.name) == "GetPluginVersion") {
            EXPECT_EQ(eax, static_cast<uint32_t>(kVersion));
        } else if (std::string(call.name) == "Elapse") {
            // Filled at the hidden address, which comes back in EAX; the speed was read
            // from the state behind it.
            EXPECT_EQ(eax, elapseWords[0]);
            EXPECT_EQ(Fields(result), (Handles{5, 2, -1, 0}));
            EXPECT_EQ(arrays.panel[kSpeedometerEntry], kSpeedometerAt50);
        }
    }
    EXPECT_EQ(called, kExportNames);
}
#endif

} // namespace
} // namespace mirevane::test
