// Loads a copy of the built Mirevane.dll from a folder of the test's own, the way a host
// does, and finds its exports by their plain names.
#pragma once

#include "plugin/host_records.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace mirevane::test {

// The records the host passes to SetVehicleSpec and SetBeaconData, by value.
struct VehicleSpecRecord {
    int32_t words[5];
};
struct BeaconDataRecord {
    int32_t words[4];
};
static_assert(sizeof(VehicleSpecRecord) == 20, "host record size");
static_assert(sizeof(BeaconDataRecord) == 16, "host record size");

// The exports' signatures as the host declares them.
struct Exports {
    using Void = void(__stdcall*)();
    using Int = void(__stdcall*)(int32_t);
    using Version = int32_t(__stdcall*)();
    using ElapseFn = AtsHandles(__stdcall*)(AtsVehicleState, int32_t*, int32_t*);
    using VehicleSpecFn = void(__stdcall*)(VehicleSpecRecord);
    using BeaconDataFn = void(__stdcall*)(BeaconDataRecord);

    Void Load;
    Void Dispose;
    Version GetPluginVersion;
    Int Initialize;
    ElapseFn Elapse;
    Int SetPower;
    Int SetBrake;
    Int SetReverser;
    Int KeyDown;
    Int KeyUp;
    Int HornBlow;
    Void DoorOpen;
    Void DoorClose;
    Int SetSignal;
    VehicleSpecFn SetVehicleSpec;
    BeaconDataFn SetBeaconData;
};

class HostLibrary {
public:
    // Copies the built DLL (or another one) into folder under fileName and loads it from
    // there, so that its profile and tables are looked for in that folder.
    HostLibrary(const std::filesystem::path& folder, const std::string& fileName = "Mirevane.dll",
                const std::filesystem::path& dll = MIREVANE_DLL)
        : path_(folder / fileName) {
        std::filesystem::copy_file(dll, path_, std::filesystem::copy_options::overwrite_existing);
        module_ = LoadLibraryA(path_.string().c_str());
        if (module_ == nullptr) {
            throw std::runtime_error("LoadLibraryA failed for " + path_.string());
        }
        try {
            FindExports();
        } catch (...) {
            FreeLibrary(module_);
            throw;
        }
    }
    ~HostLibrary() { FreeLibrary(module_); }
    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    const Exports* operator->() const { return &exports_; }
    const Exports& exports() const { return exports_; }
    HMODULE module() const { return module_; }
    // Where the copy was loaded from.
    const std::filesystem::path& path() const { return path_; }

    template <typename F> F Find(const char* name) const {
        FARPROC address = GetProcAddress(module_, name);
        if (address == nullptr) {
            throw std::runtime_error(std::string("export not found: ") + name);
        }
        return reinterpret_cast<F>(reinterpret_cast<void*>(address));
    }

private:
    void FindExports() {
        exports_.Load = Find<Exports::Void>("Load");
        exports_.Dispose = Find<Exports::Void>("Dispose");
        exports_.GetPluginVersion = Find<Exports::Version>("GetPluginVersion");
        exports_.Initialize = Find<Exports::Int>("Initialize");
        exports_.Elapse = Find<Exports::ElapseFn>("Elapse");
        exports_.SetPower = Find<Exports::Int>("SetPower");
        exports_.SetBrake = Find<Exports::Int>("SetBrake");
        exports_.SetReverser = Find<Exports::Int>("SetReverser");
        exports_.KeyDown = Find<Exports::Int>("KeyDown");
        exports_.KeyUp = Find<Exports::Int>("KeyUp");
        exports_.HornBlow = Find<Exports::Int>("HornBlow");
        exports_.DoorOpen = Find<Exports::Void>("DoorOpen");
        exports_.DoorClose = Find<Exports::Void>("DoorClose");
        exports_.SetSignal = Find<Exports::Int>("SetSignal");
        exports_.SetVehicleSpec = Find<Exports::VehicleSpecFn>("SetVehicleSpec");
        exports_.SetBeaconData = Find<Exports::BeaconDataFn>("SetBeaconData");
    }

    std::filesystem::path path_;
    HMODULE module_ = nullptr;
    Exports exports_{};
};

} // namespace mirevane::test
