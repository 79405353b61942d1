#include "replay/scenario_columns.h"

#include "common/nearest_name.h"
#include "gauges/vehicle_quantity.h"

#include <charconv>
#include <iterator>
#include <vector>

namespace mirevane::tool {
namespace {

constexpr ColumnDefinition kColumns[] = {
    {"time", ColumnKind::kTime, "ms", "host time, whole milliseconds (required)", true, nullptr},
    {"location", ColumnKind::kLocation, "m",
     "train position; without it the train moves at the last row's speed", false, nullptr},
    {"speed", ColumnKind::kSpeed, "km/h", "train speed", false, &AtsVehicleState::speed},
    {"bc", ColumnKind::kBc, "kPa", "brake cylinder pressure", false, &AtsVehicleState::bc},
    {"mr", ColumnKind::kMr, "kPa", "main reservoir pressure", false, &AtsVehicleState::mr},
    {"er", ColumnKind::kEr, "kPa", "equalising reservoir pressure", false, &AtsVehicleState::er},
    {"bp", ColumnKind::kBp, "kPa", "brake pipe pressure", false, &AtsVehicleState::bp},
    {"sap", ColumnKind::kSap, "kPa", "straight air pipe pressure", false, &AtsVehicleState::sap},
    {"current", ColumnKind::kCurrent, "A", "motor current, signed", false,
     &AtsVehicleState::current},
    {"brake", ColumnKind::kBrake, "", "brake handle notch, set when the cell is not empty", true,
     nullptr},
    {"power", ColumnKind::kPower, "", "power handle notch, set when the cell is not empty", true,
     nullptr},
    {"reverser", ColumnKind::kReverser, "", "reverser position, set when the cell is not empty",
     true, nullptr},
    {"keys", ColumnKind::kKeys, "",
     "host keys pressed before the frame: numbers 0..15 or names S A1 A2 B1 B2 C1 C2 D E F G "
     "H I J K L, separated by blanks or ;",
     false, nullptr},
    {"initialize", ColumnKind::kInitialize, "", "non-zero: the host's Initialize before the frame",
     false, nullptr},
    {"panel", ColumnKind::kPanel, "", "panelN: entry N (0..255) the host sets in its panel array",
     true, nullptr},
    {"sound", ColumnKind::kSound, "", "soundN: entry N (0..255) the host sets in its sound array",
     true, nullptr},
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

std::string ScenarioColumnFor(const std::string& subjectName) {
    int entry = 0;
    const ColumnDefinition* named = FindScenarioColumn(subjectName, entry);
    if (named != nullptr && IsEntryColumn(*named)) {
        return subjectName;
    }
    // A vehicle quantity: the column that sets the field the subject reads.
    for (const VehicleQuantityRow& quantity : kVehicleQuantities) {
        if (subjectName != quantity.keyword) {
            continue;
        }
        for (const ColumnDefinition& def : kColumns) {
            if (def.field == quantity.field) {
                return def.name;
            }
        }
    }
    return "";
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
    // A subject's keyword for the column that feeds it (kmph -> speed, am -> current).
    if (const std::string column = ScenarioColumnFor(name); !column.empty()) {
        return column + " (" + name + " is the subject that reads it)";
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
