#include "check/gauge_titles.h"

#include <filesystem>

namespace mirevane::tool {

std::vector<std::string> GaugeTitles(const CheckReport& report) {
    std::vector<std::string> titles;
    for (const GaugeSummary& g : report.gauges) {
        const std::string file = std::filesystem::path(g.profile).filename().string();
        std::string draws;
        if (g.entries.empty()) {
            draws = "draws on no panel entry";
        } else if (g.elliptic) {
            draws = "elliptic, entries " + std::to_string(g.entries.front()) + "\u2013" +
                    std::to_string(g.entries.back());
        } else {
            draws = "panel " + std::to_string(g.entries.front());
        }
        titles.push_back("Gauge " + std::to_string(g.number) + "  \u00b7  " + file + "  \u00b7  " +
                         g.subject + " \u2192 " + draws);
    }
    return titles;
}

std::map<int32_t, KeyLabel> KeyLabels(const CheckReport& report) {
    std::map<int32_t, KeyLabel> keyLabels;
    for (const KeyBinding& binding : report.keys) {
        KeyLabel& label = keyLabels[binding.key];
        if (label.name.empty()) {
            label.name = binding.name;
        }
        label.actions += (label.actions.empty() ? "" : ", ") + binding.action;
    }
    return keyLabels;
}

} // namespace mirevane::tool
