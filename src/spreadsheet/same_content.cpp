#include "spreadsheet/same_content.h"

namespace rw::sheet {

bool sameContent(const Workbook& a, const Workbook& b) {
    if (a.sheetCount() != b.sheetCount() || a.activeSheetIndex() != b.activeSheetIndex() ||
        a.palette() != b.palette() || !(a.defaultFont() == b.defaultFont())) {
        return false;
    }
    for (std::size_t i = 0; i < a.sheetCount(); ++i) {
        const Worksheet& x = a.sheet(i);
        const Worksheet& y = b.sheet(i);
        if (x.name() != y.name() || x.defaultRowHeight() != y.defaultRowHeight() ||
            x.defaultColumnCharacters() != y.defaultColumnCharacters() ||
            x.mergedRanges() != y.mergedRanges() || !(x.pageSetup() == y.pageSetup()) ||
            x.usedRows() != y.usedRows() || x.storedCellCount() != y.storedCellCount()) {
            return false;
        }
        for (std::int32_t c = 1; c <= kMaxColumns; ++c) {
            const ColumnInfo& p = x.column(c);
            const ColumnInfo& q = y.column(c);
            if (p.customWidth != q.customWidth || (p.customWidth && p.width != q.width) ||
                p.hidden != q.hidden || !(x.styles().style(p.style) == y.styles().style(q.style))) {
                return false;
            }
        }
        for (std::int32_t r : x.usedRows()) {
            if (x.customRowHeight(r) != y.customRowHeight(r)) {
                return false;
            }
        }
        bool same = true;
        x.forEachCell(CellRange::wholeSheet(), [&](const CellView& p) {
            if (!same) {
                return;
            }
            auto q = y.cell(p.row, p.column);
            same = q && q->kind == p.kind && q->text == p.text && q->number == p.number &&
                   x.styles().style(p.style) == y.styles().style(q->style);
        });
        if (!same) {
            return false;
        }
    }
    return true;
}

}  // namespace rw::sheet
