// check: one built gauge, what it reads, where it draws and how it trembles.
#include "check/context.h"
#include "common/nearest_name.h"

#include "common/gauge_entries.h"
#include "common/number_text.h"
#include "config/text.h"
#include "gauges/vehicle_quantity.h"

#include <algorithm>
#include <set>

namespace mirevane::tool {
namespace {

// "kmph, bc, ..., amabs, panelN or soundN"
std::string SubjectKeywords() {
    std::string list;
    for (const VehicleQuantityRow& row : kVehicleQuantities) {
        list += std::string(row.keyword) + ", ";
    }
    return list + "panelN or soundN";
}

} // namespace

// What it reads.
void Checker::CheckSubject(const GaugeUnderCheck& c) {
    const SettingsModel& s = c.settings;
    const Subject& subject = c.subject;
    if (subject.kind() == Subject::kVehicle && subject.index() == 0) {
        const std::string lower = LowerAscii(s.Subject);
        const bool array = lower.rfind("panel", 0) == 0 || lower.rfind("sound", 0) == 0;
        Add("subject-names-nothing", Locate(c.profile, "SubjectKey", "Subject"),
            "Subject = " + Quoted(Shortened(s.Subject)) + " names nothing: " + c.name +
                " always reads 0" +
                (array ? " (an entry number 0..255 without a decimal point must follow)"
                       : " (use " + SubjectKeywords() + ")"));
    } else if (subject.kind() != Subject::kVehicle && subject.index() > subject.maxIndex()) {
        Add("max-index-below-subject", Locate(c.profile, "Advanced", "MaxArrayIndex"),
            "MaxArrayIndex " + std::to_string(subject.maxIndex()) + " is below the entry " +
                std::to_string(subject.index()) + " that " + c.name +
                " reads: it reads 0 every frame");
    }
}

void Checker::CheckDrawsNothing(const GaugeUnderCheck& c) {
    std::string blame;
    Where where{c.profile.path, 0, 0};
    const std::vector<std::string> sections = {"PanelIndex", "Ellipse"};
    const std::vector<std::string> keys = {"Needle", "Division"};
    for (const std::string& path : {c.profile.path, report_.fallbackProfile}) {
        if (!blame.empty() || (path != c.profile.path && !report_.fallbackFound)) {
            continue;
        }
        const ProfileScan& scan = Scan(path);
        for (const ProfileSectionLine& header : scan.sections) {
            const std::string near = NearestName(header.name, sections);
            if (blame.empty() && !near.empty() && !SameName(near, header.name)) {
                blame = "[" + header.name + "] is not [" + near + "]";
                where = {path, header.line, header.column};
            }
        }
        for (const ProfileKeyLine& line : scan.keys) {
            const std::string near = NearestName(line.key, keys);
            const bool misplaced = !near.empty() && SameName(near, line.key);
            const bool home = SameName(line.section, near == "Needle" ? "PanelIndex" : "Ellipse");
            if (blame.empty() && !near.empty() && (!misplaced || line.sectionLine > 0)) {
                blame = !misplaced ? Quoted(Shortened(line.key)) + " is not " + near
                        : home     ? line.key + " here is not read"
                                   : line.key + " stands in [" + line.section + "]";
                where = {path, line.line, line.column};
            }
        }
    }
    Add("draws-nothing", where,
        c.name + " draws nothing: no [PanelIndex] Needle and no [Ellipse] Division" +
            (blame.empty() ? "" : " (" + blame + ")"));
}

// Where it draws.
void Checker::CheckDrawing(const GaugeUnderCheck& c) {
    if (c.summary.elliptic) {
        CheckEllipseEntries(c);
    } else {
        CheckPlainNeedle(c);
    }
}

void Checker::CheckPlainNeedle(const GaugeUnderCheck& c) {
    const GaugeSummary& gauge = c.summary;
    const SettingsModel& s = c.settings;
    const Where needle = Locate(c.profile, "PanelIndex", "Needle");
    if (needle.line == 0 && s.Division < 2) {
        CheckDrawsNothing(c);
    } else if (!IsHostArrayIndex(gauge.needle)) {
        Add("needle-out-of-range", needle,
            "Needle = " + std::to_string(gauge.needle) +
                " is outside the panel entries 0..255: " + c.name + " is never drawn");
    }
    if (s.NaturalFreq > 0.0) {
        Add("damping-not-elliptic", Locate(c.profile, "Damping", "NaturalFreq"),
            "damping acts only on an elliptic gauge (Division 2 or more): " + c.name +
                " is a plain needle and moves undamped");
    }
}

void Checker::CheckEllipseEntries(const GaugeUnderCheck& c) {
    const GaugeSummary& gauge = c.summary;
    const SettingsModel& s = c.settings;
    const Where division = Locate(c.profile, "Ellipse", "Division");
    if (gauge.entries.empty()) {
        Add("no-division-entry", division,
            "Division = " + std::to_string(s.Division) + " makes " + c.name +
                " elliptic, but none of its division entries (Ellipse0..) lies in 0..255: "
                "it is never drawn");
    } else {
        CheckDivisionGaps(c, division);
    }
    if (s.Division > kEllipsePanelCount) {
        Add("division-above-64", division,
            "Division = " + std::to_string(s.Division) + " is more than the 64 division entries: " +
                std::to_string(gauge.divisionCount) + " divisions are used");
    }
    CheckUnusedEllipseEntries(c);
    if (IsHostArrayIndex(gauge.needle)) {
        Add("needle-ignored", Locate(c.profile, "PanelIndex", "Needle"),
            "Needle = " + std::to_string(gauge.needle) + " is ignored: elliptic " + c.name +
                " draws on its Ellipse entries");
    }
}

void Checker::CheckDivisionGaps(const GaugeUnderCheck& c, const Where& division) {
    const GaugeSummary& gauge = c.summary;
    // Neighbouring divisions without an entry make one gap, reported once.
    const bool round = gauge.divisionTable.size() == 1;
    const auto& table = gauge.divisionTable;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (IsHostArrayIndex(table[i].second)) {
            continue;
        }
        std::size_t last = i;
        while (last + 1 < table.size() && !IsHostArrayIndex(table[last + 1].second)) {
            ++last;
        }
        const double from = i == 0 ? 0.0 : std::min(table[i - 1].first, 90.0);
        const double to = std::min(table[last].first, 90.0);
        const int k = round ? gauge.divisionCount - 1 : static_cast<int>(i);
        const int kLast = round ? k : static_cast<int>(last);
        const std::string first = std::to_string(k);
        // An entry never set: the Division that reaches it is the line to change.
        const Where entry = Locate(c.profile, "PanelIndex", "Ellipse" + first);
        Add("division-without-entry", entry.line > 0 ? entry : division,
            (k == kLast ? "division " + first + " has no panel entry (Ellipse" + first + " = " +
                              std::to_string(table[i].second) + ")"
                        : "divisions " + first + ".." + std::to_string(kLast) +
                              " have no panel entry (Ellipse" + first + "..Ellipse" +
                              std::to_string(kLast) + " outside 0..255)") +
                ": the needle vanishes between folded angles " + Rounded(from, 4) + " and " +
                Rounded(to, 4) + " degrees");
        i = last;
    }
}

void Checker::CheckUnusedEllipseEntries(const GaugeUnderCheck& c) {
    const GaugeSummary& gauge = c.summary;
    const SettingsModel& s = c.settings;
    std::set<int32_t> drawn;
    for (const auto& row : gauge.divisionTable) {
        drawn.insert(row.second);
    }
    for (int k = 0; k < kEllipsePanelCount; ++k) {
        const int32_t entry = s.Ellipse[k];
        if (IsHostArrayIndex(entry) && drawn.count(entry) == 0) {
            Add("ellipse-entry-unused",
                Locate(c.profile, "PanelIndex", "Ellipse" + std::to_string(k)),
                "Ellipse" + std::to_string(k) + " = " + std::to_string(entry) +
                    " is never drawn: " +
                    (k >= gauge.divisionCount
                         ? "Division " + std::to_string(s.Division) + " uses Ellipse0..Ellipse" +
                               std::to_string(gauge.divisionCount - 1)
                         : "with Flattening " +
                               (s.Flattening == 0.0 ? std::string("0")
                                                    : Shortest(s.Flattening) + " counted as 0") +
                               " (a round dial) only Ellipse" +
                               std::to_string(gauge.divisionCount - 1) + " is drawn"));
        }
    }
}

// How it trembles.
void Checker::CheckVibration(const GaugeUnderCheck& c) {
    const GaugeSummary& gauge = c.summary;
    const SettingsModel& s = c.settings;
    const Subject& subject = c.subject;
    const VehicleQuantityRow* quantity =
        subject.kind() == Subject::kVehicle ? FindVehicleQuantity(subject.index()) : nullptr;
    const bool signedValues =
        subject.kind() != Subject::kVehicle || (quantity != nullptr && quantity->isSigned);
    if (signedValues && gauge.wavelength != 0.0) {
        Add("vibration-drops-sign", Locate(c.profile, "Vibration", "Amplitude"),
            "the tremble works on the magnitude: " + c.name + " shows a negative " + gauge.subject +
                " value as a positive one");
    }
    if ((s.Amplitude != 0.0) != (s.Period != 0.0)) {
        const bool amplitudeSet = s.Amplitude != 0.0;
        const std::string missing = amplitudeSet ? "Period" : "Amplitude";
        Where where = Locate(c.profile, "Vibration", amplitudeSet ? "Amplitude" : "Period");
        std::string cause;
        // A misspelt key is the likely cause: the consequence then stands after it and says so.
        for (const ProfileKeyLine& line : Scan(c.profile.path).keys) {
            if (line.firstSection && SameName(line.section, "Vibration") &&
                !SameName(line.key, missing) && NearestName(line.key, {missing}) == missing) {
                where = Where{c.profile.path, line.line, line.column};
                cause = " (" + Quoted(Shortened(line.key)) + " is not " + missing + ")";
                break;
            }
        }
        Add("vibration-half-set", where,
            std::string("the tremble is off: ") + (amplitudeSet ? "Amplitude" : "Period") +
                " is set but " + missing + " is 0" + cause);
    }
}

} // namespace mirevane::tool
