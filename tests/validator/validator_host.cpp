// A host that tries to break the plug-in, in the manner of audio plug-in validators: the
// real DLL, loaded beside a configuration, driven by random calls of all sixteen exports with
// hostile arguments, and checked after every call. It stops at the first finding and prints
// the seed and the call that showed it, so a run can be repeated exactly.
//
//   validator_host [--dll PATH] [--config FOLDER] [--seed N] [--calls N]
//   validator_host --bad-corpus FOLDER [--dll PATH]
//
// After each call: no crash, no C++ exception out of the export, panel entries outside 0..255
// and the whole sound array unchanged, the panel not written at all outside Elapse, the
// handles Elapse returns the ones last set, the version 0x20000, and in the 32-bit build the
// stack left exactly as a __stdcall callee must leave it.
#include "dll/host_library.h"
#include "dll/stack_measuring_call.h"
#include "support/config_folder.h"
#include "support/host_stand_in.h"
#include "support/temp_dir.h"

#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace mirevane::test {
namespace {

enum class Export {
    Load,
    Dispose,
    GetPluginVersion,
    SetVehicleSpec,
    Initialize,
    Elapse,
    SetPower,
    SetBrake,
    SetReverser,
    KeyDown,
    KeyUp,
    HornBlow,
    DoorOpen,
    DoorClose,
    SetSignal,
    SetBeaconData,
};
constexpr int kExportCount = 16;
const char* const kExportNames[kExportCount] = {
    "Load",     "Dispose",   "GetPluginVersion", "SetVehicleSpec", "Initialize", "Elapse",
    "SetPower", "SetBrake",  "SetReverser",      "KeyDown",        "KeyUp",      "HornBlow",
    "DoorOpen", "DoorClose", "SetSignal",        "SetBeaconData"};

constexpr int32_t kVersion = 0x20000;

// What runs now, for the report of a crash, which ends the process from inside the fault.
const char* runningExport = "";
unsigned long long runningCall = 0;

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* fault) {
    const DWORD code = fault->ExceptionRecord->ExceptionCode;
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
        std::fprintf(stderr, "FINDING: fault 0x%08lx in call %llu (%s)\n",
                     static_cast<unsigned long>(code), runningCall, runningExport);
        std::fflush(stderr);
        ExitProcess(3);
    default:
        // C++ exceptions are raised as exceptions too; the runtime deals with those.
        return EXCEPTION_CONTINUE_SEARCH;
    }
}

struct Call {
    Export which = Export::Dispose;
    int32_t argument = 0;
    std::array<int32_t, 5> record{}; // SetVehicleSpec uses five words, SetBeaconData four
    AtsVehicleState state{};
};

// One loaded copy of the DLL and everything the checks compare against.
class Session {
public:
    Session(std::filesystem::path folder, std::filesystem::path dll, uint64_t seed)
        : folder_(std::move(folder)), dll_(std::move(dll)), arrays_(seed) {
        Reload();
    }

    // Unloads the library, if loaded, and loads it afresh: a new module state.
    void Reload() {
        library_.reset();
        library_ = std::make_unique<HostLibrary>(folder_, "Mirevane.dll", dll_);
        brake_ = power_ = reverser_ = 0;
        ++loads_;
    }

    FencedHostArrays& arrays() { return arrays_; }
    int loads() const { return loads_; }

    // Makes the call and checks what it left; false, with the finding printed, when a check
    // fails.
    bool Run(const Call& call, unsigned long long number) {
        runningExport = kExportNames[static_cast<int>(call.which)];
        runningCall = number;
        arrays_.Snapshot();
        ++counts_[static_cast<int>(call.which)];
        AtsHandles handles{-7, -7, -7, -7};
        uint32_t returned = 0;
        const auto start = std::chrono::steady_clock::now();
        try {
            returned = Invoke(call, handles);
        } catch (...) {
            return Finding(number, call, "a C++ exception crossed the export");
        }
        seconds_[static_cast<int>(call.which)] +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!stackBalanced_) {
            return Finding(number, call, "the export left the stack unbalanced");
        }
        if (!arrays_.FencesIntact()) {
            return Finding(number, call, "a panel entry outside 0..255 changed");
        }
        if (!arrays_.SoundIntact()) {
            return Finding(number, call, "the sound array changed");
        }
        switch (call.which) {
        case Export::Elapse:
            if (handles.brake != brake_ || handles.power != power_ ||
                handles.reverser != reverser_ || handles.constantSpeed != 0) {
                return Finding(number, call, "Elapse did not echo the handles last set");
            }
            return true;
        case Export::GetPluginVersion:
            if (static_cast<int32_t>(returned) != kVersion) {
                return Finding(number, call, "wrong version");
            }
            break;
        case Export::SetBrake:
            brake_ = call.argument;
            break;
        case Export::SetPower:
            power_ = call.argument;
            break;
        case Export::SetReverser:
            reverser_ = call.argument;
            break;
        default:
            break;
        }
        if (!arrays_.PanelUnchangedSinceSnapshot()) {
            return Finding(number, call, "the panel changed outside Elapse");
        }
        return true;
    }

    void PrintCounts() const {
        for (int i = 0; i < kExportCount; ++i) {
            std::printf("  %-17s %12llu calls %10.3f s\n", kExportNames[i], counts_[i],
                        seconds_[i]);
        }
    }

private:
    bool Finding(unsigned long long number, const Call& call, const char* what) const {
        std::fprintf(stderr, "FINDING: %s, in call %llu (%s, argument %ld)\n", what, number,
                     kExportNames[static_cast<int>(call.which)], static_cast<long>(call.argument));
        return false;
    }

#if defined(_M_IX86) || defined(__i386__)
    // As the 32-bit host calls: the arguments pushed as 32-bit words, the stack measured.
    uint32_t Invoke(const Call& call, AtsHandles& handles) {
        std::array<uint32_t, 13> words{};
        uint32_t count = 0;
        const auto push = [&](uint32_t word) { words[count++] = word; };
        switch (call.which) {
        case Export::SetVehicleSpec:
            for (int i = 0; i < 5; ++i) {
                push(static_cast<uint32_t>(call.record[i]));
            }
            break;
        case Export::SetBeaconData:
            for (int i = 0; i < 4; ++i) {
                push(static_cast<uint32_t>(call.record[i]));
            }
            break;
        case Export::Elapse: {
            // The hidden result address first, then the record by value and the two arrays.
            push(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&handles)));
            uint32_t state[sizeof(AtsVehicleState) / 4];
            std::memcpy(state, &call.state, sizeof state);
            for (uint32_t word : state) {
                push(word);
            }
            push(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arrays_.panel())));
            push(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arrays_.sound())));
            break;
        }
        case Export::Load:
        case Export::Dispose:
        case Export::GetPluginVersion:
        case Export::DoorOpen:
        case Export::DoorClose:
            break;
        default:
            push(static_cast<uint32_t>(call.argument));
            break;
        }
        const void* function = reinterpret_cast<const void*>(
            GetProcAddress(library_->module(), kExportNames[static_cast<int>(call.which)]));
        uint32_t eax = 0;
        stackBalanced_ = CallMeasuringStack(function, words.data(), count, &eax) == 4 * count;
        return eax;
    }
#else
    // The 64-bit build has one calling convention; there is no stack balance to check.
    uint32_t Invoke(const Call& call, AtsHandles& handles) {
        const Exports& dll = library_->exports();
        VehicleSpecRecord vehicle{};
        BeaconDataRecord beacon{};
        std::memcpy(vehicle.words, call.record.data(), sizeof vehicle.words);
        std::memcpy(beacon.words, call.record.data(), sizeof beacon.words);
        switch (call.which) {
        case Export::Load:
            dll.Load();
            break;
        case Export::Dispose:
            dll.Dispose();
            break;
        case Export::GetPluginVersion:
            return static_cast<uint32_t>(dll.GetPluginVersion());
        case Export::SetVehicleSpec:
            dll.SetVehicleSpec(vehicle);
            break;
        case Export::Initialize:
            dll.Initialize(call.argument);
            break;
        case Export::Elapse:
            handles = dll.Elapse(call.state, arrays_.panel(), arrays_.sound());
            break;
        case Export::SetPower:
            dll.SetPower(call.argument);
            break;
        case Export::SetBrake:
            dll.SetBrake(call.argument);
            break;
        case Export::SetReverser:
            dll.SetReverser(call.argument);
            break;
        case Export::KeyDown:
            dll.KeyDown(call.argument);
            break;
        case Export::KeyUp:
            dll.KeyUp(call.argument);
            break;
        case Export::HornBlow:
            dll.HornBlow(call.argument);
            break;
        case Export::DoorOpen:
            dll.DoorOpen();
            break;
        case Export::DoorClose:
            dll.DoorClose();
            break;
        case Export::SetSignal:
            dll.SetSignal(call.argument);
            break;
        case Export::SetBeaconData:
            dll.SetBeaconData(beacon);
            break;
        }
        return 0;
    }
#endif

    std::filesystem::path folder_;
    std::filesystem::path dll_;
    std::unique_ptr<HostLibrary> library_;
    FencedHostArrays arrays_;
    int32_t brake_ = 0;
    int32_t power_ = 0;
    int32_t reverser_ = 0;
    bool stackBalanced_ = true;
    int loads_ = 0;
    std::array<unsigned long long, kExportCount> counts_{};
    std::array<double, kExportCount> seconds_{};
};

// Integers a host might pass, from ordinary to the ends of the range.
int32_t AnyInteger(std::mt19937_64& random) {
    switch (random() % 8) {
    case 0:
        return INT32_MIN;
    case 1:
        return INT32_MAX;
    case 2:
        return -1;
    case 3:
        return 0;
    case 4:
        return static_cast<int32_t>(static_cast<uint32_t>(random()));
    default:
        return static_cast<int32_t>(random() % 21) - 10;
    }
}

// How often each export is called, per 10,000 calls. Load appends the configured gauges
// again on every call, so it is rare, and now and then the library is unloaded and loaded
// afresh (the extra last weight), which also keeps the gauge count bounded.
constexpr std::array<int, kExportCount + 1> kWeights = {
    40,   // Load
    250,  // Dispose
    200,  // GetPluginVersion
    200,  // SetVehicleSpec
    300,  // Initialize
    5000, // Elapse
    300,  // SetPower
    300,  // SetBrake
    300,  // SetReverser
    1500, // KeyDown
    200,  // KeyUp
    200,  // HornBlow
    150,  // DoorOpen
    150,  // DoorClose
    200,  // SetSignal
    200,  // SetBeaconData
    10,   // unload and load the library again
};

int RandomCalls(const std::filesystem::path& dll, const std::filesystem::path& config,
                uint64_t seed, unsigned long long calls) {
    TempDir folder;
    LayOutConfiguration(config, folder.path());
    Session session(folder.path(), dll, seed);
    VehicleStates states(seed);
    std::mt19937_64& random = states.random();
    int totalWeight = 0;
    for (int weight : kWeights) {
        totalWeight += weight;
    }

    const auto start = std::chrono::steady_clock::now();
    for (unsigned long long number = 1; number <= calls; ++number) {
        int pick = static_cast<int>(random() % static_cast<uint64_t>(totalWeight));
        int which = 0;
        while (pick >= kWeights[which]) {
            pick -= kWeights[which++];
        }
        if (which == kExportCount) {
            session.Reload();
            continue;
        }
        Call call;
        call.which = static_cast<Export>(which);
        call.argument = call.which == Export::KeyDown ? static_cast<int32_t>(random() % 26) - 5
                                                      : AnyInteger(random);
        for (int32_t& word : call.record) {
            word = AnyInteger(random);
        }
        if (call.which == Export::Elapse) {
            call.state = states.Next();
            if (random() % 3 == 0) {
                session.arrays().Scramble(random);
            }
        }
        if (!session.Run(call, number)) {
            std::fprintf(stderr, "seed %llu; repeat with --seed %llu --calls %llu\n",
                         static_cast<unsigned long long>(seed),
                         static_cast<unsigned long long>(seed), number);
            return 1;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("validator: seed %llu, %llu calls, no finding, %.1f s\n",
                static_cast<unsigned long long>(seed), calls, took.count());
    std::printf("  library loaded %d times\n", session.loads());
    session.PrintCounts();
#if defined(_M_IX86) || defined(__i386__)
    std::printf("  stack balance checked on every call\n");
#else
    std::printf("  stack balance not checked (64-bit build: one calling convention)\n");
#endif
    return 0;
}

// Every case of the corpus through the real DLL: Load, then a thousand frames with key
// presses and Initialize, as the native corpus test runs them through the core.
int BadCorpus(const std::filesystem::path& dll, const std::filesystem::path& corpus) {
    int failed = 0;
    int cases = 0;
    for (const auto& caseFolder : CorpusCases(corpus)) {
        const std::string name = caseFolder.filename().string();
        TempDir folder;
        LayOutConfiguration(caseFolder, folder.path());
        const auto start = std::chrono::steady_clock::now();
        Session session(folder.path(), dll, name.size());
        VehicleStates states(name.size());
        std::mt19937_64& random = states.random();
        bool clean = session.Run(Call{Export::Load}, 0);
        for (int frame = 0; clean && frame < 1000; ++frame) {
            unsigned long long number = static_cast<unsigned long long>(frame) + 1;
            if (frame % 7 == 3) {
                Call key{Export::KeyDown, static_cast<int32_t>(random() % 26) - 5};
                clean = clean && session.Run(key, number);
            }
            if (frame % 50 == 25) {
                clean = clean && session.Run(Call{Export::Initialize}, number);
            }
            if (frame % 10 == 0) {
                session.arrays().Scramble(random);
            }
            Call elapse{Export::Elapse};
            elapse.state = states.Next();
            clean = clean && session.Run(elapse, number);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        // A minute tells a stuck Load from a slow one; the biggest case takes seconds.
        if (took.count() > 60.0) {
            std::fprintf(stderr, "FINDING: %s took %.1f s\n", name.c_str(), took.count());
            clean = false;
        }
        std::printf("%-28s %s %8.2f s\n", name.c_str(), clean ? "ok      " : "FINDING ",
                    took.count());
        failed += clean ? 0 : 1;
        ++cases;
    }
    std::printf("bad corpus: %d cases, %d with findings\n", cases, failed);
    return failed == 0 && cases > 0 ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: validator_host [--dll PATH] [--config FOLDER] [--seed N] [--calls N]\n"
                 "       validator_host --bad-corpus FOLDER [--dll PATH]\n");
    return 2;
}

} // namespace
} // namespace mirevane::test

int main(int argc, char** argv) {
    using namespace mirevane::test;
    std::filesystem::path dll = MIREVANE_DLL;
    std::filesystem::path config = MIREVANE_VALIDATOR_CONFIG;
    std::filesystem::path corpus;
    uint64_t seed = 1;
    unsigned long long calls = 100000;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 == argc) {
            return Usage();
        }
        const char* value = argv[++i];
        if (option == "--dll") {
            dll = value;
        } else if (option == "--config") {
            config = value;
        } else if (option == "--bad-corpus") {
            corpus = value;
        } else if (option == "--seed") {
            seed = std::strtoull(value, nullptr, 10);
        } else if (option == "--calls") {
            calls = std::strtoull(value, nullptr, 10);
        } else {
            return Usage();
        }
    }
    dll = std::filesystem::absolute(dll);
    config = std::filesystem::absolute(config);
    if (!corpus.empty()) {
        corpus = std::filesystem::absolute(corpus);
    }
    AddVectoredExceptionHandler(1, ReportFault);
    // No fallback ./Ats.ini: the working directory is an empty folder of its own.
    TempDir work;
    std::filesystem::current_path(work.path());
    const int result =
        corpus.empty() ? RandomCalls(dll, config, seed, calls) : BadCorpus(dll, corpus);
    std::filesystem::current_path(work.path().parent_path());
    return result;
}
