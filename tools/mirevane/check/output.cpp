#include "check/output.h"

#include "common/diagnostic_line.h"
#include "common/number_text.h"

namespace mirevane::tool {
namespace {

// A 1-based line or column; null where there is none.
std::string JsonPosition(int position) {
    return position > 0 ? std::to_string(position) : "null";
}

std::string Plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

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
    std::string text = g.tableFile + ": " + Plural(g.table.points, "point");
    if (g.table.points > 0) {
        text += ", values " + Shortest(g.table.minValue) + " .. " + Shortest(g.table.maxValue) +
                ", angles " + Shortest(g.table.minAngle) + " .. " + Shortest(g.table.maxAngle) +
                " degrees (+180 on the panel)";
    }
    return text;
}

// JSON text with the escapes the format requires.
std::string Json(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char* const kHex = "0123456789abcdef";
                out += "\\u00";
                out += kHex[(c >> 4) & 0xF];
                out += kHex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// JSON has no NaN or infinity; a setting can hold them only when written so in a profile.
std::string JsonNumber(double value) {
    const std::string text = Shortest(value);
    return text.find_first_of("ni") == std::string::npos ? text : Json(text);
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

} // namespace

std::string CheckText(const CheckReport& r) {
    std::string out = "Mirevane check of " + r.path + "\n";
    out += "  main profile      " + r.mainProfile + (r.mainFound ? "" : " (not found)") + "\n";
    out += "  fallback profile  " + r.fallbackProfile +
           (r.fallbackFound ? " (present: read under every profile)" : " (not present)") + "\n";
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
    out += Plural(r.errors(), "error") + ", " + Plural(r.warnings(), "warning") + ".\n";
    return out;
}

std::string CheckJson(const CheckReport& r) {
    std::string out = "{\n";
    out += "  \"schemaVersion\": " + std::to_string(kCheckJsonSchemaVersion) + ",\n";
    out += "  \"path\": " + Json(r.path) + ",\n";
    out += "  \"mainProfile\": {\"file\": " + Json(r.mainProfile) +
           ", \"found\": " + JsonBool(r.mainFound) + "},\n";
    out += "  \"fallbackProfile\": {\"file\": " + Json(r.fallbackProfile) +
           ", \"found\": " + JsonBool(r.fallbackFound) + "},\n";
    out += "  \"developerMode\": " + JsonBool(r.developerMode) + ",\n";
    out += "  \"steps\": {\"value\": " + JsonNumber(r.valueStep) +
           ", \"angle\": " + JsonNumber(r.angleStep) + ", \"rotate\": " + JsonNumber(r.rotateStep) +
           "},\n";
    out += "  \"keyBindings\": [";
    for (std::size_t i = 0; i < r.keys.size(); ++i) {
        const KeyBinding& k = r.keys[i];
        out += std::string(i == 0 ? "\n" : ",\n") + "    {\"action\": " + Json(k.action) +
               ", \"name\": " + Json(k.name) + ", \"key\": " + std::to_string(k.key) + "}";
    }
    out += r.keys.empty() ? "],\n" : "\n  ],\n";
    out += "  \"gauges\": [";
    for (std::size_t i = 0; i < r.gauges.size(); ++i) {
        const GaugeSummary& g = r.gauges[i];
        out += std::string(i == 0 ? "\n" : ",\n") + "    {\n";
        out += "      \"number\": " + std::to_string(g.number) + ",\n";
        out += "      \"profile\": " + Json(g.profile) + ",\n";
        out += "      \"subject\": {\"text\": " + Json(g.subjectText) +
               ", \"reads\": " + Json(g.subject) + ", \"meaning\": " + Json(g.subjectMeaning) +
               ", \"unit\": " + Json(g.unit) + ", \"maxIndex\": " + std::to_string(g.maxIndex) +
               "},\n";
        out += "      \"elliptic\": " + JsonBool(g.elliptic) + ",\n";
        out += "      \"needle\": " + std::to_string(g.needle) + ",\n";
        out += "      \"entries\": [" + EntryList(g.entries) + "],\n";
        out += "      \"vibration\": {\"amplitude\": " + JsonNumber(g.amplitude) +
               ", \"period\": " + JsonNumber(g.period) +
               ", \"wavelength\": " + JsonNumber(g.wavelength) +
               ", \"threshold\": " + JsonNumber(g.threshold) + "},\n";
        out += "      \"damping\": {\"naturalFrequency\": " + JsonNumber(g.naturalFrequency) +
               ", \"dampingRatio\": " + JsonNumber(g.dampingRatio) + "},\n";
        out += "      \"ellipse\": {\"division\": " + std::to_string(g.division) +
               ", \"divisionCount\": " + std::to_string(g.divisionCount) +
               ", \"flattening\": " + JsonNumber(g.flattening) +
               ", \"rotateAngle\": " + JsonNumber(g.rotateAngle) +
               ", \"standbyAngle\": " + JsonNumber(g.standbyAngle) + ", \"divisionTable\": [";
        for (std::size_t d = 0; d < g.divisionTable.size(); ++d) {
            out += std::string(d == 0 ? "" : ", ") +
                   "{\"bound\": " + JsonNumber(g.divisionTable[d].first) +
                   ", \"entry\": " + std::to_string(g.divisionTable[d].second) + "}";
        }
        out += "]},\n";
        out += "      \"table\": {\"file\": " + Json(g.tableFile) +
               ", \"found\": " + JsonBool(g.table.found) +
               ", \"points\": " + std::to_string(g.table.points);
        if (g.table.points > 0) {
            out += ", \"minValue\": " + JsonNumber(g.table.minValue) +
                   ", \"maxValue\": " + JsonNumber(g.table.maxValue) +
                   ", \"minAngle\": " + JsonNumber(g.table.minAngle) +
                   ", \"maxAngle\": " + JsonNumber(g.table.maxAngle);
        }
        out += "}\n    }";
    }
    out += r.gauges.empty() ? "],\n" : "\n  ],\n";
    out += "  \"diagnostics\": [";
    for (std::size_t i = 0; i < r.diagnostics.size(); ++i) {
        const Diagnostic& d = r.diagnostics[i];
        out += std::string(i == 0 ? "\n" : ",\n") +
               "    {\"severity\": " + Json(SeverityName(d.kind->severity)) +
               ", \"code\": " + Json(d.kind->code) + ", \"file\": " + Json(d.file) +
               ", \"line\": " + JsonPosition(d.line) + ", \"column\": " + JsonPosition(d.column) +
               ", \"message\": " + Json(d.message) + "}";
    }
    out += r.diagnostics.empty() ? "],\n" : "\n  ],\n";
    out += "  \"errors\": " + std::to_string(r.errors()) +
           ",\n  \"warnings\": " + std::to_string(r.warnings()) + "\n}\n";
    return out;
}

} // namespace mirevane::tool
