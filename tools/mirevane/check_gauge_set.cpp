// check: the gauges together. Developer keys, the global settings, and gauges that write or
// read the same panel entries.
#include "check_context.h"

#include "devmode/developer_actions.h"
#include "gauge_entries.h"
#include "loading/key_names.h"

#include <map>

namespace mirevane::tool {
namespace {

std::string HostKeyNameList() {
    std::string list;
    for (const char* name : kHostKeyNames) {
        list += (list.empty() ? "" : ", ") + std::string(name);
    }
    return list;
}

} // namespace

void Checker::CheckGaugeSet(const CMirevane& gauges, const Profile& main) {
    const SettingsModel& s = main.settings;
    for (int a = 0; a < kDeveloperKeyCount; ++a) {
        const int32_t key = gauges.keyBindings()[a];
        report_.keys.push_back({kDeveloperActions[a].name, s.DeveloperKeys[a], key});
        const Where where = Locate(main, "KeyIndex", kDeveloperActions[a].name);
        if (key < 0) {
            Add("key-binds-nothing", where,
                std::string(kDeveloperActions[a].name) + " = " + Quoted(s.DeveloperKeys[a]) +
                    " names no host key: the action cannot be reached (key names: " +
                    HostKeyNameList() + ")");
        }
        for (int b = 0; b < a; ++b) {
            if (key >= 0 && gauges.keyBindings()[b] == key) {
                Add("key-bound-twice", where,
                    std::string(kDeveloperActions[a].name) + " and " + kDeveloperActions[b].name +
                        " share the key " + Quoted(s.DeveloperKeys[a]) + ": one press runs both");
            }
        }
    }
    if (!gauges.scales().empty()) {
        const NeedleScale& scale = gauges.scales()[0];
        report_.developerMode = scale.developerEnabled();
        report_.valueStep = scale.valueStep();
        report_.angleStep = scale.angleStep();
        report_.rotateStep = scale.rotateStep();
    }
    if (report_.developerMode) {
        Add("developer-mode-enabled", Locate(main, "DeveloperMode", "Enabled"),
            "developer mode is on: the developer keys can take the needles off their values; "
            "switch it off before you ship the cab");
    }

    // Entries written by more than one gauge, and panel subjects that read a later gauge.
    std::map<int32_t, std::vector<int32_t>> writers;
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        for (int32_t entry : EntriesWrittenBy(gauges, g)) {
            writers[entry].push_back(g);
        }
    }
    for (const auto& [entry, by] : writers) {
        if (by.size() < 2) {
            continue;
        }
        std::string list;
        for (std::size_t i = 0; i < by.size(); ++i) {
            list += (i == 0 ? "" : i + 1 == by.size() ? " and " : ", ") + std::to_string(by[i]);
        }
        const Profile& later = profiles_[static_cast<std::size_t>(by.back())];
        Add("panel-written-twice", later.path, 0,
            "panel entry " + std::to_string(entry) + " is written by gauges " + list +
                ": each frame gauge " + std::to_string(by.back()) + "'s value remains");
    }
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        const Subject& subject = gauges.subjects()[g];
        if (subject.kind() != Subject::kPanel) {
            continue;
        }
        const auto w = writers.find(subject.index());
        if (w == writers.end() || w->second.back() < g) {
            continue;
        }
        const int32_t writer = w->second.back();
        Add("reads-later-entry",
            Locate(profiles_[static_cast<std::size_t>(g)], "SubjectKey", "Subject"),
            "gauge " + std::to_string(g) + " reads panel entry " + std::to_string(subject.index()) +
                (writer == g ? ", which it writes itself"
                             : ", which gauge " + std::to_string(writer) + " writes later") +
                " in the frame: it sees the value of the frame before");
    }
}

} // namespace mirevane::tool
