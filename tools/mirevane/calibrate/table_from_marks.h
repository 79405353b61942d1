// The calibration table that the marks of a picture make with a gauge's present table: the
// one rule for the command's --write and the studio's rows, rounding included.
#pragma once

#include "calibrate/calibration_notes.h"
#include "calibrate/mark_angles.h"
#include "workspace/table_edit.h"

#include <optional>
#include <vector>

namespace mirevane::tool {

// A table angle as written: to the thousandth of a degree, far below what a needle image
// shows.
double RowAngle(double degrees);

struct TableFromMarks {
    std::vector<TableRow> rows; // ascending value: the table to write
    std::vector<TableRow> kept; // rows of the present table that no mark gave
};

// Each mark gives the row of its value; with `replace` the marks are the whole table, else the
// present rows of other values stay (in value order among the marks').
TableFromMarks MakeTableFromMarks(const std::vector<TableRow>& present,
                                  const std::vector<MarkAngle>& marks, bool replace);

// The warning that rows were kept (calibrate-kept-rows), or nothing when none were.
std::optional<CalibrationNote> KeptRowsNote(const TableFromMarks& table);

} // namespace mirevane::tool
