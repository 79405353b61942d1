// `mirevane check`: loads the cab with the plug-in's own Load, keeps what Load reported, and
// runs the checks of profile lines, tables, drawing and the gauge set on it.
#include "check/check.h"

#include "check/context.h"
#include "common/diagnostics.h"
#include "common/tool_error.h"
#include "dynamics/angle_units.h"
#include "gauges/load_observer.h"
#include "platform/platform.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace mirevane::tool {
namespace {

// A file the check could not find may exist under another letter case, in its name or in a
// folder on the way to it: Windows would open it, a case-sensitive file system does not.
// Returns the path as it stands on disk from the first part that differs ("Cab.ini",
// "Meters/ammeter.ini"), or "".
std::string OtherCaseName(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path p(platform::FilePath(path));
    fs::path found = p.has_root_path() ? p.root_path() : fs::path();
    fs::path shown;
    bool differs = false;
    std::error_code error;
    for (const fs::path& part : p.relative_path()) {
        const fs::path exact = found / part;
        if (part == "." || part == ".." || fs::exists(exact, error)) {
            found = exact;
            if (differs) {
                shown /= part;
            }
            continue;
        }
        const fs::path folder = found.empty() ? fs::path(".") : found;
        fs::path match;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (SameName(it->path().filename().string(), part.string())) {
                match = it->path().filename();
                break;
            }
        }
        if (match.empty()) {
            return "";
        }
        found /= match;
        shown /= match;
        differs = true;
    }
    return differs && fs::exists(found, error) ? shown.string() : "";
}

// What the plug-in built for gauge g, as the report describes it.
GaugeSummary Summarise(const CMirevane& gauges, int32_t g, const Profile& profile) {
    const Subject& subject = gauges.subjects()[g];
    const CNeedleVibration& vibration = gauges.vibrations()[g];
    const CEllipseGauge& ellipse = gauges.ellipses()[g];
    const SettingsModel& s = profile.settings;
    GaugeSummary gauge;
    static_cast<GaugeDescription&>(gauge) = DescribeGauge(gauges, g);
    gauge.number = g;
    gauge.profile = profile.path;
    gauge.tableFile = profile.table;
    gauge.subjectText = s.Subject;
    gauge.maxIndex = subject.maxIndex();
    gauge.needle = gauges.needlePanelIndex()[g];
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
    gauge.settings = s;
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

} // namespace

bool IsFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(platform::FilePath(path), error);
}

std::string NotFoundHint(const std::string& path) {
    const std::string other = OtherCaseName(path);
    return other.empty() ? ""
                         : " ('" + other +
                               "' differs only in letter case: Windows would read it, this "
                               "tool on a case-sensitive file system does not)";
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string Shortened(const std::string& text) {
    // A control byte of the file (a lone CR, a NUL) shown as \xNN: printed as it is, it
    // would break the report's one-diagnostic-per-line.
    static const char* const kHex = "0123456789ABCDEF";
    std::string shown;
    for (const char c : text.size() <= 40 ? text : text.substr(0, 37)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return text.size() <= 40 ? shown : shown + "...";
}

// What Load reported, kept for the checks: the fallback and main profiles, the further gauge
// files it looked for, and each gauge's profile with the settings it was built from.
class LoadRecord : public LoadObserver {
public:
    explicit LoadRecord(Checker& checker) : checker_(checker) {}

    void FallbackProfile(const std::string& path, bool found) override {
        // As this system writes it: .\Ats.ini on Windows.
        checker_.report_.fallbackProfile = std::filesystem::path(path).make_preferred().string();
        checker_.report_.fallbackFound = found;
    }
    void MainProfile(const std::string& path, bool found) override {
        checker_.report_.mainProfile = path;
        checker_.report_.mainFound = found;
    }
    void FurtherGaugeFile(int key, const std::string& name, const std::string& profilePath,
                          bool found) override {
        if (!found) {
            notFound.push_back({key, name, profilePath});
        }
    }
    void GaugeBuilt(int32_t gauge, const SettingsModel& settings, const std::string& profilePath,
                    const std::string& tablePath) override {
        checker_.profiles_.push_back({profilePath, tablePath, settings, gauge == 0});
    }

    struct Missing {
        int key;
        std::string name;
        std::string profilePath;
    };
    std::vector<Missing> notFound; // in key order

private:
    Checker& checker_;
};

void Checker::Add(const char* code, const Where& where, const std::string& message) {
    report_.diagnostics.push_back(
        {&DiagnosticOf(code), where.file, where.line, where.column, message});
}

const ProfileScan& Checker::Scan(const std::string& path) {
    auto it = scans_.find(path);
    if (it == scans_.end()) {
        it = scans_.emplace(path, ScanProfile(path)).first;
    }
    return it->second;
}

Where Checker::Locate(const Profile& profile, const std::string& section, const std::string& key) {
    const ProfileKeyLine* line = Scan(profile.path).Find(section, key);
    if (line != nullptr && line->hasEquals) {
        return {profile.path, line->line, line->column};
    }
    if (report_.fallbackFound) {
        line = Scan(report_.fallbackProfile).Find(section, key);
        if (line != nullptr && line->hasEquals) {
            return {report_.fallbackProfile, line->line, line->column};
        }
    }
    return {profile.path, 0, 0};
}

void Checker::CheckGauge(const CMirevane& gauges, int32_t g, const Profile& profile) {
    report_.gauges.push_back(Summarise(gauges, g, profile));
    const GaugeUnderCheck c{gauges.subjects()[g], profile.settings, profile, report_.gauges.back(),
                            "gauge " + std::to_string(g)};
    // What a UTF-16 profile or a folder leaves unset is its one error, not a dozen consequences.
    bool unreadable = Scan(profile.path).utf16;
    if (IsFolder(profile.path)) {
        unreadable = true;
        Add("is-a-folder", profile.path, 0,
            "is a folder, not a profile: " + c.name + " has none of its own settings");
    }
    if (!unreadable) {
        CheckSubject(c);
    }
    const TableLines lines = CheckTable(c.summary);
    CheckTablePoints(c, lines, gauges.scales()[g].table());
    if (!unreadable) {
        CheckDrawing(c);
        CheckVibration(c);
        if (c.summary.elliptic) {
            CheckOvalNeedle(c);
        }
    }
}

void Checker::Run(const std::string& path, const PanelReading& panel) {
    report_.path = path;
    CMirevane gauges;
    LoadRecord record(*this);
    gauges.Load(path, &record);
    if (!report_.mainFound) {
        Add("no-main-profile", report_.mainProfile, 0,
            "main profile not found: the plug-in builds no gauge" +
                NotFoundHint(report_.mainProfile));
        return;
    }
    for (const LoadRecord::Missing& missing : record.notFound) {
        if (!SameName(missing.name, "null")) {
            const std::string key = "Gauge" + std::to_string(missing.key);
            const bool extension =
                LowerAscii(missing.name).size() > 4 &&
                LowerAscii(missing.name).rfind(".ini") == missing.name.size() - 4;
            Add("gauge-file-not-found", Locate(profiles_.front(), "FileName", key),
                key + " = " + Quoted(missing.name) + ": " + missing.profilePath +
                    " not found, no gauge is built for it" + NotFoundHint(missing.profilePath) +
                    (extension ? " (the plug-in adds .ini and .csv itself: write " + key + " = " +
                                     missing.name.substr(0, missing.name.size() - 4) + ")"
                               : ""));
        }
    }

    if (report_.fallbackFound) {
        SettingsModel fallback;
        fallback.ReadProfile(SettingsModel::kFallbackProfile);
        CheckProfileLines(report_.fallbackProfile, fallback, false);
    }
    std::set<std::string> scanned;
    for (const Profile& profile : profiles_) {
        if (scanned.insert(profile.path).second) {
            CheckProfileLines(profile.path, profile.settings, !profile.main);
        }
    }
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        CheckGauge(gauges, g, profiles_[static_cast<std::size_t>(g)]);
    }
    CheckGaugeSet(gauges, profiles_.front());
    CheckPanel(gauges, panel);

    // In file order, then line by line, as an editor would walk through them; the panel file
    // last, after the profiles whose entries it draws.
    std::vector<std::string> files;
    for (const Diagnostic& d : report_.diagnostics) {
        if (std::find(files.begin(), files.end(), d.file) == files.end()) {
            files.push_back(d.file);
        }
    }
    std::stable_partition(files.begin(), files.end(),
                          [this](const std::string& file) { return file != report_.panel.path; });
    std::stable_sort(report_.diagnostics.begin(), report_.diagnostics.end(),
                     [&files](const Diagnostic& a, const Diagnostic& b) {
                         const auto fa = std::find(files.begin(), files.end(), a.file);
                         const auto fb = std::find(files.begin(), files.end(), b.file);
                         return fa != fb ? fa < fb : a.line < b.line;
                     });
}

namespace {

int CountOf(const std::vector<Diagnostic>& diagnostics, Severity severity) {
    return static_cast<int>(
        std::count_if(diagnostics.begin(), diagnostics.end(),
                      [severity](const Diagnostic& d) { return d.kind->severity == severity; }));
}

} // namespace

int CheckReport::errors() const {
    return CountOf(diagnostics, Severity::kError);
}

int CheckReport::warnings() const {
    return CountOf(diagnostics, Severity::kWarning);
}

int CheckReport::notes() const {
    return CountOf(diagnostics, Severity::kNote);
}

void RefuseFolderAsPath(const std::string& argument) {
    if (IsFolder(argument)) {
        throw InputError(argument, 0, 0,
                         "is a folder: name the plug-in's library or its main profile in it",
                         "not-a-profile");
    }
}

CheckReport RunCheck(const std::string& path) {
    return RunCheck(path, PanelChoice{});
}

CheckReport RunCheck(const std::string& path, const PanelChoice& panel) {
    return RunCheck(path, ReadPanel(panel));
}

CheckReport RunCheck(const std::string& path, const PanelReading& panel) {
    CheckReport report;
    report.panel = panel.choice;
    Checker(report).Run(path, panel);
    return report;
}

} // namespace mirevane::tool
