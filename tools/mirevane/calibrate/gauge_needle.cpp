#include "calibrate/gauge_needle.h"

#include "common/number_text.h"
#include "common/tool_error.h"
#include "dial/needle_convention.h"

#include <algorithm>
#include <cmath>

namespace mirevane::tool {
namespace {

constexpr const char* kCode = "calibrate-panel-needle";
constexpr const char* kElsewhere =
    ": calibration on the panel picture takes the hub and the screen convention from the "
    "gauge's needle (or give --no-panel, --hub and --angles to calibrate on another picture)";

std::string EntriesText(const std::vector<int32_t>& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += (i == 0                    ? "ats"
                 : i + 1 == entries.size() ? " and ats"
                                           : ", ats") +
                std::to_string(entries[i]);
    }
    return text.empty() ? "no panel entry" : text;
}

InputError At(const PanelFile& panel, PanelSpot spot, const std::string& message) {
    return InputError(panel.path, spot.line, spot.column, message + kElsewhere, kCode);
}

std::string PointText(PanelPoint p) {
    return Shortest(p.x) + ", " + Shortest(p.y);
}

// Nothing when the needle is fit to calibrate on; else why not, located.
void RefuseUnfit(const PanelFile& panel, const PanelElement& needle) {
    const std::string name = "the needle on " + needle.subject.text;
    if (!needle.function.empty()) {
        throw At(panel, needle.SpotOf("function"),
                 name + " is drawn by a Function, which the tool does not evaluate");
    }
    const NeedleMapping& m = needle.mapping;
    const double perThousand = m.DegreesPerUnit() * 1000.0;
    if (!std::isfinite(perThousand) || perThousand == 0.0) {
        throw At(panel, needle.section,
                 name + " does not turn with its value (" +
                     (m.maximum == m.minimum ? "Minimum equals Maximum"
                                             : "InitialAngle equals LastAngle") +
                     ")");
    }
    if (!m.TurnsOneDegreePerThousand()) {
        throw At(panel, needle.section,
                 name + " turns " + Rounded(perThousand, 6) +
                     " degrees per 1000 units (InitialAngle " + Shortest(m.initialAngle) +
                     " to LastAngle " + Shortest(m.lastAngle) + " over Minimum " +
                     Shortest(m.minimum) + " to Maximum " + Shortest(m.maximum) +
                     "), and the plug-in writes 1000 units per degree");
    }
}

std::string Where(const PanelFile& panel, const PanelElement& needle) {
    return panel.path + ":" + std::to_string(needle.section.line);
}

} // namespace

std::string ConventionText(const AngleConvention& convention) {
    // zeroDegrees is clockwise from right; people read dials from up.
    double fromUp = std::remainder(convention.zeroDegrees + 90.0, 360.0) + 0.0;
    if (fromUp == -180.0) {
        fromUp = 180.0;
    }
    const std::string sense = convention.sense > 0 ? "clockwise" : "anticlockwise";
    return "angle 0 at " + Shortest(std::round(fromUp * 1e6) / 1e6 + 0.0) +
           " degrees clockwise from up, growing " + sense;
}

bool SameConvention(const AngleConvention& a, const AngleConvention& b) {
    return a.sense == b.sense &&
           std::fabs(std::remainder(a.zeroDegrees - b.zeroDegrees, 360.0)) < 1e-9;
}

std::string GaugeNeedle::Said() const {
    return "the needle at " + at + " (Location " + Shortest(hub.x) + ", " + Shortest(hub.y) + "; " +
           ConventionText(convention) + ")";
}

GaugeNeedle FindGaugeNeedle(const PanelFile& panel, int gauge,
                            const std::vector<int32_t>& entries) {
    const PanelElement* first = nullptr;
    GaugeNeedle found;
    for (const PanelElement& e : panel.elements) {
        if (e.kind != PanelElementKind::kNeedle ||
            std::find(entries.begin(), entries.end(), e.subject.entry) == entries.end()) {
            continue;
        }
        RefuseUnfit(panel, e);
        const AngleConvention convention = *ConventionOfNeedle(e.mapping);
        if (first == nullptr) {
            first = &e;
            found = {{e.location.x, e.location.y}, convention, Where(panel, e), e.order};
            continue;
        }
        // One hub and one convention, or the needle jumps where the images change.
        if (e.location.x != first->location.x || e.location.y != first->location.y) {
            throw At(panel, e.SpotOf("location"),
                     "the needle on " + e.subject.text + " turns about " + PointText(e.location) +
                         ", the one on " + first->subject.text + " at " + Where(panel, *first) +
                         " about " + PointText(first->location) + ": one gauge has one hub");
        }
        if (!SameConvention(convention, found.convention)) {
            throw At(panel, e.section,
                     "the needle on " + e.subject.text + " has " + ConventionText(convention) +
                         ", the one on " + first->subject.text + " at " + Where(panel, *first) +
                         " " + ConventionText(found.convention) +
                         ": the images of one gauge need one mapping");
        }
    }
    if (first == nullptr) {
        throw At(panel, {},
                 "gauge " + std::to_string(gauge) + " writes " + EntriesText(entries) +
                     ", and no [Needle] of the panel reads " +
                     (entries.size() == 1 ? "it" : "any of them"));
    }
    return found;
}

} // namespace mirevane::tool
