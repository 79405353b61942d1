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

// The exports' signatures as the host declares them.
struct Exports {
    using Void = void(__stdcall*)();
    using Int = void(__stdcall*)(int32_t);
    using Version = int32_t(__stdcall*)();
    using ElapseFn = AtsHandles(__stdcall*)(AtsVehicleState, int32_t*, int32_t*);

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
};

class HostLibrary {
public:
    // Copies the built DLL into folder under fileName and loads it from there, so that its
    // profile and tables are looked for in that folder.
    HostLibrary(const std::filesystem::path& folder, const std::string& fileName = "Mirevane.dll")
        : path_(folder / fileName) {
        std::filesystem::copy_file(MIREVANE_DLL, path_,
                                   std::filesystem::copy_options::overwrite_existing);
        module_ = LoadLibraryA(path_.string().c_str());
        if (module_ == nullptr) {
            throw std::runtime_error("LoadLibraryA failed for " + path_.string());
        }
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
    }
    ~HostLibrary() { FreeLibrary(module_); }
    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    const Exports& operator->() const { return exports_; }
    const Exports& exports() const { return exports_; }
    HMODULE module() const { return module_; }

    template <typename F>
    F Find(const char* name) const {
        FARPROC address = GetProcAddress(module_, name);
        if (address == nullptr) {
            throw std::runtime_error(std::string("export not found: ") + name);
        }
        return reinterpret_cast<F>(reinterpret_cast<void*>(address));
    }

private:
    std::filesystem::path path_;
    HMODULE module_ = nullptr;
    Exports exports_{};
};

} // namespace mirevane::test
