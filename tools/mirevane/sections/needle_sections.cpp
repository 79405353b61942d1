#include "sections/needle_sections.h"

#include "check/check.h"
#include "common/number_text.h"
#include "dial/geometry.h"
#include "gauges/c_mirevane.h"

#include <cmath>
#include <filesystem>
#include <sstream>

namespace mirevane::tool {
namespace {

// The plug-in writes angles in thousandths of a degree: a whole turn is 360000 units.
constexpr double kWholeTurn = 360000.0;

const PanelElement* NeedleOn(const std::optional<PanelFile>& panel, int32_t entry) {
    return panel ? panel->NeedleOn(entry) : nullptr;
}

// A whole turn over 0..360000 from the convention's direction of angle 0, in its sense.
NeedleMapping ConventionMapping(const AngleConvention& convention) {
    // zeroDegrees is clockwise from right; the host measures from up.
    const double zeroFromUp = std::remainder(convention.zeroDegrees + 90.0, 360.0);
    return {zeroFromUp, zeroFromUp + convention.sense * 360.0, 0.0, kWholeTurn, false};
}

std::string FileName(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

std::string PointText(PanelPoint p) {
    return Shortest(p.x) + ", " + Shortest(p.y);
}

// One key of a panel needle, as the panel writes it, under its usual name.
void KeptKey(std::ostringstream& out, const PanelElement& needle, const char* lower,
             const char* name) {
    const auto key = needle.keys.find(lower);
    if (key != needle.keys.end()) {
        out << name << " = " << key->second.value << "\n";
    }
}

struct SectionPlace {
    const PanelElement* needle = nullptr; // the panel's needle on this entry, if any
    std::optional<PanelPoint> sharedHub;  // an elliptic gauge's hub from its other images
    bool damped = false;                  // the plug-in damps it: the host must not
};

void PlaceKeys(std::ostringstream& out, const SectionPlace& place) {
    if (place.needle != nullptr && place.needle->keys.count("location") != 0) {
        KeptKey(out, *place.needle, "location", "Location");
    } else if (place.sharedHub) {
        out << "Location = " << PointText(*place.sharedHub)
            << " ; the hub of this gauge's other images\n";
    } else {
        out << "Location = 0, 0 ; placeholder: the dial's hub in the panel picture, in pixels\n";
    }
    if (place.needle == nullptr || place.needle->dayImage.name.empty()) {
        out << "DaytimeImage = needle.png ; placeholder: the needle picture, drawn pointing up\n";
    }
    if (place.needle == nullptr) {
        return;
    }
    static constexpr const char* kKept[][2] = {
        {"daytimeimage", "DaytimeImage"},
        {"nighttimeimage", "NighttimeImage"},
        {"transparentcolor", "TransparentColor"},
        {"color", "Color"},
        {"origin", "Origin"},
        {"radius", "Radius"},
        {"layer", "Layer"},
        {"backstop", "Backstop"},
    };
    for (const auto& [lower, name] : kKept) {
        KeptKey(out, *place.needle, lower, name);
    }
    if (!place.damped) {
        KeptKey(out, *place.needle, "naturalfreq", "NaturalFreq");
        KeptKey(out, *place.needle, "dampingratio", "DampingRatio");
    }
}

// The panel's own mapping when it turns 1 degree per 1000 units (its offset and sense are the
// cab's choice); the convention's otherwise, saying what it replaces.
NeedleMapping MappingKeys(std::ostringstream& out, const PanelElement* needle,
                          const AngleConvention& convention) {
    NeedleMapping mapping = ConventionMapping(convention);
    if (needle != nullptr && needle->mapping.TurnsOneDegreePerThousand()) {
        mapping = needle->mapping;
    } else if (needle != nullptr) {
        out << "; replaces a mapping that turns "
            << Rounded(needle->mapping.DegreesPerUnit() * 1000.0, 4)
            << " degrees per table degree\n";
    }
    out << "Minimum = " << Shortest(mapping.minimum) << "\nMaximum = " << Shortest(mapping.maximum)
        << "\nInitialAngle = " << Shortest(mapping.initialAngle)
        << "\nLastAngle = " << Shortest(mapping.lastAngle) << "\n";
    return mapping;
}

NeedleMapping Section(std::ostringstream& out, int32_t entry, const SectionPlace& place,
                      const AngleConvention& convention) {
    out << "[Needle]\nSubject = ats" << entry << "\n";
    PlaceKeys(out, place);
    if (place.needle != nullptr && !place.needle->function.empty()) {
        out << "; Function left out: it would replace Subject and the mapping below\n";
    }
    return MappingKeys(out, place.needle, convention);
}

void PlainGauge(std::ostringstream& out, const SectionsRequest& r, const GaugeSummary& g) {
    out << "\n; gauge " << g.number << ", " << FileName(g.profile) << ": " << g.subject
        << ", a plain needle\n; entry " << g.needle
        << " holds (table angle + 180) * 1000: a table angle of 0 is written as 180000\n";
    Section(out, g.needle, {NeedleOn(r.panel, g.needle), std::nullopt, false}, r.convention);
}

void EllipticGauge(std::ostringstream& out, const SectionsRequest& r, const GaugeSummary& g,
                   const DialGeometry& dial) {
    out << "\n; gauge " << g.number << ", " << FileName(g.profile) << ": " << g.subject
        << ", an elliptic gauge on " << Counted(static_cast<int>(dial.images().size()), "image")
        << "\n; The image that shows the needle holds its drawn angle * 1000, from "
        << Shortest((180.0 + g.rotateAngle) * 1000.0) << " to "
        << Shortest((540.0 + g.rotateAngle) * 1000.0)
        << "\n; (a whole turn on from a plain needle's values: the same directions); the others\n"
           "; park at StandbyAngle * 1000 = "
        << Shortest(g.standbyAngle * 1000.0)
        << ". The plug-in damps this needle: no NaturalFreq\n"
           "; or DampingRatio here. All its images turn about one Location.\n";
    std::optional<PanelPoint> hub;
    for (const NeedleImage& image : dial.images()) {
        const PanelElement* needle = NeedleOn(r.panel, image.entry);
        if (needle != nullptr && needle->keys.count("location") != 0) {
            hub = needle->location;
            break;
        }
    }
    for (const NeedleImage& image : dial.images()) {
        if (image.entry < 0 || image.entry > 255) {
            continue;
        }
        out << "; entry " << image.entry << ": its picture reaches " << Rounded(image.length, 4)
            << " of the major semi-axis from the pivot\n";
        const NeedleMapping mapping =
            Section(out, image.entry, {NeedleOn(r.panel, image.entry), hub, true}, r.convention);
        out << "; parked, this image is drawn at "
            << Rounded(mapping.ScreenDegrees(g.standbyAngle * 1000.0), 6)
            << " degrees (clockwise from up)\n";
    }
}

} // namespace

std::string NeedleSections(const SectionsRequest& r) {
    const CheckReport report = RunCheck(r.pluginPath);
    CMirevane gauges;
    gauges.Load(r.pluginPath);
    std::ostringstream out;
    out << "; [Needle] sections for the panel entries " << r.cabName
        << " writes,\n; to paste into the cab's panel file. The plug-in writes angles in "
           "thousandths of a degree:\n; each needle turns 1 degree per 1000 units.\n";
    if (r.panel) {
        out << "; Needles of " << r.panel->path
            << " keep their place, pictures and offset;\n; the others turn as --angles "
            << r.conventionName << ".\n";
    } else {
        out << "; Offsets as --angles " << r.conventionName << "; replace the placeholders.\n";
    }
    if (report.gauges.empty()) {
        out << "; The plug-in builds no gauge from these files: `mirevane check` says why.\n";
    }
    for (const GaugeSummary& g : report.gauges) {
        if (g.entries.empty()) {
            out << "\n; gauge " << g.number << ", " << FileName(g.profile)
                << ": writes no panel entry (`mirevane check` says why)\n";
        } else if (g.elliptic) {
            EllipticGauge(out, r, g, DialGeometry(gauges, g.number));
        } else {
            PlainGauge(out, r, g);
        }
    }
    return out.str();
}

} // namespace mirevane::tool
