#include "spreadsheet/range_picture.h"

#include "platform/failure.h"

namespace rw::sheet {

std::int32_t columnPixels(const Worksheet& sheet, std::int32_t column) {
    const ColumnInfo& info = sheet.column(column);
    if (info.hidden) {
        return 0;
    }
    return columnWidthPixels(sheet.columnWidth(column), sheet.workbook().defaultFont());
}

std::int32_t rowPixels(const Worksheet& sheet, std::int32_t row) {
    return (static_cast<std::int32_t>(sheet.rowHeight(row)) + 7) / 15;
}

RangeGeometry rangeGeometry(const Worksheet& sheet, const CellRange& range) {
    if (!range.isValid()) {
        throw Failure("The range to picture lies outside the sheet");
    }
    RangeGeometry g;
    g.range = range;
    g.columnEdges.reserve(static_cast<std::size_t>(range.columnCount()) + 1);
    g.columnEdges.push_back(0);
    for (std::int32_t c = range.firstColumn; c <= range.lastColumn; ++c) {
        g.columnEdges.push_back(g.columnEdges.back() + columnPixels(sheet, c));
    }
    g.rowEdges.reserve(static_cast<std::size_t>(range.rowCount()) + 1);
    g.rowEdges.push_back(0);
    for (std::int32_t r = range.firstRow; r <= range.lastRow; ++r) {
        g.rowEdges.push_back(g.rowEdges.back() + rowPixels(sheet, r));
    }
    return g;
}

}  // namespace rw::sheet
