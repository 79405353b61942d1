#include "profile/format_lookup.h"

#include "common/number_text.h"
#include "config/text.h"

namespace mirevane::tool {

std::string CurrentText(const SettingsModel& model, const SettingKey& key) {
    // The row hands out the field for writing; here it is only read.
    const SettingField field = key.row->field(const_cast<SettingsModel&>(model), key.k);
    if (auto* const* text = std::get_if<std::string*>(&field)) {
        return **text;
    }
    if (auto* const* integer = std::get_if<int32_t*>(&field)) {
        return std::to_string(**integer);
    }
    return Shortest(**std::get_if<double*>(&field));
}

bool IsMainProfileSection(const std::string& section) {
    for (const SettingRow& row : ProfileFormatRows()) {
        if (row.scope != SettingScope::kOwnGauge && SameName(section, row.section)) {
            return true;
        }
    }
    return false;
}

} // namespace mirevane::tool
