#pragma once

#include <cstdint>
#include <vector>

#include "spreadsheet/workbook.h"
#include "spreadsheet/xls_records.h"

// Cells in the file: LABELSST, LABEL, NUMBER, RK, MULRK, BLANK, MULBLANK, BOOLERR, and FORMULA with its
// STRING. The reader's side lives in BookReader's cell handlers.
namespace rw::sheet::xls {

// One cell as it goes into the file.
struct OutCell {
    std::uint16_t column;  // 0-based
    std::uint16_t xf;
    ValueKind kind;
    std::uint32_t sst;
    double number;
};

// The cell records of one row (`row` 0-based), cells in column order.
void writeRowCells(RecordSink& s, std::int32_t row, const std::vector<OutCell>& cells);
// The bytes writeRowCells writes for these cells.
std::size_t rowCellsSize(const std::vector<OutCell>& cells);

}  // namespace rw::sheet::xls
