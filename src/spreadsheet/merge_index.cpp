#include "spreadsheet/merge_index.h"

namespace rw::sheet {

bool MergeIndex::isLarge(const CellRange& area) {
    return static_cast<std::int64_t>(area.cellCount()) > kLargeCells;
}

const std::vector<CellRange>* MergeIndex::tile(std::int32_t tileRow, std::int32_t tileColumn) const {
    if (mergeTiles_.empty()) {
        return nullptr;  // only large areas so far
    }
    const auto& row = mergeTiles_[static_cast<std::size_t>(tileRow)];
    return row == nullptr ? nullptr : &(*row)[static_cast<std::size_t>(tileColumn)];
}

std::optional<CellRange> MergeIndex::mergedAreaAt(std::int32_t row, std::int32_t column) const {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns || !isMergeRow(row)) {
        return std::nullopt;
    }
    if (const auto* areas = tile((row - 1) / kMergeTileRows, (column - 1) / kMergeTileColumns)) {
        for (const CellRange& m : *areas) {
            if (m.contains(row, column)) {
                return m;
            }
        }
    }
    for (const CellRange& m : largeAreas_) {
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
    markMergeRows(area);
    if (isLarge(area)) {
        largeAreas_.push_back(area);
        return;
    }
    if (mergeTiles_.empty()) {
        mergeTiles_.resize(static_cast<std::size_t>(kMergeTilesDown));
    }
    for (std::int32_t tr = (area.firstRow - 1) / kMergeTileRows; tr <= (area.lastRow - 1) / kMergeTileRows;
         ++tr) {
        auto& row = mergeTiles_[static_cast<std::size_t>(tr)];
        if (row == nullptr) {
            row = std::make_unique<TileRow>();
        }
        for (std::int32_t tc = (area.firstColumn - 1) / kMergeTileColumns;
             tc <= (area.lastColumn - 1) / kMergeTileColumns; ++tc) {
            (*row)[static_cast<std::size_t>(tc)].push_back(area);
        }
    }
}

void MergeIndex::unindexMerge(const CellRange& area) {
    if (isLarge(area)) {
        std::erase(largeAreas_, area);
        return;
    }
    for (std::int32_t tr = (area.firstRow - 1) / kMergeTileRows; tr <= (area.lastRow - 1) / kMergeTileRows;
         ++tr) {
        for (std::int32_t tc = (area.firstColumn - 1) / kMergeTileColumns;
             tc <= (area.lastColumn - 1) / kMergeTileColumns; ++tc) {
            std::erase((*mergeTiles_[static_cast<std::size_t>(tr)])[static_cast<std::size_t>(tc)], area);
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
