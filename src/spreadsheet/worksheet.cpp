#include "spreadsheet/worksheet.h"

#include <cmath>

#include "platform/failure.h"
#include "spreadsheet/metrics.h"
#include "spreadsheet/text.h"
#include "spreadsheet/workbook.h"

namespace rw::sheet {

namespace {

// Ranges larger than this are refused when every cell would have to be stored one by one.
constexpr std::int64_t kMaxCellsPerOperation = 1 << 21;
constexpr std::size_t kMaxTextUnits = 32767;

}  // namespace

Worksheet::Worksheet(Workbook* workbook, StyleTable* styles, std::string name)
    : workbook_(workbook), styles_(styles), name_(std::move(name)) {
    defaultRowHeight_ = rowHeightForFont(styles_->style(kDefaultStyle).font);
}

void Worksheet::setName(const std::string& name) {
    workbook_->checkSheetName(name, this);
    name_ = name;
}

Worksheet::Row& Worksheet::rowAt(std::int32_t row) {
    if (rows_.size() < static_cast<std::size_t>(row)) [[unlikely]] {
        growRows(row);
    }
    return rows_[row - 1];
}

void Worksheet::growRows(std::int32_t row) {
    if (rows_.capacity() < static_cast<std::size_t>(row)) {
        rows_.reserve(std::max<std::size_t>(static_cast<std::size_t>(row), rows_.capacity() * 2));
    }
    rows_.resize(static_cast<std::size_t>(row));
}

Worksheet::Cell& Worksheet::cellAt(std::int32_t row, std::int32_t column) {
    auto& cells = rowAt(row).cells;
    const auto col = static_cast<std::uint16_t>(column);
    if (cells.empty() || cells.back().column < col) {
        if (cells.capacity() == 0) {
            cells.reserve(8);  // a chart row holds up to a box and seven connectors
        }
        cells.push_back(Cell{col, ValueKind::Empty, columns_[column - 1].style, 0});
        return cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const Cell& c, std::uint16_t v) { return c.column < v; });
    if (it != cells.end() && it->column == col) {
        return *it;
    }
    return *cells.insert(it, Cell{col, ValueKind::Empty, columns_[column - 1].style, 0});
}

const Worksheet::Cell* Worksheet::findCell(std::int32_t row, std::int32_t column) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) {
        return nullptr;
    }
    const auto& cells = rows_[row - 1].cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Cell& c, std::int32_t v) { return c.column < v; });
    if (it != cells.end() && it->column == column) {
        return &*it;
    }
    return nullptr;
}

void Worksheet::checkRange(const CellRange& r) const {
    if (!r.isValid()) {
        throw Failure("The range " + formatAddress(r) + " is not inside the sheet");
    }
}

// Calls fn(row, column) for every cell of the range that can hold a value: hidden cells of a merged area
// are skipped when the range also holds the area's top-left cell, and refused otherwise.
template <typename Fn>
void Worksheet::forEachValueCell(const CellRange& range, Fn&& fn) {
    checkRange(range);
    if (range.cellCount() > kMaxCellsPerOperation) {
        throw Failure("The range " + formatAddress(range) + " is too large to fill cell by cell");
    }
    merges_.forEachMergeIn(range, [&](const CellRange& m) {
        if (!range.contains(m.firstRow, m.firstColumn)) {
            throw Failure("Cannot change part of a merged cell.");
        }
    });
    for (std::int32_t r = range.firstRow; r <= range.lastRow; ++r) {
        for (std::int32_t c = range.firstColumn; c <= range.lastColumn; ++c) {
            if (merges_.isMergeRow(r)) {
                auto m = mergedAreaAt(r, c);
                if (m && (m->firstRow != r || m->firstColumn != c)) {
                    continue;
                }
            }
            fn(r, c);
        }
    }
}

void Worksheet::setText(const CellRange& range, std::string_view value) {
    if (value.empty()) {
        clearValue(range);
        return;
    }
    if (text::utf16Length(value) > kMaxTextUnits) {
        throw Failure("A cell holds at most 32767 characters");
    }
    forEachValueCell(range, [&](std::int32_t r, std::int32_t c) {
        Cell& cell = cellAt(r, c);
        if (cell.kind == ValueKind::Text && !(cell.value < sharedTexts_.size() && sharedTexts_[cell.value])) {
            texts_[cell.value].assign(value);
        } else {
            cell.kind = ValueKind::Text;
            cell.value = static_cast<std::uint32_t>(texts_.size());
            texts_.emplace_back(value);
        }
    });
}

void Worksheet::setNumber(const CellRange& range, double number) {
    if (!std::isfinite(number)) {
        throw Failure("A cell cannot hold an infinite or undefined number");
    }
    forEachValueCell(range, [&](std::int32_t r, std::int32_t c) {
        Cell& cell = cellAt(r, c);
        if (cell.kind == ValueKind::Number || cell.kind == ValueKind::Boolean ||
            cell.kind == ValueKind::Error) {
            cell.kind = ValueKind::Number;
            numbers_[cell.value] = number;
        } else {
            cell.kind = ValueKind::Number;
            cell.value = static_cast<std::uint32_t>(numbers_.size());
            numbers_.push_back(number);
        }
    });
}

void Worksheet::clearValue(const CellRange& range) {
    checkRange(range);
    merges_.forEachMergeIn(range, [&](const CellRange& m) {
        if (!range.contains(m.firstRow, m.firstColumn)) {
            throw Failure("Cannot change part of a merged cell.");
        }
    });
    const std::int32_t last = std::min<std::int32_t>(range.lastRow, static_cast<std::int32_t>(rows_.size()));
    for (std::int32_t r = range.firstRow; r <= last; ++r) {
        for (Cell& c : rows_[r - 1].cells) {
            if (c.column >= range.firstColumn && c.column <= range.lastColumn) {
                c.kind = ValueKind::Empty;
                c.value = 0;
            }
        }
    }
}

void Worksheet::growRowForFont(std::int32_t row, StyleId style) {
    const std::uint16_t need = rowHeightForFont(styles_->style(style).font);
    if (need <= defaultRowHeight_) {
        return;
    }
    if (rows_.size() < static_cast<std::size_t>(row)) {
        rows_.resize(static_cast<std::size_t>(row));
    }
    Row& r = rows_[row - 1];
    if (!r.manualHeight && need > r.height) {
        r.height = need;
    }
}

void Worksheet::applyStyle(const CellRange& range, const StyleChange& change) {
    checkRange(range);
    // Validate the change once, so a bad value fails before anything changes. The check writes into a
    // scratch style that is kept, not made anew for each of the chart's hundreds of thousands of changes.
    // A change the same as the one checked last (as most of a chart's are) is not checked again.
    {
        static thread_local CellStyle probe;
        static thread_local StyleChange checked{StyleChange::Kind::FontName, Edge::Left, 0, {}};
        if (change.kind == StyleChange::Kind::FontName || change.kind != checked.kind ||
            change.edge != checked.edge || change.number != checked.number) {
            change.applyTo(probe);
            checked = {change.kind, change.edge, change.number, {}};
        }
    }
    const bool fontChange =
        change.kind == StyleChange::Kind::FontHeight || change.kind == StyleChange::Kind::FontName;
    if (range.coversAllRows()) {
        // Whole columns: the column formats change, and so do the cells already stored in them.
        for (std::int32_t c = range.firstColumn; c <= range.lastColumn; ++c) {
            columns_[c - 1].style = styles_->apply(columns_[c - 1].style, change);
        }
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            for (Cell& cell : rows_[r].cells) {
                if (cell.column >= range.firstColumn && cell.column <= range.lastColumn) {
                    cell.style = styles_->apply(cell.style, change);
                    if (fontChange) {
                        growRowForFont(static_cast<std::int32_t>(r + 1), cell.style);
                    }
                }
            }
        }
        if (range.coversAllColumns() && fontChange) {
            defaultRowHeight_ = std::max(rowHeightForFont(styles_->style(columns_[0].style).font),
                                         rowHeightForFont(workbook_->defaultFont()));
        }
        return;
    }
    if (range.cellCount() > kMaxCellsPerOperation) {
        throw Failure("The range " + formatAddress(range) + " is too large to format cell by cell");
    }
    for (std::int32_t r = range.firstRow; r <= range.lastRow; ++r) {
        for (std::int32_t c = range.firstColumn; c <= range.lastColumn; ++c) {
            std::int32_t tr = r, tc = c;
            if (merges_.isMergeRow(r)) {
                if (auto m = mergedAreaAt(r, c)) {
                    // A merged area changes once, when the scan meets its first cell inside the range.
                    if (r != std::max(m->firstRow, range.firstRow) ||
                        c != std::max(m->firstColumn, range.firstColumn)) {
                        continue;
                    }
                    tr = m->firstRow;
                    tc = m->firstColumn;
                }
            }
            Cell& cell = cellAt(tr, tc);
            cell.style = styles_->apply(cell.style, change);
            if (fontChange) {
                growRowForFont(tr, cell.style);
            }
        }
    }
}

void Worksheet::setColumnWidth(std::int32_t firstColumn, std::int32_t lastColumn, std::uint16_t width) {
    checkCell(1, firstColumn);
    checkCell(1, lastColumn);
    for (std::int32_t c = std::min(firstColumn, lastColumn); c <= std::max(firstColumn, lastColumn); ++c) {
        columns_[c - 1].width = width;
        columns_[c - 1].customWidth = true;
    }
}

void Worksheet::setRowHeight(std::int32_t row, std::uint16_t twips) {
    checkCell(row, 1);
    if (twips < 1 || twips > 8192) {
        throw Failure("A row height must be between 1 and 8192 twips (409 points)");
    }
    if (rows_.size() < static_cast<std::size_t>(row)) {
        rows_.resize(static_cast<std::size_t>(row));
    }
    rows_[row - 1].height = twips;
    rows_[row - 1].manualHeight = true;
}

void Worksheet::merge(const CellRange& input) {
    checkRange(input);
    CellRange area = input;
    // Absorb every merged area the new one overlaps, until none is left half inside.
    for (bool grown = true; grown;) {
        grown = false;
        const CellRange seen = area;
        merges_.forEachMergeIn(seen, [&](const CellRange& m) {
            if (!(area.contains(m.firstRow, m.firstColumn) && area.contains(m.lastRow, m.lastColumn))) {
                area.firstRow = std::min(area.firstRow, m.firstRow);
                area.firstColumn = std::min(area.firstColumn, m.firstColumn);
                area.lastRow = std::max(area.lastRow, m.lastRow);
                area.lastColumn = std::max(area.lastColumn, m.lastColumn);
                grown = true;
            }
        });
    }
    if (area.isSingleCell()) {
        return;
    }
    merges_.removeIntersecting(area);
    // The top-left cell keeps its value and format; the others lose theirs.
    cellAt(area.firstRow, area.firstColumn);
    const std::int32_t last = std::min<std::int32_t>(area.lastRow, static_cast<std::int32_t>(rows_.size()));
    for (std::int32_t r = area.firstRow; r <= last; ++r) {
        std::erase_if(rows_[r - 1].cells, [&](const Cell& c) {
            return c.column >= area.firstColumn && c.column <= area.lastColumn &&
                   !(r == area.firstRow && c.column == area.firstColumn);
        });
    }
    merges_.add(area);
}

void Worksheet::addMergedRangeUnchecked(const CellRange& range) {
    merges_.add(range);
}

std::optional<CellView> Worksheet::cell(std::int32_t row, std::int32_t column) const {
    if (const Cell* c = findCell(row, column)) {
        return view(row, *c);
    }
    return std::nullopt;
}

StyleId Worksheet::effectiveStyleId(std::int32_t row, std::int32_t column) const {
    checkCell(row, column);
    if (merges_.isMergeRow(row)) {
        if (auto m = mergedAreaAt(row, column)) {
            row = m->firstRow;
            column = m->firstColumn;
        }
    }
    if (const Cell* c = findCell(row, column)) {
        return c->style;
    }
    return columns_[column - 1].style;
}

std::size_t Worksheet::storedCellCount() const {
    std::size_t n = 0;
    for (const Row& r : rows_) {
        n += r.cells.size();
    }
    return n;
}

bool Worksheet::isEmpty() const {
    return merges_.empty() && storedCellCount() == 0;
}

CellRange Worksheet::usedRange() const {
    std::int32_t r0 = kMaxRows + 1, r1 = 0, c0 = kMaxColumns + 1, c1 = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const auto& cells = rows_[i].cells;
        if (cells.empty()) {
            continue;
        }
        const auto row = static_cast<std::int32_t>(i + 1);
        r0 = std::min(r0, row);
        r1 = std::max(r1, row);
        c0 = std::min<std::int32_t>(c0, cells.front().column);
        c1 = std::max<std::int32_t>(c1, cells.back().column);
    }
    for (const CellRange& m : merges_.ranges()) {
        r0 = std::min(r0, m.firstRow);
        r1 = std::max(r1, m.lastRow);
        c0 = std::min(c0, m.firstColumn);
        c1 = std::max(c1, m.lastColumn);
    }
    if (r1 == 0) {
        return CellRange::cell(1, 1);
    }
    return {r0, c0, r1, c1};
}

std::uint16_t Worksheet::columnWidth(std::int32_t column) const {
    const ColumnInfo& info = columns_.at(static_cast<std::size_t>(column - 1));
    return info.customWidth ? info.width : defaultColumnWidth();
}

std::uint16_t Worksheet::defaultColumnWidth() const {
    // Excel rounds the default width (characters plus padding) up to a multiple of 8 pixels.
    const int mdw = maxDigitWidth(workbook_->defaultFont());
    int px = defaultColumnCharacters_ * mdw + columnPadding(mdw);
    px = (px + 7) / 8 * 8;
    return static_cast<std::uint16_t>(std::min<std::int64_t>(65535, std::int64_t{px} * 256 / mdw));
}

void Worksheet::setDefaultColumnCharacters(std::uint16_t characters) {
    if (characters > 255) {
        throw Failure("A default column width must be at most 255 characters");
    }
    defaultColumnCharacters_ = characters;
}

std::uint16_t Worksheet::rowHeight(std::int32_t row) const {
    return customRowHeight(row).value_or(defaultRowHeight_);
}

std::optional<std::uint16_t> Worksheet::customRowHeight(std::int32_t row) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size() || rows_[row - 1].height == 0) {
        return std::nullopt;
    }
    return rows_[row - 1].height;
}

void Worksheet::setDefaultRowHeight(std::uint16_t twips) {
    if (twips < 1 || twips > 8192) {
        throw Failure("A row height must be between 1 and 8192 twips (409 points)");
    }
    defaultRowHeight_ = twips;
}

std::vector<std::int32_t> Worksheet::usedRows() const {
    std::vector<std::int32_t> out;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].cells.empty() || rows_[i].height != 0) {
            out.push_back(static_cast<std::int32_t>(i + 1));
        }
    }
    return out;
}

void Worksheet::putCell(std::int32_t row, std::int32_t column, StyleId style) {
    checkCell(row, column);
    cellAt(row, column).style = style;
}

void Worksheet::putText(std::int32_t row, std::int32_t column, std::string text) {
    Cell& cell = cellAt(row, column);
    cell.kind = ValueKind::Text;
    cell.value = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(std::move(text));
}

void Worksheet::reserveCells(std::int32_t row, std::size_t count) {
    checkCell(row, 1);
    auto& cells = rowAt(row).cells;
    cells.reserve(cells.size() + std::min<std::size_t>(count, kMaxColumns));
}

std::uint32_t Worksheet::addSharedText(std::string text) {
    const auto index = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(std::move(text));
    sharedTexts_.resize(texts_.size());
    sharedTexts_[index] = true;
    return index;
}

void Worksheet::putSharedText(std::int32_t row, std::int32_t column, std::uint32_t text) {
    Cell& cell = cellAt(row, column);
    cell.kind = ValueKind::Text;
    cell.value = text;
}

void Worksheet::putNumber(std::int32_t row, std::int32_t column, double number) {
    Cell& cell = cellAt(row, column);
    cell.kind = ValueKind::Number;
    cell.value = static_cast<std::uint32_t>(numbers_.size());
    numbers_.push_back(number);
}

void Worksheet::putBoolean(std::int32_t row, std::int32_t column, bool value) {
    putNumber(row, column, value ? 1 : 0);
    cellAt(row, column).kind = ValueKind::Boolean;
}

void Worksheet::putError(std::int32_t row, std::int32_t column, std::uint8_t code) {
    putNumber(row, column, code);
    cellAt(row, column).kind = ValueKind::Error;
}

const char* errorText(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        case 0x2A:
            return "#N/A";
        default:
            return nullptr;
    }
}

void Worksheet::setColumn(std::int32_t column, const ColumnInfo& info) {
    checkCell(1, column);
    columns_[column - 1] = info;
}

void Worksheet::setCustomRowHeight(std::int32_t row, std::optional<std::uint16_t> twips) {
    checkCell(row, 1);
    if (rows_.size() < static_cast<std::size_t>(row)) {
        if (!twips) {
            return;
        }
        rows_.resize(static_cast<std::size_t>(row));
    }
    rows_[row - 1].height = twips.value_or(0);
    rows_[row - 1].manualHeight = twips.has_value();
}

}  // namespace rw::sheet
