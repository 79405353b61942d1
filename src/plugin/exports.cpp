// The sixteen exports the host calls, and the attach handler. Each one forwards to the
// portable Plugin and lets no exception reach the host, which would die with the user's work.
#include "plugin/plugin.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// __stdcall, exported under the plain name (the link strips the @N decoration).
#define ATS_EXPORT extern "C" __declspec(dllexport)
#define ATS_CALL __stdcall

namespace {

// Constructed during static initialisation, before DllMain runs; destroyed at unload.
mirevane::Plugin plugin;

struct VehicleSpec {
    int32_t words[5];
};
struct BeaconData {
    int32_t words[4];
};

} // namespace

// Loader thread, on process and thread attach: remembers the library's own path.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) {
        char path[mirevane::kModulePathSize];
        const DWORD length = GetModuleFileNameA(module, path, mirevane::kModulePathSize);
        plugin.SetModulePath(path, static_cast<int>(length));
    }
    return TRUE;
}

// Host thread, once before the first frame; reads the configuration, may allocate.
ATS_EXPORT void ATS_CALL Load() {
    try {
        plugin.Load();
    } catch (...) {
    }
}

// Host thread, at the end; the gauges stay until the library is unloaded.
ATS_EXPORT void ATS_CALL Dispose() {}

// Host thread, any time. The version of the plug-in interface the host expects (0x20000),
// not Mirevane's own release version, which is in the DLL's version resource.
ATS_EXPORT int32_t ATS_CALL GetPluginVersion() {
    return mirevane::Plugin::kVersion;
}

// Host thread, after Load; not used.
ATS_EXPORT void ATS_CALL SetVehicleSpec(VehicleSpec) {}

// Host thread, at each scenario start: park every elliptic needle on the next frame.
ATS_EXPORT void ATS_CALL Initialize(int32_t) {
    plugin.Initialize();
}

// Host thread, per frame; must not allocate.
ATS_EXPORT mirevane::AtsHandles ATS_CALL Elapse(mirevane::AtsVehicleState state, int32_t* panel,
                                                int32_t* sound) {
    return plugin.Elapse(state, panel, sound);
}

// Host thread, between frames: the handle positions handed back by every Elapse.
ATS_EXPORT void ATS_CALL SetPower(int32_t notch) {
    plugin.SetPower(notch);
}
ATS_EXPORT void ATS_CALL SetBrake(int32_t notch) {
    plugin.SetBrake(notch);
}
ATS_EXPORT void ATS_CALL SetReverser(int32_t position) {
    plugin.SetReverser(position);
}

// Host thread, between frames: developer key actions; the copy action may allocate.
ATS_EXPORT void ATS_CALL KeyDown(int32_t key) {
    try {
        plugin.KeyDown(key);
    } catch (...) {
    }
}

// Host thread; not used.
ATS_EXPORT void ATS_CALL KeyUp(int32_t) {}
ATS_EXPORT void ATS_CALL HornBlow(int32_t) {}
ATS_EXPORT void ATS_CALL DoorOpen() {}
ATS_EXPORT void ATS_CALL DoorClose() {}
ATS_EXPORT void ATS_CALL SetSignal(int32_t) {}
ATS_EXPORT void ATS_CALL SetBeaconData(BeaconData) {}
