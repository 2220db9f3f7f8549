#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Cell addresses of the workbook model: single cells and rectangles, in the A1 notation the object model
// speaks. Rows and columns are 1-based sheet numbers as the user sees them: rows 1..65536, columns 1..256
// (A..IV).
namespace rw::sheet {

inline constexpr std::int32_t kMaxRows = 65536;
inline constexpr std::int32_t kMaxColumns = 256;

struct CellAddress {
    std::int32_t row = 1;
    std::int32_t column = 1;
    friend bool operator==(const CellAddress&, const CellAddress&) = default;
};

// An inclusive rectangle of cells. A valid range has 1 <= first <= last within the sheet's limits.
struct CellRange {
    std::int32_t firstRow = 1;
    std::int32_t firstColumn = 1;
    std::int32_t lastRow = 1;
    std::int32_t lastColumn = 1;

    static CellRange cell(std::int32_t row, std::int32_t column) { return {row, column, row, column}; }
    static CellRange wholeSheet() { return {1, 1, kMaxRows, kMaxColumns}; }
    static CellRange wholeColumns(std::int32_t first, std::int32_t last) {
        return {1, first, kMaxRows, last};
    }
    static CellRange wholeRows(std::int32_t first, std::int32_t last) {
        return {first, 1, last, kMaxColumns};
    }

    std::int32_t rowCount() const { return lastRow - firstRow + 1; }
    std::int32_t columnCount() const { return lastColumn - firstColumn + 1; }
    std::int64_t cellCount() const { return std::int64_t{rowCount()} * columnCount(); }
    bool isSingleCell() const { return firstRow == lastRow && firstColumn == lastColumn; }
    bool coversAllRows() const { return firstRow == 1 && lastRow == kMaxRows; }
    bool coversAllColumns() const { return firstColumn == 1 && lastColumn == kMaxColumns; }
    bool contains(std::int32_t row, std::int32_t column) const {
        return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
    }
    bool intersects(const CellRange& o) const {
        return firstRow <= o.lastRow && o.firstRow <= lastRow && firstColumn <= o.lastColumn &&
               o.firstColumn <= lastColumn;
    }
    bool isValid() const {
        return firstRow >= 1 && firstRow <= lastRow && lastRow <= kMaxRows && firstColumn >= 1 &&
               firstColumn <= lastColumn && lastColumn <= kMaxColumns;
    }
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

// Column letters: 1 -> "A", 27 -> "AA", 256 -> "IV".
std::string columnName(std::int32_t column);

// Parses an A1-style address as the object model accepts it: "B2", "B2:F2", "$A$1", "A:A", "B:D", "3:3",
// "2:5", case-insensitive, blanks around allowed. The corners may come in any order (normalised). Fails
// with a clear description for anything else, including rows or columns outside the sheet.
CellRange parseAddress(std::string_view text);

// The A1-style text of a range: "B2", "B2:F2", "A:A" for whole columns, "3:5" for whole rows.
std::string formatAddress(const CellRange& range);

// Throws a Failure unless 1 <= row <= 65536 and 1 <= column <= 256.
void checkCell(std::int64_t row, std::int64_t column);

}  // namespace rw::sheet
