#include "config/settings_model.h"

#include "config/profile_access.h"
#include "config/profile_format.h"
#include "config/profile_key_screen.h"
#include "config/text.h"
#include "platform/platform.h"

#include <cstdlib>

namespace mirevane {
namespace {

// A text lookup that cannot find its key gives the default, but the profile functions trim
// and unquote a default first: only a default they would leave alone may skip the lookup.
bool DefaultPassesUnchanged(const std::string& text) {
    return text.size() <= 255 && (text.empty() || text.back() != ' ') && !IsQuoted(text);
}

// The lookups of one profile file. Keys the file cannot hold keep their value without a
// lookup, as a lookup would leave it.
class FileLookups : public ProfileLookups {
public:
    explicit FileLookups(const std::string& path) : path_(path), screen_(path) {}

    void Text(const std::string& section, const std::string& key, std::string& value) override {
        if (screen_.MayHold(key) || !DefaultPassesUnchanged(value)) {
            ReadProfileText(path_, section, key, value);
        }
    }
    void Int(const std::string& section, const std::string& key, int32_t& value) override {
        if (screen_.MayHold(key)) {
            ReadProfileInt(path_, section, key, value);
        }
    }
    void Double(const std::string& section, const std::string& key, double& value) override {
        if (screen_.MayHold(key)) {
            ReadProfileDouble(path_, section, key, value);
        }
    }

private:
    const std::string& path_;
    const ProfileKeyScreen screen_;
};

} // namespace

SettingsModel::SettingsModel() {
    for (const SettingKey& key : ProfileFormat()) {
        const SettingField field = key.row->field(*this, key.k);
        if (auto* text = std::get_if<std::string*>(&field)) {
            **text = key.defaultText;
        } else if (auto* integer = std::get_if<int32_t*>(&field)) {
            **integer = static_cast<int32_t>(std::strtol(key.defaultText.c_str(), nullptr, 10));
        } else {
            **std::get_if<double*>(&field) = std::strtod(key.defaultText.c_str(), nullptr);
        }
    }
}

bool SettingsModel::ReadProfile(const std::string& requestedPath) {
    const std::string path = requestedPath.empty() ? kFallbackProfile : requestedPath;
    if (!platform::PathExists(path)) {
        return false;
    }
    FileLookups lookups(path);
    Read(lookups);
    return true;
}

void SettingsModel::Read(ProfileLookups& lookups) {
    for (const SettingKey& key : ProfileFormat()) {
        const std::string& section = key.row->section;
        const SettingField field = key.row->field(*this, key.k);
        if (auto* text = std::get_if<std::string*>(&field)) {
            lookups.Text(section, key.lookupName, **text);
        } else if (auto* integer = std::get_if<int32_t*>(&field)) {
            lookups.Int(section, key.lookupName, **integer);
        } else {
            lookups.Double(section, key.lookupName, **std::get_if<double*>(&field));
        }
    }
}

} // namespace mirevane
