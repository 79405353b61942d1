#include "dial/cab_view.h"

#include "common/number_text.h"
#include "dial/data_uri.h"
#include "dial/needle_convention.h"
#include "dial/page_series.h"
#include "gauges/vehicle_quantity.h"
#include "plot/svg_document.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <tuple>

namespace mirevane::tool {
namespace {

// A panel without a readable background still shows its needles: on a field this much wider
// than what they span, at least this large.
constexpr double kFieldMargin = 64.0;
constexpr double kSmallestField = 256.0;
// A needle whose picture cannot be drawn is a line this long, or Radius when it has one.
constexpr double kPlaceholderLength = 48.0;
constexpr const char* kNoPicture = "no DaytimeImage is given";

std::string WhyNot(const PanelPicture& p) {
    switch (p.state) {
    case PictureState::kNone:
        return kNoPicture;
    case PictureState::kMissing:
        return "no such file in any letter case";
    case PictureState::kUnreadable:
    case PictureState::kOutsideFolder:
        return p.reason;
    case PictureState::kFound:
    case PictureState::kOtherCase:
        break;
    }
    return "";
}

bool Readable(const PanelPicture& p) {
    return p.state == PictureState::kFound || p.state == PictureState::kOtherCase;
}

CabPicture Embedded(const PanelPicture& p) {
    CabPicture picture;
    picture.name = p.name;
    if (!Readable(p)) {
        picture.problem = WhyNot(p);
        return picture;
    }
    try {
        picture.dataUri = DataUri("image/png", EncodePng(p.picture));
    } catch (const std::exception& e) {
        picture.problem = e.what(); // decoded but not encoded again: a placeholder all the same
        return picture;
    }
    picture.width = p.picture.width;
    picture.height = p.picture.height;
    return picture;
}

// Two needles share a picture when they name the same file and cut and tint it alike; two
// pictures that cannot be read share a placeholder when their name and reason are the same.
using PictureKey = std::tuple<std::string, std::string, uint32_t, uint32_t>;

uint32_t Packed(PanelColour c) {
    return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | c.blue;
}

PictureKey KeyOf(const PanelPicture& p, const PanelElement& needle) {
    if (!Readable(p)) {
        return {p.name, WhyNot(p), 0, 0};
    }
    return {p.path, "", Packed(needle.transparentColour), Packed(needle.colour)};
}

// Three decimals: a thousandth of a panel unit or a degree is below what a screen shows.
std::string Number(double value) {
    const double rounded = std::round(value * 1000.0) / 1000.0;
    return Shortest(rounded == 0.0 ? 0.0 : rounded);
}

// The tooltip of a placeholder: which picture, and why it is not drawn.
std::string Placeholder(const std::string& what, const CabPicture* p) {
    const std::string why = p == nullptr      ? kNoPicture
                            : p->name.empty() ? p->problem
                                              : p->name + ": " + p->problem;
    return "<title>" + Escaped(what + " " + why) + "</title>";
}

std::string BackgroundSvg(const CabScene& scene) {
    const CabPicture& b = scene.background;
    const std::string size =
        "width=\"" + Number(scene.width) + "\" height=\"" + Number(scene.height) + "\"";
    if (!b.dataUri.empty()) {
        return "<image class=\"cab-background\" " + size + " href=\"" + b.dataUri + "\"/>\n";
    }
    return "<g class=\"cab-background cab-placeholder\"><rect " + size +
           "/><line x1=\"0\" y1=\"0\" x2=\"" + Number(scene.width) + "\" y2=\"" +
           Number(scene.height) + "\"/>" + Placeholder("the panel's picture", &b) + "</g>\n";
}

std::string NeedleSvg(const CabScene& scene, std::size_t index) {
    const CabNeedle& n = scene.needles[index];
    std::string svg = "<g class=\"cab-needle\" data-needle=\"" + std::to_string(index) +
                      "\" data-subject=\"" + Escaped(n.subject) + "\" data-line=\"" +
                      std::to_string(n.section.line) + "\" transform=\"translate(" +
                      Number(n.location.x) + " " + Number(n.location.y) + ")\">\n";
    svg += "<title>" +
           Escaped("[Needle] of line " + std::to_string(n.section.line) + ": " +
                   (n.subject.empty() ? "no Subject" : n.subject)) +
           "</title>\n";
    svg += "<g class=\"cab-turn\" transform=\"rotate(" +
           Number(n.mapping.ScreenDegrees(n.mapping.minimum)) + ")\">";
    const CabPicture* picture =
        n.picture >= 0 ? &scene.pictures[static_cast<std::size_t>(n.picture)] : nullptr;
    if (picture != nullptr && !picture->dataUri.empty()) {
        svg += "<use href=\"#cab-picture-" + std::to_string(n.picture) + "\" transform=\"scale(" +
               Number(n.scale) + ") translate(" + Number(-n.origin.x) + " " + Number(-n.origin.y) +
               ")\"/>";
    } else {
        // Where the needle would point, marked as not its picture.
        const double radius = n.scale * (n.origin.y > 0.0 ? n.origin.y : 0.0);
        svg += "<g class=\"cab-placeholder\"><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"" +
               Number(-(radius > 0.0 ? radius : kPlaceholderLength)) + "\"/><circle r=\"4\"/>" +
               Placeholder("the needle's picture", picture) + "</g>";
    }
    return svg + "</g>\n</g>\n";
}

} // namespace

CabScene BuildCabScene(const PanelFile& panel, const PanelPictures& pictures) {
    CabScene scene;
    scene.panelPath = panel.path;
    scene.filesRead.push_back(panel.path);
    scene.background = Embedded(pictures.background);
    if (!pictures.background.path.empty()) {
        scene.filesRead.push_back(pictures.background.path);
    }
    std::map<PictureKey, int> known;
    for (const PanelElement& e : panel.elements) {
        if (e.kind != PanelElementKind::kNeedle) {
            continue;
        }
        CabNeedle n;
        n.element = e.order;
        n.section = e.section;
        n.subject = e.subject.text;
        n.entry = e.subject.entry;
        n.quantity = e.subject.quantity;
        n.location = e.location;
        n.layer = e.layer;
        n.mapping = e.mapping;
        n.function = !e.function.empty();
        const auto order = static_cast<std::size_t>(e.order);
        const PanelPicture* p =
            order < pictures.elements.size() ? &pictures.elements[order] : nullptr;
        if (p != nullptr && p->state != PictureState::kNone) {
            const auto [at, added] =
                known.emplace(KeyOf(*p, e), static_cast<int>(scene.pictures.size()));
            if (added) {
                scene.pictures.push_back(Embedded(*p));
                if (!p->path.empty()) {
                    scene.filesRead.push_back(p->path);
                }
            }
            n.picture = at->second;
        }
        const NeedlePlacement placement =
            PlaceNeedle(e, p != nullptr && Readable(*p) ? p->picture : Picture{});
        n.origin = placement.origin;
        n.scale = placement.scale;
        scene.needles.push_back(std::move(n));
    }
    std::stable_sort(scene.needles.begin(), scene.needles.end(),
                     [](const CabNeedle& a, const CabNeedle& b) { return a.layer < b.layer; });

    if (!scene.background.dataUri.empty()) {
        scene.width = scene.background.width;
        scene.height = scene.background.height;
    } else {
        for (const CabNeedle& n : scene.needles) {
            scene.width = std::max(scene.width, n.location.x + kFieldMargin);
            scene.height = std::max(scene.height, n.location.y + kFieldMargin);
        }
        scene.width = std::max(scene.width, kSmallestField);
        scene.height = std::max(scene.height, kSmallestField);
    }
    return scene;
}

CabScene ReadCabScene(const std::string& panelPath) {
    const PanelFile panel = ReadPanelFile(panelPath);
    return BuildCabScene(panel, LoadPanelPictures(panel));
}

std::optional<AngleConvention> ConventionOfEntries(const CabScene& scene,
                                                   const std::vector<int32_t>& entries) {
    const CabNeedle* first = nullptr;
    std::optional<AngleConvention> convention;
    for (const CabNeedle& n : scene.needles) {
        if (n.function || std::find(entries.begin(), entries.end(), n.entry) == entries.end() ||
            (first != nullptr && first->element < n.element)) {
            continue;
        }
        if (const std::optional<AngleConvention> own = ConventionOfNeedle(n.mapping)) {
            first = &n;
            convention = own;
        }
    }
    return convention;
}

std::vector<CabNeedleMotion> MoveCab(const CabScene& scene, const DialRecorder& recorder) {
    const std::size_t frames = recorder.times().size();
    const std::vector<int32_t>& columns = recorder.panelColumns();
    const std::vector<std::string>& quantities = recorder.quantities();
    std::vector<CabNeedleMotion> motion;
    motion.reserve(scene.needles.size());
    for (const CabNeedle& n : scene.needles) {
        CabNeedleMotion m;
        m.angles.reserve(frames);
        const auto column = std::find(columns.begin(), columns.end(), n.entry);
        const bool quantitySet =
            !n.quantity.empty() &&
            std::find(quantities.begin(), quantities.end(), n.quantity) != quantities.end();
        const auto row = std::find_if(
            kVehicleQuantities.begin(), kVehicleQuantities.end(),
            [&](const VehicleQuantityRow& q) { return quantitySet && n.quantity == q.keyword; });
        if (n.function) {
            m.rest = "drawn by a Function, which the tool does not evaluate";
        } else if (n.entry >= 0 && column != columns.end()) {
            m.drive = CabDrive::kEntry;
            const auto c = static_cast<std::size_t>(column - columns.begin());
            for (std::size_t f = 0; f < frames; ++f) {
                m.angles.push_back(n.mapping.ScreenDegrees(recorder.PanelValue(f, c)));
            }
            for (std::size_t g = 0; g < recorder.gauges().size() && m.gauge < 0; ++g) {
                const std::vector<int32_t>& written = recorder.gauges()[g].entries;
                if (std::find(written.begin(), written.end(), n.entry) != written.end()) {
                    m.gauge = static_cast<int32_t>(g);
                }
            }
        } else if (n.entry >= 0) {
            m.rest = "no gauge writes entry " + std::to_string(n.entry);
        } else if (row != kVehicleQuantities.end()) {
            m.drive = CabDrive::kQuantity;
            for (const AtsVehicleState& state : recorder.states()) {
                m.angles.push_back(n.mapping.ScreenDegrees(row->Read(state)));
            }
        } else {
            m.rest = n.subject.empty() ? "it has no Subject" : "the scenario gives no " + n.subject;
        }
        if (m.drive == CabDrive::kRest) {
            m.angles.assign(frames, n.mapping.ScreenDegrees(n.mapping.minimum));
        }
        motion.push_back(std::move(m));
    }
    return motion;
}

std::string CabSvg(const CabScene& scene) {
    std::string svg =
        "<svg class=\"cab-view\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
        Number(scene.width) + " " + Number(scene.height) + "\" data-width=\"" +
        Number(scene.width) + "\" data-height=\"" + Number(scene.height) + "\">\n";
    svg += "<defs>\n";
    for (std::size_t i = 0; i < scene.pictures.size(); ++i) {
        const CabPicture& p = scene.pictures[i];
        if (!p.dataUri.empty()) {
            svg += "<image id=\"cab-picture-" + std::to_string(i) + "\" width=\"" +
                   Number(p.width) + "\" height=\"" + Number(p.height) + "\" href=\"" + p.dataUri +
                   "\"/>\n";
        }
    }
    svg += "</defs>\n" + BackgroundSvg(scene);
    for (std::size_t i = 0; i < scene.needles.size(); ++i) {
        svg += NeedleSvg(scene, i);
    }
    return svg + "</svg>\n";
}

nlohmann::ordered_json CabMotionJson(const std::vector<CabNeedleMotion>& motion) {
    static const char* const kDrives[] = {"entry", "quantity", "rest"};
    nlohmann::ordered_json needles = nlohmann::ordered_json::array();
    for (const CabNeedleMotion& m : motion) {
        RunArray angles;
        for (double a : m.angles) {
            angles.Add(PageNumber(a));
        }
        needles.push_back({{"gauge", m.gauge},
                           {"drive", kDrives[static_cast<int>(m.drive)]},
                           {"rest", m.rest},
                           {"angle", angles.Finish()}});
    }
    return needles;
}

} // namespace mirevane::tool
