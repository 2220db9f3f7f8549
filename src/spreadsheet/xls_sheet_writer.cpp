#include "spreadsheet/xls_sheet_writer.h"

#include <algorithm>

#include "spreadsheet/xls_page_setup.h"

namespace rw::sheet::xls {

void SheetWriter::prepare() {
    for (std::int32_t c = 1; c <= kMaxColumns; ++c) {
        xfIndex(layout_, ws_.column(c).style);
    }
    // The used rows come ascending; the merged areas' rows are sorted apart and merged in, which costs
    // the chart's half a million rows a pass rather than a sort.
    rows_ = ws_.usedRows();
    const auto used = static_cast<std::ptrdiff_t>(rows_.size());
    for (const CellRange& m : ws_.mergedRanges()) {
        for (std::int32_t r = m.firstRow; r <= m.lastRow; ++r) {
            rows_.push_back(r);
        }
    }
    std::sort(rows_.begin() + used, rows_.end());
    std::inplace_merge(rows_.begin(), rows_.begin() + used, rows_.end());
    rows_.erase(std::unique(rows_.begin(), rows_.end()), rows_.end());
    const auto& merges = ws_.mergedRanges();
    mergesByFirstRow_.resize(merges.size());
    for (std::size_t i = 0; i < merges.size(); ++i) {
        mergesByFirstRow_[i] = static_cast<std::uint32_t>(i);
    }
    std::stable_sort(
        mergesByFirstRow_.begin(), mergesByFirstRow_.end(),
        [&](std::uint32_t a, std::uint32_t b) { return merges[a].firstRow < merges[b].firstRow; });
    std::vector<OutCell> scratch;
    preparing_ = true;
    restartMergeSweep();
    for (std::int32_t row : rows_) {
        scratch.clear();
        collectRow(row, scratch);
        expectedBytes_ += 4 + 16 + rowCellsSize(scratch);  // the ROW record and the cells
        if (scratch.empty()) {
            continue;
        }
        if (!anyCell_) {
            firstRow_ = static_cast<std::uint32_t>(row - 1);
        }
        anyCell_ = true;
        lastRow_ = static_cast<std::uint32_t>(row);
        firstCol_ = std::min(firstCol_, scratch.front().column);
        lastCol_ = std::max<std::uint16_t>(lastCol_, static_cast<std::uint16_t>(scratch.back().column + 1));
    }
    preparing_ = false;
    expectedBytes_ += 16384 + ws_.mergedRanges().size() * 8;
}

void SheetWriter::write(RecordSink& s) {
    s.begin(biff::kBof);
    s.u16(0x0600);
    s.u16(0x0010);
    s.u16(0x0DBB);
    s.u16(0x07CC);
    s.u32(0);
    s.u32(6);
    s.end();
    s.record(biff::kCalcMode, {1});
    s.record(biff::kCalcCount, {100});
    s.record(biff::kCalcRefMode, {1});
    s.record(biff::kCalcIter, {0});
    s.begin(biff::kCalcDelta);
    s.f64(0.001);
    s.end();
    s.record(biff::kCalcSaveRecalc, {1});
    s.record(biff::kPrintRowCol, {0});
    s.record(biff::kPrintGrid, {0});
    s.record(biff::kGridSet, {1});
    s.record(biff::kGuts, {0, 0, 0, 0});
    const bool syncedDefault = ws_.defaultRowHeight() == rowHeightForFont(ws_.workbook().defaultFont());
    s.record(biff::kDefaultRowHeight,
             {static_cast<std::uint16_t>(syncedDefault ? 0 : 1), ws_.defaultRowHeight()});
    const PageSetup& ps = ws_.pageSetup();
    writeWsBool(s, ps);
    writePageSetup(s, ps);
    s.record(biff::kDefColWidth, {ws_.defaultColumnCharacters()});
    writeColumns(s);
    writeDimensions(s);
    writeCells(s);
    writeWindow2(s);
    writeMergedCells(s);
    s.begin(biff::kEof);
    s.end();
}

void SheetWriter::collectRow(std::int32_t row, std::vector<OutCell>& out) {
    const std::vector<std::uint32_t>& merges = mergesOnRow(row);
    // Stored cells, then the hidden cells of merged areas that show the top-left cell's format.
    ws_.forEachCell(CellRange{row, 1, row, kMaxColumns}, [&](const CellView& v) {
        OutCell c{static_cast<std::uint16_t>(v.column - 1), 0, v.kind, 0, v.number};
        // A cell's own format, unless a merged area hides it (then the area's): the look-up is needed on
        // rows a merged area crosses only.
        const auto area = merges.empty() ? std::nullopt : ws_.mergedAreaAt(row, v.column);
        const bool hidden = area && (area->firstRow != row || area->firstColumn != v.column);
        c.xf = xfIndex(layout_, hidden ? ws_.effectiveStyleId(row, v.column) : v.style);
        if (v.kind == ValueKind::Text) {
            if (preparing_) {
                std::string key(v.text);
                auto [it, added] = sst_.emplace(key, static_cast<std::uint32_t>(sst_.size()));
                if (added) {
                    sstList_.push_back(it->first);
                }
                c.sst = it->second;
                textSst_.push_back(c.sst);
                ++sstTotal_;
            } else {
                c.sst = textSst_.at(nextText_++);  // the text cells come in the order prepare() met them
            }
        }
        out.push_back(c);
    });
    bool added = false;
    const auto& areas = ws_.mergedRanges();
    for (const std::uint32_t i : merges) {
        const CellRange& m = areas[i];
        const std::uint16_t xf = xfIndex(layout_, ws_.effectiveStyleId(m.firstRow, m.firstColumn));
        for (std::int32_t col = m.firstColumn; col <= m.lastColumn; ++col) {
            if (ws_.cell(row, col)) {
                continue;
            }
            out.push_back(OutCell{static_cast<std::uint16_t>(col - 1), xf, ValueKind::Empty, 0, 0});
            added = true;
        }
    }
    if (added) {
        std::sort(out.begin(), out.end(),
                  [](const OutCell& a, const OutCell& b) { return a.column < b.column; });
    }
}

// The merged areas across a row, in the order of the sheet's list (which fixes the order XFs are
// numbered in). Rows must come ascending between restarts. The areas across one row do not overlap, so
// at most one per column is ever active.
void SheetWriter::restartMergeSweep() {
    nextMerge_ = 0;
    activeMerges_.clear();
}

const std::vector<std::uint32_t>& SheetWriter::mergesOnRow(std::int32_t row) {
    const auto& merges = ws_.mergedRanges();
    std::erase_if(activeMerges_, [&](std::uint32_t i) { return merges[i].lastRow < row; });
    bool added = false;
    while (nextMerge_ < mergesByFirstRow_.size() && merges[mergesByFirstRow_[nextMerge_]].firstRow <= row) {
        const std::uint32_t i = mergesByFirstRow_[nextMerge_++];
        if (merges[i].lastRow >= row) {
            activeMerges_.push_back(i);
            added = true;
        }
    }
    if (added) {
        std::sort(activeMerges_.begin(), activeMerges_.end());
    }
    return activeMerges_;
}

}  // namespace rw::sheet::xls
