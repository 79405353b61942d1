#include "replay/scenario_columns.h"

#include "common/nearest_name.h"
#include "gauges/vehicle_quantity.h"

#include <charconv>
#include <iterator>
#include <vector>

namespace mirevane::tool {
namespace {

constexpr ColumnDefinition kColumns[] = {
    {"time", ColumnKind::kTime, "ms", "host time, whole milliseconds (required)", true},
    {"location", ColumnKind::kLocation, "m",
     "train position; without it the train moves at the last row's speed", false},
    {"speed", ColumnKind::kSpeed, "km/h", "train speed", false},
    {"bc", ColumnKind::kBc, "kPa", "brake cylinder pressure", false},
    {"mr", ColumnKind::kMr, "kPa", "main reservoir pressure", false},
    {"er", ColumnKind::kEr, "kPa", "equalising reservoir pressure", false},
    {"bp", ColumnKind::kBp, "kPa", "brake pipe pressure", false},
    {"sap", ColumnKind::kSap, "kPa", "straight air pipe pressure", false},
    {"current", ColumnKind::kCurrent, "A", "motor current, signed", false},
    {"brake", ColumnKind::kBrake, "", "brake handle notch, set when the cell is not empty", true},
    {"power", ColumnKind::kPower, "", "power handle notch, set when the cell is not empty", true},
    {"reverser", ColumnKind::kReverser, "", "reverser position, set when the cell is not empty",
     true},
    {"keys", ColumnKind::kKeys, "",
     "host keys pressed before the frame: numbers 0..15 or names S A1 A2 B1 B2 C1 C2 D E F G "
     "H I J K L, separated by blanks or ;",
     false},
    {"initialize", ColumnKind::kInitialize, "", "non-zero: the host's Initialize before the frame",
     false},
    {"panel", ColumnKind::kPanel, "", "panelN: entry N (0..255) the host sets in its panel array",
     true},
    {"sound", ColumnKind::kSound, "", "soundN: entry N (0..255) the host sets in its sound array",
     true},
};

bool IsEntryColumn(const ColumnDefinition& def) {
    return def.kind == ColumnKind::kPanel || def.kind == ColumnKind::kSound;
}

// "panel12" -> 12 when the name is the prefix followed by an entry number 0..255.
bool ParseEntry(const std::string& name, const std::string& prefix, int& entry) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto result = std::from_chars(first, last, entry);
    return result.ec == std::errc() && result.ptr == last && *first != '-' && entry >= 0 &&
           entry <= 255;
}

} // namespace

const ColumnDefinition* FindScenarioColumn(const std::string& lowerName, int& entry) {
    for (const ColumnDefinition& def : kColumns) {
        if (IsEntryColumn(def) ? ParseEntry(lowerName, def.name, entry) : lowerName == def.name) {
            return &def;
        }
    }
    return nullptr;
}

std::string NearestScenarioColumn(const std::string& name) {
    std::vector<std::string> known;
    for (const ColumnDefinition& def : kColumns) {
        known.push_back(IsEntryColumn(def) ? std::string(def.name) + "N" : def.name);
    }
    // panel012x and the like: the prefix is right, the number is not.
    for (const ColumnDefinition& def : kColumns) {
        const std::string prefix = def.name;
        if (IsEntryColumn(def) && name.size() > prefix.size() &&
            name.compare(0, prefix.size(), prefix) == 0) {
            return prefix + "N with N from 0 to 255";
        }
    }
    // A subject's keyword for the column that feeds it: the column of the same name, or the
    // one column with the quantity's unit (kmph -> speed, am -> current).
    for (const VehicleQuantityRow& quantity : kVehicleQuantities) {
        if (name != quantity.keyword) {
            continue;
        }
        const ColumnDefinition* byUnit = nullptr;
        int sameUnit = 0;
        for (const ColumnDefinition& def : kColumns) {
            if (name == def.name) {
                return def.name;
            }
            if (std::string(def.unit) == quantity.unit) {
                byUnit = &def;
                ++sameUnit;
            }
        }
        if (sameUnit == 1) {
            return std::string(byUnit->name) + " (" + name + " is the subject that reads it)";
        }
    }
    return NearestName(name, known);
}

std::string ScenarioColumnsHelp() {
    constexpr std::size_t kNameWidth = 12;
    constexpr std::size_t kUnitWidth = 6;
    std::string out;
    for (const ColumnDefinition& def : kColumns) {
        std::string name = def.name;
        if (IsEntryColumn(def)) {
            name += "N";
        }
        std::string line = "  " + name + std::string(kNameWidth - name.size(), ' ') + def.unit +
                           std::string(kUnitWidth - std::string(def.unit).size(), ' ');
        out += line + def.drives + "\n";
    }
    return out;
}

} // namespace mirevane::tool
