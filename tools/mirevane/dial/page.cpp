#include "dial/page.h"

#include "common/number_text.h"
#include "common/tool_error.h"
#include "dial/face.h"
#include "dial/geometry.h"
#include "dial/page_assets.h"
#include "gauges/c_mirevane.h"
#include "plot/svg_document.h"
#include "plot/svg_plot.h"

#include <optional>

namespace mirevane::tool {
namespace {

// Nothing may be fetched: no connection, font, frame or picture from anywhere. The page's
// own script and style are inline, pictures are data: URIs.
constexpr const char* kPolicy = "default-src 'none'; script-src 'unsafe-inline'; "
                                "style-src 'unsafe-inline'; img-src data:";

// The plot as a fragment of the page: without its XML declaration.
std::string InlineSvg(const std::string& svg) {
    const std::size_t start = svg.find("<svg");
    return start == std::string::npos ? std::string() : svg.substr(start);
}

std::string Joined(const std::vector<std::string>& pieces) {
    std::string text;
    for (const std::string& piece : pieces) {
        text += piece;
    }
    return text;
}

std::string ConventionText(const AngleConvention& c, const std::string& name) {
    static const char* const kDirections[] = {"right", "down", "left", "up"};
    const int quarter = (static_cast<int>(c.zeroDegrees) + 360) % 360 / 90;
    return "Angle 0 points " + std::string(kDirections[quarter]) + ", angles grow " +
           (c.sense > 0 ? "clockwise" : "anticlockwise") + " (--angles " + name + ").";
}

// With a panel: whose dials turn as their needles do, and which fall back on --angles.
std::string CabText(const CabScene& cab, const std::vector<int32_t>& fallback,
                    const AngleConvention& convention, const std::string& name) {
    std::string text =
        "Cab: " + cab.panelPath + ", " + Counted(static_cast<int>(cab.needles.size()), "needle") +
        ". Each dial turns as its needle in the panel file does: --angles is not needed.";
    if (!fallback.empty()) {
        std::string gauges;
        for (int32_t g : fallback) {
            gauges += (gauges.empty() ? "" : ", ") + std::to_string(g);
        }
        text += std::string(fallback.size() == 1 ? " Gauge " : " Gauges ") + gauges +
                ": no needle of the panel on " + (fallback.size() == 1 ? "its" : "their") +
                " entries turns 1 degree per 1000 units. " + ConventionText(convention, name);
    }
    return text;
}

// The cab first, the dials one click away; zoom and pan over the cab's picture.
std::string CabSection(const std::string& cab) {
    if (cab.empty()) {
        return "";
    }
    return "<nav id=\"views\">"
           "<button type=\"button\" data-view=\"cab\" class=\"active\">Cab</button>"
           "<button type=\"button\" data-view=\"dials\">Dials</button></nav>\n"
           "<section id=\"cab\">\n<div id=\"cab-zoom\">"
           "<button type=\"button\" data-zoom=\"in\" title=\"zoom in (or the wheel)\">+</button>"
           "<button type=\"button\" data-zoom=\"out\" title=\"zoom out\">\u2212</button>"
           "<button type=\"button\" data-zoom=\"fit\" title=\"the whole panel\">Fit</button>"
           "<span>drag to pan; click a needle for its gauge</span></div>\n" +
           cab + "<p id=\"cab-needle\"></p>\n</section>\n";
}

} // namespace

DialPageContent ReadDialPageRequest(const DialPageRequest& request) {
    DialPageContent content;
    const std::optional<AngleConvention> convention = AngleConvention::Parse(request.angles);
    if (!convention) {
        throw InputError("--angles", 0, 0,
                         "'" + request.angles + "' is not " + AngleConvention::kHelp,
                         "page-option");
    }
    content.convention = *convention;
    content.conventionName = request.angles;
    if (!request.panel.empty()) {
        content.cab = std::make_shared<const CabScene>(ReadCabScene(request.panel));
    }
    for (const std::string& text : request.faces) {
        const DialFaceOption option = ParseDialFace(text);
        content.faces[option.gauge] = LoadDialFace(option);
    }
    return content;
}

DialPageWriter::DialPageWriter(OutputFile* out, DialPageContent content, const SvgPlotWriter& plot)
    : out_(out), content_(std::move(content)), plot_(plot) {}

void DialPageWriter::Begin(const RunHeader& run) {
    recorder_.Begin(run);
    dials_.clear();
    damped_ = false;
    for (int32_t g = 0; run.gaugeSet != nullptr && g < run.gaugeSet->gaugeCount(); ++g) {
        dials_.emplace_back(*run.gaugeSet, g);
        damped_ = damped_ || (run.gaugeSet->isElliptic()[g] &&
                              run.gaugeSet->ellipses()[g].damping().naturalFrequency() > 0.0);
    }
}

void DialPageWriter::End() {
    DialPageParts parts;
    // Each dial in its needle's convention where the panel has one, else in --angles'.
    std::vector<AngleConvention> conventions(dials_.size(), content_.convention);
    std::vector<int32_t> fallback;
    for (std::size_t g = 0; content_.cab != nullptr && g < dials_.size(); ++g) {
        const std::optional<AngleConvention> own =
            ConventionOfEntries(*content_.cab, recorder_.gauges()[g].entries);
        if (own) {
            conventions[g] = *own;
        } else {
            fallback.push_back(static_cast<int32_t>(g));
        }
    }
    parts.note =
        (content_.cab != nullptr
             ? CabText(*content_.cab, fallback, content_.convention, content_.conventionName)
             : ConventionText(content_.convention, content_.conventionName)) +
        " Frames: " + std::to_string(recorder_.framesSeen());
    if (recorder_.stride() > 1) {
        parts.note += ", one in " + std::to_string(recorder_.stride()) + " shown (" +
                      std::to_string(recorder_.framesKept()) + ")";
    }
    parts.note += ".";
    if (damped_) {
        parts.note +=
            " A damped oval needle starts at rest at panel angle 0, as the plug-in's damping "
            "does, and follows the scale from its first re-sampling (1/NaturalFreq seconds "
            "on): until then the needle and the scale angle in its readout differ.";
    }
    for (std::size_t i = 0; i < dials_.size(); ++i) {
        const auto g = static_cast<int32_t>(i);
        const auto face = content_.faces.find(g);
        parts.dials.push_back(
            "<figure class=\"gauge\" data-gauge=\"" + std::to_string(g) + "\">\n" +
            DialSvg(dials_[i], conventions[i], g, recorder_.lowestValues()[i],
                    recorder_.highestValues()[i],
                    face == content_.faces.end() ? std::nullopt
                                                 : std::optional<DialFace>(face->second)) +
            "<figcaption>" +
            Escaped(i < content_.gaugeTitles.size() ? content_.gaugeTitles[i]
                                                    : "Gauge " + std::to_string(g)) +
            "</figcaption>\n<dl class=\"readout\"></dl>\n</figure>\n");
    }
    if (dials_.empty()) {
        parts.dials.push_back("<p>No gauge was loaded: nothing to show.</p>\n");
    }
    if (content_.cab != nullptr) {
        parts.cab = CabSvg(*content_.cab);
        parts.data = recorder_.Json({{"cab", CabMotionJson(MoveCab(*content_.cab, recorder_))}});
    } else {
        parts.data = recorder_.Json();
    }
    parts_ = std::move(parts);
    if (out_ != nullptr) {
        out_->Write(Html());
    }
}

DialPagePlots DialPageWriter::Plots() const {
    const SvgPlotParts& plot = plot_.parts();
    DialPagePlots plots;
    plots.head = InlineSvg(plot.head);
    for (std::size_t g = 0; g < plot.charts.size(); ++g) {
        plots.gauges.push_back("<g class=\"gauge-plot\" data-gauge=\"" + std::to_string(g) +
                               "\">\n" + plot.charts[g] + "</g>\n");
    }
    plots.tail = plot.tail;
    return plots;
}

std::string DialPageWriter::Html() const {
    const DialPagePlots plots = Plots();

    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"" +
           std::string(kPolicy) +
           "\">\n<meta name=\"viewport\" content=\"width=device-width\">\n<title>" +
           Escaped(content_.title) + "</title>\n<style>\n" + kDialPageStyle +
           "</style>\n</head>\n<body>\n<header>\n<h1>" + Escaped(content_.title) +
           "</h1>\n<p class=\"note\">" + Escaped(parts_.note) +
           "</p>\n</header>\n"
           "<section id=\"controls\">\n"
           "<button id=\"play\" type=\"button\">Play</button>\n"
           "<span id=\"speeds\">"
           "<button type=\"button\" data-speed=\"0.25\">\u00bc\u00d7</button>"
           "<button type=\"button\" data-speed=\"1\" class=\"active\">1\u00d7</button>"
           "<button type=\"button\" data-speed=\"4\">4\u00d7</button>"
           "<button type=\"button\" data-speed=\"16\">16\u00d7</button></span>\n"
           "<output id=\"time\">0.000 s</output>\n"
           "<input id=\"slider\" type=\"range\" min=\"0\" max=\"0\" step=\"1\" value=\"0\" "
           "aria-label=\"time\">\n"
           "<svg id=\"timeline\" viewBox=\"0 0 1000 30\" preserveAspectRatio=\"none\"></svg>\n"
           "<ol id=\"events\"></ol>\n"
           "</section>\n" +
           CabSection(parts_.cab) + "<section id=\"dials\"" +
           (parts_.cab.empty() ? "" : " hidden") + ">\n" + Joined(parts_.dials) +
           "</section>\n<section id=\"plots\">\n" + plots.head + Joined(plots.gauges) + plots.tail +
           "</section>\n<script id=\"dial-data\" type=\"application/json\">\n" + parts_.data +
           "\n</script>\n<script>\n" + std::string(kDialPageScript) +
           "</script>\n</body>\n</html>\n";
}

} // namespace mirevane::tool
