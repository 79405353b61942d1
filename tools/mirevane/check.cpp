#include "check.h"

#include "dynamics/angle_units.h"

#include "config/profile_access.h"
#include "config/settings_model.h"
#include "config/text.h"
#include "dynamics/scale_table_file.h"
#include "gauge_entries.h"
#include "gauges/c_mirevane.h"
#include "gauges/vehicle_quantity.h"
#include "loading/key_names.h"
#include "loading/library_path.h"
#include "number_text.h"
#include "platform/platform.h"
#include "profile_format.h"
#include "profile_scan.h"
#include "subject_name.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace mirevane::tool {
namespace {

// A file the check could not find may exist under another letter case: Windows would open
// it, a case-sensitive file system does not. Returns that name, or "".
std::string OtherCaseName(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path p(path);
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name != p.filename().string() && SameName(name, p.filename().string())) {
            return name;
        }
    }
    return "";
}

std::string NotFoundHint(const std::string& path) {
    const std::string other = OtherCaseName(path);
    return other.empty() ? ""
                         : " ('" + other +
                               "' differs only in letter case: Windows would read it, this "
                               "tool on a case-sensitive file system does not)";
}

// An integer as the profile functions read it without surprises: optional sign, then
// decimal digits or 0x / 0b / 0o digits, and nothing else, within 32 bits.
bool IsPlainInteger(const std::string& text) {
    const IntegerText split = SplitInteger(text);
    const std::string digits(split.rest);
    if (digits.empty()) {
        return false;
    }
    for (char c : digits) {
        const int d = DigitValue(c);
        if (d < 0 || d >= split.base) {
            return false;
        }
    }
    if (split.base == 10) {
        const std::string magnitude =
            digits.substr(std::min(digits.find_first_not_of('0'), digits.size() - 1));
        const std::string limit = split.negative ? "2147483648" : "2147483647";
        return magnitude.size() < limit.size() ||
               (magnitude.size() == limit.size() && magnitude <= limit);
    }
    return digits.size() <= 32 / (split.base == 16 ? 4 : split.base == 8 ? 3 : 1);
}

// A key numbered beyond its range: Ellipse64, Gauge16.
bool IsNumberedBeyond(const std::string& key, const char* stem, int count) {
    const std::string s = LowerAscii(stem);
    const std::string k = LowerAscii(key);
    if (k.size() <= s.size() || k.compare(0, s.size(), s) != 0) {
        return false;
    }
    const std::string digits = k.substr(s.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6) {
        return false;
    }
    return std::stoi(digits) >= count;
}

// "kmph, bc, ..., amabs, panelN or soundN"
std::string SubjectKeywords() {
    std::string list;
    for (const VehicleQuantityRow& row : kVehicleQuantities) {
        list += std::string(row.keyword) + ", ";
    }
    return list + "panelN or soundN";
}

std::string HostKeyNameList() {
    std::string list;
    for (const char* name : kHostKeyNames) {
        list += (list.empty() ? "" : ", ") + std::string(name);
    }
    return list;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string Shortened(const std::string& text) {
    return text.size() <= 40 ? text : text.substr(0, 37) + "...";
}

struct Profile {
    std::string path; // the .ini
    std::string table;
    std::unique_ptr<SettingsModel> settings;
    bool main = false;
};

struct Where {
    std::string file;
    int line = 0;
};

// What the plug-in built for gauge g, as the report describes it.
GaugeSummary Summarise(const CMirevane& gauges, int32_t g, const Profile& profile) {
    const Subject& subject = gauges.subjects()[g];
    const CNeedleVibration& vibration = gauges.vibrations()[g];
    const CEllipseGauge& ellipse = gauges.ellipses()[g];
    const SettingsModel& s = *profile.settings;
    GaugeSummary gauge;
    gauge.number = g;
    gauge.profile = profile.path;
    gauge.tableFile = profile.table;
    gauge.subjectText = s.Subject;
    gauge.subject = SubjectName(subject);
    gauge.subjectMeaning = SubjectMeaning(subject);
    gauge.unit = SubjectUnit(subject);
    gauge.maxIndex = subject.maxIndex();
    gauge.elliptic = gauges.isElliptic()[g];
    gauge.needle = gauges.needlePanelIndex()[g];
    gauge.entries = EntriesWrittenBy(gauges, g);
    gauge.amplitude = vibration.amplitude();
    gauge.period = s.Period;
    gauge.wavelength = vibration.amplitude() != 0.0 && vibration.spatialFrequency() != 0.0
                           ? 2.0 * kPi / vibration.spatialFrequency()
                           : 0.0;
    gauge.threshold = vibration.threshold();
    gauge.naturalFrequency = ellipse.damping().naturalFrequency();
    gauge.dampingRatio = ellipse.damping().dampingRatio();
    gauge.division = s.Division;
    gauge.divisionCount = ellipse.divisionCount();
    gauge.flattening = ellipse.flattening();
    gauge.rotateAngle = ellipse.rotateAngle();
    gauge.standbyAngle = ellipse.standbyAngle();
    gauge.divisionTable = ellipse.divisionTable();
    const auto& points = gauges.scales()[g].table();
    gauge.table.points = static_cast<int>(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& [value, angle] = points[i];
        gauge.table.minValue = i == 0 ? value : std::min(gauge.table.minValue, value);
        gauge.table.maxValue = i == 0 ? value : std::max(gauge.table.maxValue, value);
        gauge.table.minAngle = i == 0 ? angle : std::min(gauge.table.minAngle, angle);
        gauge.table.maxAngle = i == 0 ? angle : std::max(gauge.table.maxAngle, angle);
    }
    return gauge;
}

// One gauge under check: what the plug-in built and the lines that built it.
struct GaugeUnderCheck {
    const Subject& subject;
    const SettingsModel& settings;
    const Profile& profile;
    GaugeSummary& summary;
    std::string name; // "gauge 3", for messages
};

class Checker {
public:
    explicit Checker(CheckReport& report) : report_(report) {}

    void Run(const std::string& path);

private:
    void Add(bool error, const char* code, const std::string& file, int line,
             const std::string& message) {
        report_.diagnostics.push_back({error, code, file, line, message});
    }
    void Add(bool error, const char* code, const Where& where, const std::string& message) {
        Add(error, code, where.file, where.line, message);
    }

    const ProfileScan& Scan(const std::string& path) {
        auto it = scans_.find(path);
        if (it == scans_.end()) {
            it = scans_.emplace(path, ScanProfile(path)).first;
        }
        return it->second;
    }
    // The line that set a key for this profile: its own, else the fallback profile's.
    Where Locate(const Profile& profile, const std::string& section, const std::string& key) {
        const ProfileKeyLine* line = Scan(profile.path).Find(section, key);
        if (line != nullptr && line->hasEquals) {
            return {profile.path, line->line};
        }
        if (report_.fallbackFound) {
            line = Scan(report_.fallbackProfile).Find(section, key);
            if (line != nullptr && line->hasEquals) {
                return {report_.fallbackProfile, line->line};
            }
        }
        return {profile.path, 0};
    }

    void CheckProfileLines(const std::string& path, const SettingsModel& model, bool further);
    void CheckKeyLine(const std::string& path, const ProfileKeyLine& line, const SettingKey& known,
                      const SettingsModel& model);
    void CheckUnknownKey(const std::string& path, const ProfileKeyLine& line);
    void CheckTable(GaugeSummary& gauge);
    void CheckGauge(const CMirevane& gauges, int32_t g, const Profile& profile);
    void CheckSubject(const GaugeUnderCheck& c);
    void CheckTablePoints(const GaugeUnderCheck& c,
                          const std::vector<std::pair<double, double>>& points);
    void CheckDrawing(const GaugeUnderCheck& c);
    void CheckVibration(const GaugeUnderCheck& c);
    void CheckGaugeSet(const CMirevane& gauges, const Profile& main);

    CheckReport& report_;
    std::map<std::string, ProfileScan> scans_;
    std::vector<Profile> profiles_;
};

void Checker::CheckProfileLines(const std::string& path, const SettingsModel& model, bool further) {
    const ProfileScan& scan = Scan(path);
    if (scan.byteOrderMark) {
        Add(false, "byte-order-mark", path, 1,
            "the file starts with a UTF-8 byte order mark; the host reads profiles as ANSI "
            "text: save it without the mark");
    }
    const std::vector<std::string>& sections = ProfileSections();
    for (const ProfileSectionLine& header : scan.sections) {
        const bool known = std::any_of(sections.begin(), sections.end(),
                                       [&](const auto& s) { return SameName(s, header.name); });
        if (!known) {
            const std::string near = NearestName(header.name, sections);
            Add(false, "unknown-section", path, header.line,
                "unknown section [" + header.name + "]: its keys are never read" +
                    (near.empty() ? "" : " (did you mean [" + near + "]?)"));
        } else if (header.firstLine != header.line) {
            Add(false, "duplicate-section", path, header.line,
                "section [" + header.name + "] appears again (first at line " +
                    std::to_string(header.firstLine) +
                    "): only the first one is read, the keys here are ignored");
        } else if (further && IsMainProfileSection(header.name)) {
            Add(false, "main-only-section", path, header.line,
                "section [" + header.name +
                    "] has no effect in a further gauge file: the plug-in takes it from the "
                    "main profile only");
        }
    }

    std::map<std::string, std::vector<const SettingKey*>> bySection;
    for (const SettingKey& known : ProfileFormat()) {
        bySection[LowerAscii(known.row->section)].push_back(&known);
    }
    for (const ProfileKeyLine& line : scan.keys) {
        if (!line.key.empty() && (line.key[0] == ';' || line.key[0] == '#')) {
            continue; // a comment: no key of the format starts with these
        }
        if (line.sectionLine == 0) {
            Add(false, "outside-section", path, line.line,
                Quoted(Shortened(line.key)) + " stands before any [section]: never read");
            continue;
        }
        const auto section = bySection.find(LowerAscii(line.section));
        if (section == bySection.end() || !line.firstSection) {
            continue; // reported with its section header
        }
        const SettingKey* known = nullptr;
        for (const SettingKey* candidate : section->second) {
            if (SameName(candidate->name, line.key)) {
                known = candidate;
            }
        }
        if (known == nullptr) {
            CheckUnknownKey(path, line);
        } else {
            CheckKeyLine(path, line, *known, model);
        }
    }
}

void Checker::CheckUnknownKey(const std::string& path, const ProfileKeyLine& line) {
    std::string hint;
    if (IsNumberedBeyond(line.key, "Ellipse", kEllipsePanelCount)) {
        hint = " (the division entries run from Ellipse0 to Ellipse63)";
    } else if (IsNumberedBeyond(line.key, "Gauge", kFurtherGaugeCount)) {
        hint = " (the further gauge files run from Gauge0 to Gauge15)";
    } else {
        std::vector<std::string> here;
        std::string elsewhere;
        for (const SettingKey& known : ProfileFormat()) {
            if (SameName(known.row->section, line.section)) {
                here.push_back(known.name);
            } else if (SameName(known.name, line.key)) {
                elsewhere = known.row->section;
            }
        }
        const std::string near = NearestName(line.key, here);
        if (!elsewhere.empty()) {
            hint = " (" + line.key + " belongs in [" + elsewhere + "])";
        } else if (!near.empty()) {
            hint = " (did you mean " + near + "?)";
        }
    }
    Add(false, "unknown-key", path, line.line,
        "unknown key " + Quoted(Shortened(line.key)) + " in [" + line.section + "]: never read" +
            hint);
}

void Checker::CheckKeyLine(const std::string& path, const ProfileKeyLine& line,
                           const SettingKey& known, const SettingsModel& model) {
    const ProfileScan& scan = Scan(path);
    const ProfileKeyLine* first = scan.Find(line.section, line.key);
    if (first != &line) {
        Add(false, "duplicate-key", path, line.line,
            known.name + " appears again in [" + line.section + "] (first at line " +
                std::to_string(first->line) + "): only the first is read");
        return;
    }
    if (!line.hasEquals) {
        Add(false, "no-value", path, line.line,
            known.name + " has no '=': it keeps " + Quoted(CurrentText(model, known)));
        return;
    }
    const std::string text = platform::ProfileText(path, known.row->section, known.name, "");
    if (known.row->type == SettingType::kDouble) {
        double ignored = 0.0;
        if (!ParseWholeDouble(text, ignored)) {
            Add(false, "not-a-number", path, line.line,
                text.empty() ? known.name + " has no value: it keeps " + CurrentText(model, known)
                             : known.name + " = " + Quoted(Shortened(text)) + " is not a number: " +
                                   known.name + " keeps " + CurrentText(model, known));
        }
    } else if (known.row->type == SettingType::kInt) {
        if (text.empty()) {
            Add(false, "not-an-integer", path, line.line,
                known.name + " has no value: it keeps " + CurrentText(model, known));
        } else if (!IsPlainInteger(text)) {
            int32_t readAs = 0;
            ReadProfileInt(path, known.row->section, known.name, readAs);
            Add(false, "not-an-integer", path, line.line,
                known.name + " = " + Quoted(Shortened(text)) +
                    " is not a whole number: it reads as " + std::to_string(readAs));
        }
    }
}

void Checker::CheckTable(GaugeSummary& gauge) {
    std::map<double, int> lineOfValue;
    const bool found = ForEachTableLine(
        gauge.tableFile, [&](int number, const std::string& text, const TableLine& parsed) {
            const bool mark = number == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
            if (mark) {
                Add(false, "byte-order-mark", gauge.tableFile, 1,
                    "the file starts with a UTF-8 byte order mark, which spoils the first "
                    "line: save it without the mark");
            }
            switch (parsed.outcome) {
            case TableLine::kPoint: {
                const auto [at, fresh] = lineOfValue.emplace(parsed.value, number);
                if (!fresh) {
                    Add(false, "table-duplicate-value", gauge.tableFile, number,
                        "value " + Shortest(parsed.value) + " again (first at line " +
                            std::to_string(at->second) + "): this row's angle replaces it");
                    at->second = number;
                }
                break;
            }
            case TableLine::kTooFewFields:
                if (text.find_first_not_of(" \t\r") != std::string::npos) {
                    Add(false, "table-line-skipped", gauge.tableFile, number,
                        "line skipped: " + Quoted(Shortened(text)) +
                            " holds fewer than two comma-separated numbers");
                }
                break;
            case TableLine::kNotANumber:
                Add(false, "table-line-skipped", gauge.tableFile, number,
                    "line skipped: field " + std::to_string(parsed.badField) + " of " +
                        Quoted(Shortened(text)) + " is not a number" +
                        (mark ? " (the byte order mark stands before it)" : ""));
                break;
            }
        });
    gauge.table.found = found;
    if (!found) {
        Add(true, "table-missing", gauge.tableFile, 0,
            "table file not found: the needle stands at 180 degrees whatever the value" +
                NotFoundHint(gauge.tableFile));
    }
}

void Checker::CheckGauge(const CMirevane& gauges, int32_t g, const Profile& profile) {
    report_.gauges.push_back(Summarise(gauges, g, profile));
    const GaugeUnderCheck c{gauges.subjects()[g], *profile.settings, profile, report_.gauges.back(),
                            "gauge " + std::to_string(g)};
    CheckSubject(c);
    CheckTable(c.summary);
    CheckTablePoints(c, gauges.scales()[g].table());
    CheckDrawing(c);
    CheckVibration(c);
}

// What it reads.
void Checker::CheckSubject(const GaugeUnderCheck& c) {
    const SettingsModel& s = c.settings;
    const Subject& subject = c.subject;
    if (subject.kind() == Subject::kVehicle && subject.index() == 0) {
        const std::string lower = LowerAscii(s.Subject);
        const bool array = lower.rfind("panel", 0) == 0 || lower.rfind("sound", 0) == 0;
        Add(true, "subject-names-nothing", Locate(c.profile, "SubjectKey", "Subject"),
            "Subject = " + Quoted(s.Subject) + " names nothing: " + c.name + " always reads 0" +
                (array ? " (an entry number 0..255 without a decimal point must follow)"
                       : " (use " + SubjectKeywords() + ")"));
    } else if (subject.kind() != Subject::kVehicle && subject.index() > subject.maxIndex()) {
        Add(false, "max-index-below-subject", Locate(c.profile, "Advanced", "MaxArrayIndex"),
            "MaxArrayIndex " + std::to_string(subject.maxIndex()) + " is below the entry " +
                std::to_string(subject.index()) + " that " + c.name +
                " reads: it reads 0 every frame");
    }
}

// Its calibration points.
void Checker::CheckTablePoints(const GaugeUnderCheck& c,
                               const std::vector<std::pair<double, double>>& points) {
    const GaugeSummary& gauge = c.summary;
    if (gauge.table.found && points.empty()) {
        Add(true, "table-empty", c.profile.table, 0,
            "the table holds no calibration point: the needle stands at 180 degrees whatever "
            "the value");
    } else if (points.size() == 1) {
        Add(true, "table-single-point", c.profile.table, 0,
            "the table holds a single calibration point: at least two are needed, the needle "
            "stands at 180 degrees whatever the value");
    } else if (points.size() > 2) {
        bool rises = false;
        bool falls = false;
        for (std::size_t i = 1; i < points.size(); ++i) {
            rises = rises || points[i].second > points[i - 1].second;
            falls = falls || points[i].second < points[i - 1].second;
        }
        if (rises && falls) {
            Add(false, "table-not-monotonic", c.profile.table, 0,
                "the angles rise and fall as the value grows: the needle turns back inside the "
                "table");
        }
    }
}

// Where it draws.
void Checker::CheckDrawing(const GaugeUnderCheck& c) {
    const GaugeSummary& gauge = c.summary;
    const SettingsModel& s = c.settings;
    const bool hasNeedle = IsHostArrayIndex(gauge.needle);
    if (!gauge.elliptic) {
        if (!hasNeedle) {
            Add(true, "needle-out-of-range", Locate(c.profile, "PanelIndex", "Needle"),
                "Needle = " + std::to_string(gauge.needle) +
                    " is outside the panel entries 0..255: " + c.name + " is never drawn");
        }
        if (s.NaturalFreq > 0.0) {
            Add(false, "damping-not-elliptic", Locate(c.profile, "Damping", "NaturalFreq"),
                "damping acts only on an elliptic gauge (Division 2 or more): " + c.name +
                    " is a plain needle and moves undamped");
        }
    } else {
        const Where division = Locate(c.profile, "Ellipse", "Division");
        if (gauge.entries.empty()) {
            Add(true, "no-division-entry", division,
                "Division = " + std::to_string(s.Division) + " makes " + c.name +
                    " elliptic, but none of its division entries (Ellipse0..) lies in 0..255: "
                    "it is never drawn");
        } else {
            double lower = 0.0;
            const bool round = gauge.divisionTable.size() == 1;
            for (std::size_t i = 0; i < gauge.divisionTable.size(); ++i) {
                const auto& [bound, entry] = gauge.divisionTable[i];
                const int k = round ? gauge.divisionCount - 1 : static_cast<int>(i);
                if (!IsHostArrayIndex(entry)) {
                    Add(false, "division-without-entry",
                        Locate(c.profile, "PanelIndex", "Ellipse" + std::to_string(k)),
                        "division " + std::to_string(k) + " has no panel entry (Ellipse" +
                            std::to_string(k) + " = " + std::to_string(entry) +
                            "): the needle vanishes between folded angles " + Rounded(lower, 4) +
                            " and " + Rounded(std::min(bound, 90.0), 4) + " degrees");
                }
                lower = std::min(bound, 90.0);
            }
        }
        if (s.Division > kEllipsePanelCount) {
            Add(false, "division-above-64", division,
                "Division = " + std::to_string(s.Division) +
                    " is more than the 64 division entries: " +
                    std::to_string(gauge.divisionCount) + " divisions are used");
        }
        std::set<int32_t> drawn;
        for (const auto& row : gauge.divisionTable) {
            drawn.insert(row.second);
        }
        for (int k = 0; k < kEllipsePanelCount; ++k) {
            const int32_t entry = s.Ellipse[k];
            if (IsHostArrayIndex(entry) && drawn.count(entry) == 0) {
                Add(false, "ellipse-entry-unused",
                    Locate(c.profile, "PanelIndex", "Ellipse" + std::to_string(k)),
                    "Ellipse" + std::to_string(k) + " = " + std::to_string(entry) +
                        " is never drawn: " +
                        (k >= gauge.divisionCount
                             ? "Division " + std::to_string(s.Division) +
                                   " uses Ellipse0..Ellipse" +
                                   std::to_string(gauge.divisionCount - 1)
                             : "with Flattening 0 (a round dial) only Ellipse" +
                                   std::to_string(gauge.divisionCount - 1) + " is drawn"));
            }
        }
        if (hasNeedle) {
            Add(false, "needle-ignored", Locate(c.profile, "PanelIndex", "Needle"),
                "Needle = " + std::to_string(gauge.needle) + " is ignored: elliptic " + c.name +
                    " draws on its Ellipse entries");
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
        Add(false, "vibration-drops-sign", Locate(c.profile, "Vibration", "Amplitude"),
            "the tremble works on the magnitude: " + c.name + " shows a negative " + gauge.subject +
                " value as a positive one");
    }
    if ((s.Amplitude != 0.0) != (s.Period != 0.0)) {
        const bool amplitudeSet = s.Amplitude != 0.0;
        Add(false, "vibration-half-set",
            Locate(c.profile, "Vibration", amplitudeSet ? "Amplitude" : "Period"),
            std::string("the tremble is off: ") + (amplitudeSet ? "Amplitude" : "Period") +
                " is set but " + (amplitudeSet ? "Period" : "Amplitude") + " is 0");
    }
}

void Checker::CheckGaugeSet(const CMirevane& gauges, const Profile& main) {
    const SettingsModel& s = *main.settings;
    for (int a = 0; a < kDeveloperKeyCount; ++a) {
        const int32_t key = gauges.keyBindings()[a];
        report_.keys.push_back({kDeveloperActions[a].name, s.DeveloperKeys[a], key});
        const Where where = Locate(main, "KeyIndex", kDeveloperActions[a].name);
        if (key < 0) {
            Add(false, "key-binds-nothing", where,
                std::string(kDeveloperActions[a].name) + " = " + Quoted(s.DeveloperKeys[a]) +
                    " names no host key: the action cannot be reached (key names: " +
                    HostKeyNameList() + ")");
        }
        for (int b = 0; b < a; ++b) {
            if (key >= 0 && gauges.keyBindings()[b] == key) {
                Add(false, "key-bound-twice", where,
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
        Add(false, "developer-mode-enabled", Locate(main, "DeveloperMode", "Enabled"),
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
        Add(false, "panel-written-twice", later.path, 0,
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
        Add(false, "reads-later-entry",
            Locate(profiles_[static_cast<std::size_t>(g)], "SubjectKey", "Subject"),
            "gauge " + std::to_string(g) + " reads panel entry " + std::to_string(subject.index()) +
                (writer == g ? ", which it writes itself"
                             : ", which gauge " + std::to_string(writer) + " writes later") +
                " in the frame: it sees the value of the frame before");
    }
}

void Checker::Run(const std::string& path) {
    report_.path = path;
    const LibraryPath parts = LibraryPath::Split(path);
    report_.mainProfile = parts.MainProfile();
    report_.fallbackFound = platform::PathExists(report_.fallbackProfile);
    report_.mainFound = platform::PathExists(report_.mainProfile);
    if (!report_.mainFound) {
        Add(true, "no-main-profile", report_.mainProfile, 0,
            "main profile not found: the plug-in builds no gauge" +
                NotFoundHint(report_.mainProfile));
        return;
    }

    CMirevane gauges;
    gauges.Load(path);

    Profile main;
    main.path = report_.mainProfile;
    main.table = parts.MainTable();
    main.settings = std::make_unique<SettingsModel>();
    main.settings->ReadProfile(SettingsModel::kFallbackProfile);
    main.settings->ReadProfile(main.path);
    main.main = true;
    profiles_.push_back(std::move(main));
    const SettingsModel& mainSettings = *profiles_.front().settings;
    for (int k = 0; k < kFurtherGaugeCount; ++k) {
        const std::string& name = mainSettings.Gauge[k];
        const std::string base = parts.ModuleDirectory() + name;
        auto settings = std::make_unique<SettingsModel>();
        settings->ReadProfile(SettingsModel::kFallbackProfile);
        if (settings->ReadProfile(base + ".ini")) {
            Profile further;
            further.path = base + ".ini";
            further.table = base + ".csv";
            further.settings = std::move(settings);
            profiles_.push_back(std::move(further));
        } else if (!SameName(name, "null")) {
            Add(false, "gauge-file-not-found",
                Locate(profiles_.front(), "FileName", "Gauge" + std::to_string(k)),
                "Gauge" + std::to_string(k) + " = " + Quoted(name) + ": " + base +
                    ".ini not found, no gauge is built for it" + NotFoundHint(base + ".ini"));
        }
    }
    if (static_cast<int32_t>(profiles_.size()) != gauges.gaugeCount()) {
        Add(true, "internal", path, 0,
            "the check found " + std::to_string(profiles_.size()) +
                " gauge files but the plug-in built " + std::to_string(gauges.gaugeCount()) +
                " gauges: please report this");
        return;
    }

    if (report_.fallbackFound) {
        SettingsModel fallback;
        fallback.ReadProfile(SettingsModel::kFallbackProfile);
        CheckProfileLines(report_.fallbackProfile, fallback, false);
    }
    std::set<std::string> scanned;
    for (const Profile& profile : profiles_) {
        if (scanned.insert(profile.path).second) {
            CheckProfileLines(profile.path, *profile.settings, !profile.main);
        }
    }
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        CheckGauge(gauges, g, profiles_[static_cast<std::size_t>(g)]);
    }
    CheckGaugeSet(gauges, profiles_.front());

    // In file order, then line by line, as an editor would walk through them.
    std::vector<std::string> files;
    for (const Diagnostic& d : report_.diagnostics) {
        if (std::find(files.begin(), files.end(), d.file) == files.end()) {
            files.push_back(d.file);
        }
    }
    std::stable_sort(report_.diagnostics.begin(), report_.diagnostics.end(),
                     [&files](const Diagnostic& a, const Diagnostic& b) {
                         const auto fa = std::find(files.begin(), files.end(), a.file);
                         const auto fb = std::find(files.begin(), files.end(), b.file);
                         return fa != fb ? fa < fb : a.line < b.line;
                     });
}

} // namespace

int CheckReport::errors() const {
    return static_cast<int>(std::count_if(diagnostics.begin(), diagnostics.end(),
                                          [](const Diagnostic& d) { return d.error; }));
}

int CheckReport::warnings() const {
    return static_cast<int>(diagnostics.size()) - errors();
}

CheckReport RunCheck(const std::string& path) {
    CheckReport report;
    Checker(report).Run(path);
    return report;
}

} // namespace mirevane::tool
