#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "spreadsheet/cell_address.h"

// The merged areas of a worksheet. Merged areas are also listed by tiles of the sheet, so finding the area
// of a cell, or the areas a range touches, looks at a few areas instead of all of them.
namespace rw::sheet {

class MergeIndex {
  public:
    // The merged areas, in the order they were made.
    const std::vector<CellRange>& ranges() const { return merges_; }
    bool empty() const { return merges_.empty(); }
    // True when a merged area touches the row; a quick test before looking for the area of a cell.
    bool isMergeRow(std::int32_t row) const { return !mergeRows_.empty() && mergeRows_[row - 1]; }
    // The merged area holding a cell, if any.
    std::optional<CellRange> mergedAreaAt(std::int32_t row, std::int32_t column) const;
    // Calls fn(area) once for every merged area that intersects the range, in no particular order.
    template <typename Fn>
    void forEachMergeIn(const CellRange& range, Fn&& fn) const;

    // Lists an area (validated by the caller: no overlap, not a single cell).
    void add(const CellRange& area);
    // Drops every area that intersects the range.
    void removeIntersecting(const CellRange& range);

  private:
    static constexpr std::int32_t kMergeTileRows = 16;
    static constexpr std::int32_t kMergeTileColumns = 16;
    static constexpr std::int32_t kMergeTilesAcross = kMaxColumns / kMergeTileColumns;
    static constexpr std::int32_t kMergeTilesDown = kMaxRows / kMergeTileRows;
    // An area of more than a 64th of the sheet is listed once, among the large ones, instead of in each tile
    // it touches: merging a whole sheet costs one entry, not 65,536. Areas do not overlap, so there are at
    // most 64 large ones to look through; a smaller area is listed in its tiles, as many as the reader's
    // memory budget allows for.
    static constexpr std::int64_t kLargeCells = std::int64_t{kMaxRows} * kMaxColumns / 64;
    using TileRow = std::array<std::vector<CellRange>, kMergeTilesAcross>;

    static bool isLarge(const CellRange& area);
    const std::vector<CellRange>* tile(std::int32_t tileRow, std::int32_t tileColumn) const;
    void indexMerge(const CellRange& area);
    void unindexMerge(const CellRange& area);
    void markMergeRows(const CellRange& range);

    std::vector<CellRange> merges_;
    std::vector<bool> mergeRows_;  // rows touched by a merged area; empty until the first merge
    // The areas by tile: one row of tiles (16 sheet rows) is made when an area first reaches it.
    std::vector<std::unique_ptr<TileRow>> mergeTiles_;
    std::vector<CellRange> largeAreas_;
};

template <typename Fn>
void MergeIndex::forEachMergeIn(const CellRange& range, Fn&& fn) const {
    if (merges_.empty()) {
        return;
    }
    const std::int32_t r0 = (std::max(range.firstRow, 1) - 1) / kMergeTileRows;
    const std::int32_t r1 = (std::min(range.lastRow, kMaxRows) - 1) / kMergeTileRows;
    const std::int32_t c0 = (std::max(range.firstColumn, 1) - 1) / kMergeTileColumns;
    const std::int32_t c1 = (std::min(range.lastColumn, kMaxColumns) - 1) / kMergeTileColumns;
    if (r1 < r0 || c1 < c0) {
        return;
    }
    // A large range with few areas: looking at each area is cheaper than looking at each tile.
    if (static_cast<std::size_t>(r1 - r0 + 1) * static_cast<std::size_t>(c1 - c0 + 1) >= merges_.size()) {
        for (const CellRange& m : merges_) {
            if (m.intersects(range)) {
                fn(m);
            }
        }
        return;
    }
    for (const CellRange& m : largeAreas_) {
        if (m.intersects(range)) {
            fn(m);
        }
    }
    for (std::int32_t tr = r0; tr <= r1 && !mergeTiles_.empty(); ++tr) {
        if (mergeTiles_[static_cast<std::size_t>(tr)] == nullptr) {
            continue;
        }
        for (std::int32_t tc = c0; tc <= c1; ++tc) {
            for (const CellRange& m :
                 (*mergeTiles_[static_cast<std::size_t>(tr)])[static_cast<std::size_t>(tc)]) {
                // An area listed in several tiles counts in the one holding the top-left cell it shares
                // with the range.
                if (m.intersects(range) &&
                    (std::max(m.firstRow, range.firstRow) - 1) / kMergeTileRows == tr &&
                    (std::max(m.firstColumn, range.firstColumn) - 1) / kMergeTileColumns == tc) {
                    fn(m);
                }
            }
        }
    }
}

}  // namespace rw::sheet
