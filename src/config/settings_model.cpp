// STUB: replaced by the settings reader.
#include "config/settings_model.h"

namespace mirevane {

SettingsModel::SettingsModel(const std::string& path) {
    Gauge.fill("null");
    Ellipse.fill(-1);
    DeveloperKeys = {"S", "A1", "A2", "B1", "B2", "C1", "C2", "D", "L"};
    ReadProfile(path);
}

bool SettingsModel::ReadProfile(const std::string&) { return false; }

} // namespace mirevane
