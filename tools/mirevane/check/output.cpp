#include "check/output.h"

#include "common/diagnostic_line.h"
#include "common/number_text.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace mirevane::tool {
namespace {

std::string EntryList(const std::vector<int32_t>& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(entries[i]);
    }
    return text;
}

std::string Draws(const GaugeSummary& g) {
    if (!g.elliptic) {
        return "plain needle on panel entry " + std::to_string(g.needle);
    }
    std::string text =
        "elliptic, " + std::to_string(g.divisionCount) + " divisions (" +
        (g.entries.empty() ? "no entry in 0..255" : "entries " + EntryList(g.entries)) +
        "); flattening " + Shortest(g.flattening) + ", rotate angle " + Shortest(g.rotateAngle) +
        ", standby angle " + Shortest(g.standbyAngle);
    text += "\n             division bounds (folded degrees -> entry):";
    for (const auto& [bound, entry] : g.divisionTable) {
        text += " " + Rounded(bound, 4) + "->" + std::to_string(entry);
    }
    return text;
}

std::string Vibration(const GaugeSummary& g) {
    if (g.wavelength == 0.0) {
        return "none";
    }
    return "amplitude " + Shortest(g.amplitude) + ", period " + Shortest(g.period) +
           " s at 10 km/h (one cycle per " + Rounded(g.wavelength, 4) + " m), threshold " +
           (g.threshold == 0.0 ? "none" : Shortest(g.threshold));
}

std::string Damping(const GaugeSummary& g) {
    if (g.naturalFrequency <= 0.0) {
        return "none";
    }
    return "natural frequency " + Shortest(g.naturalFrequency) + " rad/s, damping ratio " +
           Shortest(g.dampingRatio) + (g.elliptic ? "" : " (not used: plain needle)");
}

std::string Table(const GaugeSummary& g) {
    if (!g.table.found) {
        return g.tableFile + ": not found";
    }
    std::string text = g.tableFile + ": " + Counted(g.table.points, "point");
    if (g.table.points > 0) {
        text += ", values " + Shortest(g.table.minValue) + " .. " + Shortest(g.table.maxValue) +
                ", angles " + Shortest(g.table.minAngle) + " .. " + Shortest(g.table.maxAngle) +
                " degrees (+180 on the panel)";
    }
    return text;
}

using Json = nlohmann::ordered_json;

// A 1-based line or column; null where there is none.
Json Position(int position) {
    return position > 0 ? Json(position) : Json(nullptr);
}

// JSON has no NaN or infinity; a setting can hold them only when written so in a profile.
Json Number(double value) {
    return std::isfinite(value) ? Json(value) : Json(Shortest(value));
}

} // namespace

std::string CheckText(const CheckReport& r) {
    std::string out = "Mirevane check of " + r.path + "\n";
    out += "  main profile      " + r.mainProfile + (r.mainFound ? "" : " (not found)") + "\n";
    out += "  fallback profile  " + r.fallbackProfile +
           (r.fallbackFound ? " (present: read under every profile)" : " (not present)") + "\n";
    if (!r.panel.said.empty()) {
        out += "  " + r.panel.said + "\n";
    }
    for (const std::string& note : r.panel.notes) {
        out += "  " + note + "\n";
    }
    if (r.mainFound && !r.keys.empty()) {
        out += "\nDeveloper keys (main profile, [KeyIndex])\n";
        for (const KeyBinding& k : r.keys) {
            std::string action = k.action;
            action.resize(24, ' ');
            std::string name = "'" + k.name + "'";
            name.resize(8, ' ');
            out += "  " + action + name +
                   (k.key >= 0 ? "key " + std::to_string(k.key) : "binds no key") + "\n";
        }
        out += "  developer mode " + std::string(r.developerMode ? "ON" : "off") +
               "; steps: value " + Shortest(r.valueStep) + ", angle " + Shortest(r.angleStep) +
               ", rotate " + Shortest(r.rotateStep) +
               " (angle and rotate in degrees, rotate per frame)\n";
    }
    for (const GaugeSummary& g : r.gauges) {
        out += "\nGauge " + std::to_string(g.number) + ": " + g.profile + "\n";
        out += "  subject    '" + g.subjectText + "' -> " + g.subject + ": " + g.subjectMeaning +
               (g.unit.empty() ? "" : ", " + g.unit) + "\n";
        out += "  draws      " + Draws(g) + "\n";
        out += "  vibration  " + Vibration(g) + "\n";
        out += "  damping    " + Damping(g) + "\n";
        out += "  table      " + Table(g) + "\n";
    }
    out += "\nDiagnostics\n";
    if (r.diagnostics.empty()) {
        out += "  none\n";
    }
    for (const Diagnostic& d : r.diagnostics) {
        out +=
            DiagnosticLine({d.file, d.line, d.column, d.kind->severity, d.message, d.kind->code}) +
            "\n";
    }
    out += DiagnosticCounts(r.errors(), r.warnings(), r.notes()) + ".\n";
    return out;
}

std::string CheckJson(const CheckReport& r) {
    Json json;
    json["schemaVersion"] = kCheckJsonSchemaVersion;
    json["path"] = r.path;
    json["mainProfile"] = {{"file", r.mainProfile}, {"found", r.mainFound}};
    json["fallbackProfile"] = {{"file", r.fallbackProfile}, {"found", r.fallbackFound}};
    json["panel"] = r.panel.said.empty()
                        ? Json(nullptr)
                        : Json{{"path", r.panel.path.empty() ? Json(nullptr) : Json(r.panel.path)},
                               {"given", r.panel.given},
                               {"said", r.panel.said},
                               {"notes", r.panel.notes}};
    json["developerMode"] = r.developerMode;
    json["steps"] = {{"value", Number(r.valueStep)},
                     {"angle", Number(r.angleStep)},
                     {"rotate", Number(r.rotateStep)}};
    json["keyBindings"] = Json::array();
    for (const KeyBinding& k : r.keys) {
        json["keyBindings"].push_back({{"action", k.action}, {"name", k.name}, {"key", k.key}});
    }
    json["gauges"] = Json::array();
    for (const GaugeSummary& g : r.gauges) {
        Json divisions = Json::array();
        for (const auto& [bound, entry] : g.divisionTable) {
            divisions.push_back({{"bound", Number(bound)}, {"entry", entry}});
        }
        Json table = {{"file", g.tableFile}, {"found", g.table.found}, {"points", g.table.points}};
        if (g.table.points > 0) {
            table["minValue"] = Number(g.table.minValue);
            table["maxValue"] = Number(g.table.maxValue);
            table["minAngle"] = Number(g.table.minAngle);
            table["maxAngle"] = Number(g.table.maxAngle);
        }
        json["gauges"].push_back({{"number", g.number},
                                  {"profile", g.profile},
                                  {"subject",
                                   {{"text", g.subjectText},
                                    {"reads", g.subject},
                                    {"meaning", g.subjectMeaning},
                                    {"unit", g.unit},
                                    {"maxIndex", g.maxIndex}}},
                                  {"elliptic", g.elliptic},
                                  {"needle", g.needle},
                                  {"entries", g.entries},
                                  {"vibration",
                                   {{"amplitude", Number(g.amplitude)},
                                    {"period", Number(g.period)},
                                    {"wavelength", Number(g.wavelength)},
                                    {"threshold", Number(g.threshold)}}},
                                  {"damping",
                                   {{"naturalFrequency", Number(g.naturalFrequency)},
                                    {"dampingRatio", Number(g.dampingRatio)}}},
                                  {"ellipse",
                                   {{"division", g.division},
                                    {"divisionCount", g.divisionCount},
                                    {"flattening", Number(g.flattening)},
                                    {"rotateAngle", Number(g.rotateAngle)},
                                    {"standbyAngle", Number(g.standbyAngle)},
                                    {"divisionTable", std::move(divisions)}}},
                                  {"table", std::move(table)}});
    }
    json["diagnostics"] = Json::array();
    for (const Diagnostic& d : r.diagnostics) {
        json["diagnostics"].push_back({{"severity", SeverityName(d.kind->severity)},
                                       {"code", d.kind->code},
                                       {"file", d.file},
                                       {"line", Position(d.line)},
                                       {"column", Position(d.column)},
                                       {"message", d.message}});
    }
    json["errors"] = r.errors();
    json["warnings"] = r.warnings();
    json["notes"] = r.notes();
    // Text from the cab's files need not be UTF-8: such bytes are shown as U+FFFD.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace mirevane::tool
