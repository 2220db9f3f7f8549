// The shape of a sheet in the file: DIMENSIONS, ROW, COLINFO, DEFCOLWIDTH, DEFAULTROWHEIGHT, WINDOW2 and
// MERGEDCELLS, written by SheetWriter and read by BookReader.

#include <algorithm>
#include <array>

#include "spreadsheet/xls_book_reader.h"
#include "spreadsheet/xls_sheet_writer.h"

namespace rw::sheet::xls {

void SheetWriter::writeColumns(RecordSink& s) {
    std::int32_t c = 1;
    while (c <= kMaxColumns) {
        const ColumnInfo& info = ws_.column(c);
        if (!info.customWidth && info.style == kDefaultStyle && !info.hidden) {
            ++c;
            continue;
        }
        std::int32_t last = c;
        while (last < kMaxColumns && ws_.column(last + 1).customWidth == info.customWidth &&
               ws_.columnWidth(last + 1) == ws_.columnWidth(c) && ws_.column(last + 1).style == info.style &&
               ws_.column(last + 1).hidden == info.hidden) {
            ++last;
        }
        s.begin(biff::kColInfo);
        s.u16(c - 1);
        s.u16(last - 1);
        s.u16(ws_.columnWidth(c));
        s.u16(layout_.xfOfStyle[info.style]);
        s.u16((info.hidden ? 0x01 : 0) | (info.customWidth ? 0x02 : 0));
        s.u16(0);
        s.end();
        c = last + 1;
    }
}

void SheetWriter::writeDimensions(RecordSink& s) {
    s.begin(biff::kDimensions);
    s.u32(anyCell_ ? firstRow_ : 0);
    s.u32(anyCell_ ? lastRow_ : 0);
    s.u16(anyCell_ ? firstCol_ : 0);
    s.u16(anyCell_ ? lastCol_ : 0);
    s.u16(0);
    s.end();
}

void SheetWriter::writeCells(RecordSink& s) {
    restartMergeSweep();
    nextText_ = 0;
    // Blocks of up to 32 rows: their ROW records, then their cells.
    for (std::size_t b = 0; b < rows_.size();) {
        std::size_t e = b + 1;
        while (e < rows_.size() && e - b < 32 && (rows_[e] - 1) / 32 == (rows_[b] - 1) / 32) {
            ++e;
        }
        if (block_.size() < 32) {
            block_.resize(32);
        }
        for (std::size_t i = b; i < e; ++i) {
            auto& cells = block_[i - b];
            cells.clear();
            collectRow(rows_[i], cells);
        }
        for (std::size_t i = b; i < e; ++i) {
            const std::int32_t row = rows_[i];
            const auto& cells = block_[i - b];
            const auto custom = ws_.customRowHeight(row);
            s.begin(biff::kRow);
            s.u16(row - 1);
            s.u16(cells.empty() ? 0 : cells.front().column);
            s.u16(cells.empty() ? 0 : cells.back().column + 1);
            s.u16(custom ? *custom : ws_.defaultRowHeight());
            s.u16(0);
            s.u16(0);
            s.u16(custom ? 0x0140 : 0x0100);
            s.u16(15);
            s.end();
        }
        for (std::size_t i = b; i < e; ++i) {
            writeRowCells(s, rows_[i] - 1, block_[i - b]);
        }
        b = e;
    }
}

void SheetWriter::writeWindow2(RecordSink& s) {
    s.record(biff::kWindow2,
             {static_cast<std::uint16_t>(active_ ? 0x06B6 : 0x00B6), 0, 0, 64, 0, 0, 0, 0, 0});
}

void SheetWriter::writeMergedCells(RecordSink& s) {
    const auto& merges = ws_.mergedRanges();
    for (std::size_t i = 0; i < merges.size(); i += biff::kMaxMergesPerRecord) {
        const std::size_t n = std::min(merges.size() - i, biff::kMaxMergesPerRecord);
        s.begin(biff::kMergeCells);
        s.u16(static_cast<std::uint32_t>(n));
        for (std::size_t k = i; k < i + n; ++k) {
            s.u16(merges[k].firstRow - 1);
            s.u16(merges[k].lastRow - 1);
            s.u16(merges[k].firstColumn - 1);
            s.u16(merges[k].lastColumn - 1);
        }
        s.end();
    }
}

void BookReader::readDefaultRowHeight(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    r.u16();
    const std::uint16_t h = r.u16();
    if (h >= 1 && h <= 8192) {
        sheet.ws.setDefaultRowHeight(h);
    }
}

void BookReader::readDefColWidth(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const std::uint16_t w = r.u16();
    if (w <= 255) {
        sheet.ws.setDefaultColumnCharacters(w);
    }
}

void BookReader::readColInfo(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const std::uint16_t first = r.u16();
    const std::uint16_t last = r.u16();
    const std::uint16_t width = r.u16();
    const std::uint16_t xf = r.u16();
    const std::uint16_t flags = r.u16();
    if (first > last || first >= kMaxColumns) {
        damaged("a column record lies outside the sheet");
    }
    // The width counts whether or not the file marks it as set by the user (LibreOffice
    // and others leave that flag off).
    ColumnInfo info;
    info.customWidth = (flags & 0x02) || width != sheet.ws.defaultColumnWidth();
    info.width = info.customWidth ? width : 0;
    info.hidden = flags & 0x01;
    info.style = styleOfXf(xf);
    for (std::int32_t c = first; c <= std::min<std::int32_t>(last, kMaxColumns - 1); ++c) {
        sheet.ws.setColumn(c + 1, info);
    }
}

void BookReader::readRow(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const std::int32_t row = r.u16() + 1;
    r.skip(4);
    const std::uint16_t height = r.u16();
    r.skip(4);
    const std::uint16_t flags = r.u16();
    if ((flags & 0x40) && height >= 1 && height <= 8192) {
        payRows(sheet, row);
        sheet.ws.setCustomRowHeight(row, height);
    }
}

void BookReader::readMergeCells(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    const std::uint16_t n = r.u16();
    if (rec.body.size() != 2 + 8u * n) {
        damaged("a MERGEDCELLS record has the wrong size");
    }
    for (std::uint16_t k = 0; k < n; ++k) {
        CellRange m;
        m.firstRow = r.u16() + 1;
        m.lastRow = r.u16() + 1;
        m.firstColumn = r.u16() + 1;
        m.lastColumn = r.u16() + 1;
        if (!m.isValid()) {
            damaged("a merged range lies outside the sheet");
        }
        if (!m.isSingleCell()) {
            spend(mergeCost(m, sheet.merges.empty()));
            sheet.merges.push_back(m);
        }
    }
}

// The memory a merged area takes in the worksheet's index, which lists it in every tile it touches, and
// the bytes saving it again will write.
std::size_t BookReader::mergeCost(const CellRange& m, bool first) {
    const std::size_t rows = static_cast<std::size_t>(m.lastRow - 1) / kMergeTileCells -
                             static_cast<std::size_t>(m.firstRow - 1) / kMergeTileCells + 1;
    const std::size_t columns = static_cast<std::size_t>(m.lastColumn - 1) / kMergeTileCells -
                                static_cast<std::size_t>(m.firstColumn - 1) / kMergeTileCells + 1;
    return rows * columns * kMergeTileBytes + static_cast<std::size_t>(m.cellCount()) * kMergeCellBytes +
           (first ? kMergeIndexBytes : 0);
}

// Lists the merged areas in the worksheet, in the file's order, and drops the cells they hide (those
// only repeat an area's format). Areas must not overlap. One sweep down the rows, the areas taken by
// first row: for each column, the last row an area already met covers; a new area overlaps one before
// it exactly when one of its columns is still covered at its first row. The time grows with the cells,
// the areas and their widths, never with the areas' sizes.
void BookReader::placeMerges(Worksheet& ws, const std::vector<CellRange>& merges) {
    if (merges.empty()) {
        return;
    }
    // The areas by first row: a counting sort.
    std::vector<std::uint32_t> firstOfRow(kMaxRows + 2, 0);
    for (const CellRange& m : merges) {
        ++firstOfRow[static_cast<std::size_t>(m.firstRow)];
    }
    for (std::size_t r = 1; r < firstOfRow.size(); ++r) {
        firstOfRow[r] += firstOfRow[r - 1];
    }
    std::vector<std::uint32_t> byRow(merges.size());
    for (std::size_t i = merges.size(); i-- > 0;) {
        byRow[--firstOfRow[static_cast<std::size_t>(merges[i].firstRow)]] = static_cast<std::uint32_t>(i);
    }
    // Per column: the last row covered so far, and the area covering it.
    std::array<std::int32_t, kMaxColumns + 1> coveredTo{};
    std::array<std::uint32_t, kMaxColumns + 1> coveredBy{};
    std::int32_t lastCovered = 0;
    std::size_t next = 0;
    for (std::int32_t row = 1; row <= kMaxRows; ++row) {
        for (; next < byRow.size() && merges[byRow[next]].firstRow == row; ++next) {
            const CellRange& m = merges[byRow[next]];
            for (std::int32_t c = m.firstColumn; c <= m.lastColumn; ++c) {
                if (coveredTo[c] >= row) {
                    damaged("merged areas overlap");
                }
                coveredTo[c] = m.lastRow;
                coveredBy[c] = byRow[next];
            }
            lastCovered = std::max(lastCovered, m.lastRow);
        }
        if (row > lastCovered && next == byRow.size()) {
            break;
        }
        ws.dropCells(row, [&](std::int32_t c) {
            if (coveredTo[c] < row) {
                return false;
            }
            const CellRange& m = merges[coveredBy[c]];
            return m.firstRow != row || m.firstColumn != c;
        });
    }
    for (const CellRange& m : merges) {
        ws.addMergedRangeUnchecked(m);
    }
}

}  // namespace rw::sheet::xls
