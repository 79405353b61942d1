// What Load finds and builds, for a caller that wants to know: the companion tool describes a
// cab from it instead of working the load out a second time. The plug-in's Load passes no
// observer, and the sequence then only skips these calls.
#pragma once

#include "config/settings_model.h"

#include <cstdint>
#include <string>

namespace mirevane {

class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    // The fallback profile under the main profile, and whether it exists.
    virtual void FallbackProfile(const std::string& path, bool found) = 0;
    // The main profile; when it is not found, Load ends here.
    virtual void MainProfile(const std::string& path, bool found) = 0;
    // Key Gauge<key> of the main profile names `name`; found tells whether its profile exists
    // (and so whether a gauge is built from it).
    virtual void FurtherGaugeFile(int key, const std::string& name, const std::string& profilePath,
                                  bool found) = 0;
    // Gauge `gauge` was built from these settings (as read: its own profile over the fallback
    // profile over the defaults) and this table file.
    virtual void GaugeBuilt(int32_t gauge, const SettingsModel& settings,
                            const std::string& profilePath, const std::string& tablePath) = 0;
};

} // namespace mirevane
