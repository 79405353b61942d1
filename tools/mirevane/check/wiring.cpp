// check: the entries the gauges write against the elements of the panel file that read them.
// Every finding works from the values the plug-in writes (GaugeWrites: the 180 degrees added,
// an elliptic gauge's drawn angle and parking value), not from the table's angles.
#include "check/context.h"

#include "check/gauge_writes.h"
#include "check/length_order.h"
#include "common/gauge_entries.h"
#include "common/number_text.h"
#include "panel/panel_picture.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace mirevane::tool {
namespace {

std::string Ats(int32_t entry) {
    return "ats" + std::to_string(entry);
}

std::string Gauge(int32_t g) {
    return "gauge " + std::to_string(g);
}

// The key of the profile that gives gauge g the entry: "Needle", "Ellipse3".
std::string EntryKey(const CMirevane& gauges, int32_t g, int32_t entry) {
    if (!gauges.isElliptic()[g]) {
        return "Needle";
    }
    const std::vector<int32_t>& entries = gauges.ellipses()[g].panelIndices();
    const auto k = std::find(entries.begin(), entries.end(), entry) - entries.begin();
    return "Ellipse" + std::to_string(k);
}

// A number of the panel file or of what the plug-in writes, as a person writes it: 300000, not
// 3e+05.
std::string Plain(double value) {
    return Rounded(value, 12);
}

std::string Point(const PanelPoint& p) {
    return Plain(p.x) + ", " + Plain(p.y);
}

// An elliptic gauge's divisions that draw, with the first needle of the panel on each entry.
struct OvalImage {
    int32_t division = 0;
    int32_t entry = -1;
    const PanelElement* needle = nullptr;
};

std::vector<OvalImage> OvalImages(const CMirevane& gauges, int32_t g, const PanelFile& panel) {
    const CEllipseGauge& ellipse = gauges.ellipses()[g];
    const std::vector<int32_t> written = EntriesWrittenBy(gauges, g);
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(ellipse.divisionCount()),
                                             ellipse.panelIndices().size());
    std::vector<OvalImage> images;
    for (std::size_t k = 0; k < count; ++k) {
        const int32_t entry = ellipse.panelIndices()[k];
        const PanelElement* needle = panel.NeedleOn(entry);
        if (needle != nullptr && std::binary_search(written.begin(), written.end(), entry)) {
            images.push_back({static_cast<int32_t>(k), entry, needle});
        }
    }
    return images;
}

// The Location most of the images share; at a tie, the first one's.
PanelPoint CommonHub(const std::vector<OvalImage>& images) {
    PanelPoint hub = images.front().needle->location;
    long best = 0;
    for (const OvalImage& image : images) {
        const PanelPoint at = image.needle->location;
        const long count = std::count_if(images.begin(), images.end(), [&at](const OvalImage& i) {
            return i.needle->location.x == at.x && i.needle->location.y == at.y;
        });
        if (count > best) {
            best = count;
            hub = at;
        }
    }
    return hub;
}

} // namespace

void Checker::CheckWiring(const CMirevane& gauges, const PanelFile& panel,
                          const PanelPictures& pictures) {
    // The gauge whose value stays in each entry: the last to write it (two writers are a
    // warning of their own).
    std::map<int32_t, int32_t> writer;
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        for (const int32_t entry : EntriesWrittenBy(gauges, g)) {
            writer[entry] = g;
        }
    }
    std::map<int32_t, int> readers;
    for (const PanelElement& element : panel.elements) {
        if (element.subject.entry >= 0) {
            ++readers[element.subject.entry];
        }
    }
    for (const auto& [entry, g] : writer) {
        if (readers.count(entry) == 0) {
            const std::string key = EntryKey(gauges, g, entry);
            Add("panel-entry-undrawn", LocateEntry(gauges, g, entry),
                Gauge(g) + " writes panel entry " + std::to_string(entry) + " (" + key +
                    "), and no element of " + panel.path + " reads " + Ats(entry) + ": " +
                    (gauges.isElliptic()[g] ? Gauge(g) + "'s needle vanishes wherever it is drawn "
                                                         "with that image"
                                            : Gauge(g) + "'s needle is never drawn"));
        }
    }
    for (const PanelElement& element : panel.elements) {
        const int32_t entry = element.subject.entry;
        if (entry < 0) {
            continue;
        }
        const auto w = writer.find(entry);
        const std::string subject = "Subject = " + element.subject.text;
        if (w == writer.end()) {
            Add("panel-entry-foreign", At(panel, element.subjectSpot),
                subject + ": no gauge of this plug-in writes panel entry " + std::to_string(entry) +
                    "; another plug-in may");
        } else if (element.kind != PanelElementKind::kNeedle) {
            Add("panel-entry-shared", At(panel, element.subjectSpot),
                std::string("the ") + PanelElementName(element.kind) + " reads " + Ats(entry) +
                    ", which " + Gauge(w->second) +
                    " writes as a needle angle in thousandths of a degree: it shows that angle, "
                    "not the gauge's value");
        } else {
            CheckWiredNeedle(gauges, w->second, panel, element);
        }
    }
    for (int32_t g = 0; g < gauges.gaugeCount(); ++g) {
        if (gauges.isElliptic()[g] && EntriesWrittenBy(gauges, g).size() > 1) {
            CheckOvalImages(gauges, g, panel, pictures);
        }
    }
}

void Checker::CheckWiredNeedle(const CMirevane& gauges, int32_t g, const PanelFile& panel,
                               const PanelElement& needle) {
    const std::string on = "the needle on " + Ats(needle.subject.entry);
    const NeedleMapping& m = needle.mapping;
    // A Function replaces the mapping, and a mapping of the wrong scale makes every range
    // check after it meaningless: each is the one finding.
    if (!needle.function.empty()) {
        Add("panel-needle-function", At(panel, needle.SpotOf("function")),
            on + " is drawn by Function = " + needle.function +
                ", which the tool does not evaluate: its scale and Backstop against " + Gauge(g) +
                "'s values are not checked");
    } else if (!m.TurnsOneDegreePerThousand()) {
        const std::string mapping = "Minimum " + Plain(m.minimum) + ", Maximum " +
                                    Plain(m.maximum) + ", InitialAngle " + Plain(m.initialAngle) +
                                    ", LastAngle " + Plain(m.lastAngle);
        const double perDegree = m.DegreesPerUnit() * 1000.0;
        const std::string turns =
            !std::isfinite(perDegree) ? " does not turn: Maximum equals Minimum"
            : perDegree == 0.0        ? " does not turn: LastAngle equals InitialAngle"
                               : " turns " + Rounded(perDegree, 6) + " degrees for every degree " +
                                     Gauge(g) + " writes";
        Add("panel-needle-scale", At(panel, needle.SpotOf("maximum")),
            on + turns + " (" + mapping + "); the plug-in writes 1000 units per degree: " +
                "Maximum = " + Plain(m.minimum + 1000.0 * (m.lastAngle - m.initialAngle)) +
                " turns it 1 degree per degree");
    } else if (m.backstop) {
        CheckBackstop(gauges, g, panel, needle);
    }
    if (needle.HostDamps() && gauges.isElliptic()[g]) {
        const auto images = EntriesWrittenBy(gauges, g).size();
        const double own = gauges.ellipses()[g].damping().naturalFrequency();
        const std::string plugin =
            own > 0.0 ? Gauge(g) + " damps it already ([Damping] NaturalFreq " + Plain(own) + ")"
                      : "";
        if (images > 1 || !plugin.empty()) {
            Add("panel-double-damping", At(panel, needle.SpotOf("naturalfreq")),
                "the host damps " + on + " itself (NaturalFreq " + Plain(*needle.naturalFrequency) +
                    ", DampingRatio " + Plain(*needle.dampingRatio) + ")" +
                    (images > 1 ? ", and " + Gauge(g) + " swaps its needle between " +
                                      std::to_string(images) +
                                      " images: the host's damping runs on each image "
                                      "separately, so the needle lags and jumps where it "
                                      "changes image" +
                                      (plugin.empty() ? "" : "; " + plugin)
                                : ": " + plugin + ", and is damped twice"));
        }
    }
}

void Checker::CheckBackstop(const CMirevane& gauges, int32_t g, const PanelFile& panel,
                            const PanelElement& needle) {
    const int32_t entry = needle.subject.entry;
    NeedleMapping free = needle.mapping;
    free.backstop = false;
    const double lo = std::min(free.initialAngle, free.lastAngle);
    const double hi = std::max(free.initialAngle, free.lastAngle);
    // A millionth of a degree: the table's own ends map onto the backstop within rounding.
    const auto clipped = [&](int32_t value) {
        const double angle = free.ScreenDegrees(value);
        return angle < lo - 1e-6 || angle > hi + 1e-6;
    };
    const GaugeWrites writes(gauges, g);
    const std::vector<ValueRun> runs = RunsWhere(
        writes, [&](const PanelWrite& w) { return w.entry == entry && clipped(w.value); });
    const std::optional<int32_t> parked = writes.ParkedOn(entry);
    const bool parkedClipped = parked && clipped(*parked);
    if (runs.empty() && !parkedClipped) {
        return;
    }
    const std::string unit = report_.gauges[static_cast<std::size_t>(g)].unit;
    std::string values;
    for (const ValueRun& run : runs) {
        values += (values.empty() ? "" : ", ") +
                  (run.from == run.to ? Rounded(run.from, 6)
                                      : Rounded(run.from, 6) + " to " + Rounded(run.to, 6)) +
                  (unit.empty() ? "" : " " + unit) + " (written " +
                  std::to_string(writes.At(run.from).value) +
                  (run.from == run.to ? "" : " to " + std::to_string(writes.At(run.to).value)) +
                  ")";
    }
    if (parkedClipped) {
        values += (values.empty() ? "" : ", and ") + std::string("its parking value ") +
                  std::to_string(*parked) + " (StandbyAngle " +
                  Plain(gauges.ellipses()[g].standbyAngle()) + ")";
    }
    Add("panel-backstop-clips", At(panel, needle.SpotOf("backstop")),
        "Backstop holds the needle on " + Ats(entry) + " between " + Plain(lo) + " and " +
            Plain(hi) + " degrees, and " + Gauge(g) + " writes beyond them for " +
            (runs.empty() ? "" : "values ") + values + ": the needle stops at the backstop there");
}

void Checker::CheckOvalImages(const CMirevane& gauges, int32_t g, const PanelFile& panel,
                              const PanelPictures& pictures) {
    const std::vector<OvalImage> images = OvalImages(gauges, g, panel);
    if (images.size() < 2) {
        return;
    }
    const auto role = [&](const OvalImage& image) {
        return Ats(image.entry) + " (Ellipse" + std::to_string(image.division) + " of " + Gauge(g) +
               ")";
    };
    const PanelPoint hub = CommonHub(images);
    for (const OvalImage& image : images) {
        const PanelPoint at = image.needle->location;
        if (at.x != hub.x || at.y != hub.y) {
            Add("panel-hub-differs", At(panel, image.needle->SpotOf("location")),
                "the needle on " + role(image) + " turns about " + Point(at) + ", the other " +
                    "images of " + Gauge(g) + " about " + Point(hub) +
                    ": the needle jumps where it passes onto this image");
        }
    }

    const CEllipseGauge& ellipse = gauges.ellipses()[g];
    std::vector<std::optional<double>> reaches;
    for (const OvalImage& image : images) {
        const auto at = static_cast<std::size_t>(image.needle->order);
        const PanelPicture* p = at < pictures.elements.size() ? &pictures.elements[at] : nullptr;
        // A picture missing or unreadable has its own finding; its length is passed over.
        const bool decoded = p != nullptr && (p->state == PictureState::kFound ||
                                              p->state == PictureState::kOtherCase);
        if (decoded && p->picture.width > 0) {
            const NeedlePlacement placement = PlaceNeedle(*image.needle, p->picture);
            reaches.push_back(OpaqueReach(p->picture, placement.origin, placement.scale));
        } else {
            reaches.push_back(std::nullopt);
        }
    }
    const int32_t n = ellipse.divisionCount();
    const double b = 1.0 - ellipse.flattening();
    const auto meant = [&](const OvalImage& image) {
        return Rounded(CEllipseGauge::NeedleLength(image.division, n, b), 4);
    };
    for (const auto& [earlier, later] : LengthOrderBreaks(reaches)) {
        const OvalImage& a = images[earlier];
        const OvalImage& z = images[later];
        Add("panel-image-lengths", At(panel, z.needle->dayImage.spot),
            "the image on " + role(z) + ", meant " + meant(z) + " of the longest, reaches " +
                Rounded(*reaches[later], 4) + " units from its pivot, as far as or farther than " +
                "the image on " + role(a) + ", meant " + meant(a) + ", at " +
                Rounded(*reaches[earlier], 4) + ": " + Gauge(g) +
                " draws with its images longest first (Ellipse0) to shortest (Ellipse" +
                std::to_string(n - 1) + "), so its needle misses the oval's rim");
    }
}

} // namespace mirevane::tool
