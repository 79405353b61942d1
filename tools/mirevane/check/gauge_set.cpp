// check: the gauges together. Developer keys, the global settings, and gauges that write or
// read the same panel entries.
#include "check/context.h"

#include "common/gauge_entries.h"
#include "devmode/developer_actions.h"
#include "loading/key_names.h"

#include <algorithm>
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

Where Checker::LocateEntry(const CMirevane& gauges, int32_t g, int32_t entry) {
    const Profile& profile = profiles_[static_cast<std::size_t>(g)];
    if (!gauges.isElliptic()[g]) {
        return Locate(profile, "PanelIndex", "Needle");
    }
    // The divisions drawn: all of them, or on a round dial the last one alone.
    const CEllipseGauge& ellipse = gauges.ellipses()[g];
    const int count = std::min<int>(ellipse.divisionCount(), kEllipsePanelCount);
    const int first = ellipse.divisionTable().size() == 1 ? count - 1 : 0;
    for (int k = first; k < count; ++k) {
        if (profile.settings.Ellipse[k] == entry) {
            return Locate(profile, "PanelIndex", "Ellipse" + std::to_string(k));
        }
    }
    return {profile.path, 0, 0};
}

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
                // An action left at its default key clashes with the one set to that key.
                Add("key-bound-twice",
                    where.line > 0 ? where : Locate(main, "KeyIndex", kDeveloperActions[b].name),
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
        Add("panel-written-twice", LocateEntry(gauges, by.back(), entry),
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
