// The columns a scenario CSV may hold: one row each, with its unit and what it drives. The
// scenario reader looks names up here and `run --help` lists them from here, so adding a
// column is one row.
#pragma once

#include "plugin/host_records.h"

#include <string>

namespace mirevane::tool {

enum class ColumnKind {
    kTime,
    kLocation,
    kSpeed,
    kBc,
    kMr,
    kEr,
    kBp,
    kSap,
    kCurrent,
    kBrake,
    kPower,
    kReverser,
    kKeys,
    kInitialize,
    kPanel, // panelN: one column per entry
    kSound  // soundN
};

struct ColumnDefinition {
    const char* name; // as written in the header, any letter case; "panel" and "sound" take N
    ColumnKind kind;
    const char* unit; // "" where none applies
    const char* drives;
    bool integer;                  // cells must be whole numbers
    float AtsVehicleState::*field; // the vehicle state it sets; nullptr for the others
};

// The definition of a header cell in lower case ("speed", "panel12"); entry receives N of a
// panelN or soundN column (0..255). nullptr when the name is no column.
const ColumnDefinition* FindScenarioColumn(const std::string& lowerName, int& entry);

// The column that feeds a subject, the subject named as the check names it: "speed" for
// "kmph", "current" for "am" and "amabs", "panel60" for "panel60"; "" when none does
// ("nothing").
std::string ScenarioColumnFor(const std::string& subjectName);

// The nearest column name for an unknown one ("sped" -> "speed"), or "".
std::string NearestScenarioColumn(const std::string& name);

// The column list of `run --help`: name, unit and what it drives, one line each (the help
// wraps long ones).
std::string ScenarioColumnsHelp();

} // namespace mirevane::tool
