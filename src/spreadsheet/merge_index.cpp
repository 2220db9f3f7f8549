#include "spreadsheet/merge_index.h"

namespace rw::sheet {

std::optional<CellRange> MergeIndex::mergedAreaAt(std::int32_t row, std::int32_t column) const {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns || !isMergeRow(row)) {
        return std::nullopt;
    }
    const auto& tile = mergeTiles_[static_cast<std::size_t>((row - 1) / kMergeTileRows * kMergeTilesAcross +
                                                            (column - 1) / kMergeTileColumns)];
    for (const CellRange& m : tile) {
        if (m.contains(row, column)) {
            return m;
        }
    }
    return std::nullopt;
}

void MergeIndex::add(const CellRange& area) {
    merges_.push_back(area);
    indexMerge(area);
}

void MergeIndex::removeIntersecting(const CellRange& area) {
    std::vector<CellRange> absorbed;
    forEachMergeIn(area, [&](const CellRange& m) { absorbed.push_back(m); });
    if (!absorbed.empty()) {
        std::erase_if(merges_, [&](const CellRange& m) { return area.intersects(m); });
        for (const CellRange& m : absorbed) {
            unindexMerge(m);
        }
    }
}

void MergeIndex::indexMerge(const CellRange& area) {
    if (mergeTiles_.empty()) {
        mergeTiles_.resize(static_cast<std::size_t>(kMergeTilesDown * kMergeTilesAcross));
    }
    for (std::int32_t tr = (area.firstRow - 1) / kMergeTileRows; tr <= (area.lastRow - 1) / kMergeTileRows;
         ++tr) {
        for (std::int32_t tc = (area.firstColumn - 1) / kMergeTileColumns;
             tc <= (area.lastColumn - 1) / kMergeTileColumns; ++tc) {
            mergeTiles_[static_cast<std::size_t>(tr * kMergeTilesAcross + tc)].push_back(area);
        }
    }
    markMergeRows(area);
}

void MergeIndex::unindexMerge(const CellRange& area) {
    for (std::int32_t tr = (area.firstRow - 1) / kMergeTileRows; tr <= (area.lastRow - 1) / kMergeTileRows;
         ++tr) {
        for (std::int32_t tc = (area.firstColumn - 1) / kMergeTileColumns;
             tc <= (area.lastColumn - 1) / kMergeTileColumns; ++tc) {
            std::erase(mergeTiles_[static_cast<std::size_t>(tr * kMergeTilesAcross + tc)], area);
        }
    }
}

void MergeIndex::markMergeRows(const CellRange& r) {
    if (mergeRows_.empty()) {
        mergeRows_.resize(kMaxRows, false);
    }
    for (std::int32_t row = r.firstRow; row <= r.lastRow; ++row) {
        mergeRows_[row - 1] = true;
    }
}

}  // namespace rw::sheet
