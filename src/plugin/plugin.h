// The module state behind the sixteen exports, and what each export does with it. Portable:
// the Windows export file only forwards here.
#pragma once

#include "gauges/c_mirevane.h"
#include "plugin/host_records.h"

#include <cstdint>

namespace mirevane {

// The library's full path: 260 characters with the terminating zero, as Windows paths go.
constexpr int kModulePathSize = 260;

class Plugin {
public:
    // Stores the library's own path; the stored text is always zero-terminated, also when
    // the path fills the buffer.
    void SetModulePath(const char* path, int length) noexcept;
    const char* modulePath() const noexcept { return modulePath_; }

    void Load() { gaugeSet_.Load(modulePath_); }
    void Initialize() noexcept { gaugeSet_.Initialize(); }
    AtsHandles Elapse(const AtsVehicleState& state, int32_t* panel, const int32_t* sound) noexcept;
    void KeyDown(int32_t key) { gaugeSet_.KeyDown(key); }
    void SetPower(int32_t notch) noexcept { power_ = notch; }
    void SetBrake(int32_t notch) noexcept { brake_ = notch; }
    void SetReverser(int32_t position) noexcept { reverser_ = position; }

    // The version of the host's plug-in interface this library implements, as GetPluginVersion
    // answers it in every state.
    static constexpr int32_t kVersion = 0x20000;

    CMirevane& gaugeSet() noexcept { return gaugeSet_; }

private:
    char modulePath_[kModulePathSize] = {};
    int32_t brake_ = 0;
    int32_t power_ = 0;
    int32_t reverser_ = 0;
    CMirevane gaugeSet_;
};

} // namespace mirevane
