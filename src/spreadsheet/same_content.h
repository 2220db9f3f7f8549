#pragma once

#include "spreadsheet/workbook.h"

namespace rw::sheet {

// Content equality: same sheets, values, effective formats (compared by value, not by id), merges,
// columns, rows, page set-up and palette.
bool sameContent(const Workbook& a, const Workbook& b);

}  // namespace rw::sheet
