#include "trace_csv.h"

#include "number_text.h"

namespace mirevane::tool {
namespace {

// Copied text is a number in practice; quote it anyway should it ever hold a separator.
std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

} // namespace

std::string TraceCsv(const Trace& trace, bool detail) {
    std::string out = "time";
    for (int32_t entry : trace.panelColumns) {
        out += ",panel" + std::to_string(entry);
    }
    out += ",clipboard";
    const bool withDetail = detail && trace.observed;
    if (withDetail) {
        for (std::size_t g = 0; g < trace.gauges.size(); ++g) {
            const std::string k = "g" + std::to_string(g) + "_";
            out += "," + k + "value," + k + "vibrated," + k + "angle";
            if (trace.gauges[g].elliptic) {
                out += "," + k + "damped," + k + "entry";
            }
        }
    }
    out += '\n';

    const std::size_t columns = trace.panelColumns.size();
    const std::size_t gauges = trace.gauges.size();
    for (std::size_t f = 0; f < trace.times.size(); ++f) {
        out += std::to_string(trace.times[f]);
        for (std::size_t c = 0; c < columns; ++c) {
            out += ',';
            out += std::to_string(trace.panelValues[f * columns + c]);
        }
        out += ',';
        out += CsvCell(trace.clipboard[f]);
        if (withDetail) {
            for (std::size_t g = 0; g < gauges; ++g) {
                const GaugeSample& s = trace.samples[f * gauges + g];
                out +=
                    ',' + Digits17(s.value) + ',' + Digits17(s.vibrated) + ',' + Digits17(s.angle);
                if (trace.gauges[g].elliptic) {
                    out += ',' + Digits17(s.damped) + ',' + std::to_string(s.entry);
                }
            }
        }
        out += '\n';
    }
    return out;
}

} // namespace mirevane::tool
