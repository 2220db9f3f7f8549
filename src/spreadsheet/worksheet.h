#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "spreadsheet/cell_address.h"
#include "spreadsheet/merge_index.h"
#include "spreadsheet/styles.h"

// A worksheet of the workbook model: its cells with values and interned styles, merged areas, column widths,
// row heights and print set-up.
namespace rw::sheet {

// Boolean cells hold 0 or 1 in `number`; error cells the error's code as the file stores it (0x07 #DIV/0!,
// 0x2A #N/A, ...; see errorText). A formula read from a file is kept as the value it last showed.
enum class ValueKind : std::uint8_t { Empty, Text, Number, Boolean, Error };

// The codes of the error values a cell can show, and their texts ("#DIV/0!"); nullptr for other codes.
const char* errorText(std::uint8_t code);

// A read-only view of one stored cell.
struct CellView {
    std::int32_t row = 0;
    std::int32_t column = 0;
    StyleId style = kDefaultStyle;  // the cell's own format
    ValueKind kind = ValueKind::Empty;
    std::string_view text;  // valid while the sheet is unchanged
    double number = 0;
};

// Print set-up of a sheet. Defaults are Excel's: portrait, 100 %, no titles, no header or footer.
struct PageSetup {
    bool landscape = false;
    std::uint16_t scalePercent = 100;
    bool fitToPage = false;       // scale to fitWidth x fitHeight pages instead of scalePercent
    std::uint16_t fitWidth = 1;   // pages across (0 = as many as needed)
    std::uint16_t fitHeight = 1;  // pages down (0 = as many as needed)
    std::optional<std::pair<std::int32_t, std::int32_t>> titleRows;  // rows repeated at the top
    // The cells that print (the built-in name Print_Area); none leaves the choice to the spreadsheet program.
    std::optional<CellRange> printArea;
    bool centerHorizontally = false;
    bool centerVertically = false;
    std::string header;  // in Excel's header/footer code, e.g. "&CPage &P of &N"
    std::string footer;
    double leftMargin = 0.75, rightMargin = 0.75, topMargin = 1.0, bottomMargin = 1.0;  // inches
    double headerMargin = 0.5, footerMargin = 0.5;
    friend bool operator==(const PageSetup&, const PageSetup&) = default;
};

struct ColumnInfo {
    std::uint16_t width = 0;  // 1/256 character units; meaningful when customWidth
    bool customWidth = false;
    StyleId style = kDefaultStyle;  // format of the column's cells that have none of their own
    bool hidden = false;
    friend bool operator==(const ColumnInfo&, const ColumnInfo&) = default;
};

class Workbook;

class Worksheet {
  public:
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    const std::string& name() const { return name_; }
    void setName(const std::string& name);  // 1..31 characters, none of []:*?/\, unique in the workbook

    Workbook& workbook() { return *workbook_; }
    const Workbook& workbook() const { return *workbook_; }
    const StyleTable& styles() const { return *styles_; }

    // --- values -------------------------------------------------------------------------------------
    // Sets the value of every cell of the range (the object model's Range.Value with one value). Text up
    // to 32767 characters of valid UTF-8. A cell hidden inside a merged area cannot take a value.
    void setText(const CellRange& range, std::string_view text);
    void setNumber(const CellRange& range, double number);
    void clearValue(const CellRange& range);

    // --- formats ------------------------------------------------------------------------------------
    // Applies one change to every cell of the range. Whole columns change the column formats (no cells
    // are created), the whole sheet changes every column format; cells already stored in them change too.
    // A change to any cell of a merged area applies to the area (its top-left cell). A larger font makes
    // its rows taller (unless a row's height was set by hand).
    void applyStyle(const CellRange& range, const StyleChange& change);
    // Column widths in 1/256 character units (0 hides nothing; width 0 is allowed and shows as hidden).
    void setColumnWidth(std::int32_t firstColumn, std::int32_t lastColumn, std::uint16_t width);
    // A row height in twips, set by hand (1..8192).
    void setRowHeight(std::int32_t row, std::uint16_t twips);

    // --- merged areas -------------------------------------------------------------------------------
    // Merges the range into one cell, as Excel does: the top-left cell keeps its value and format, the
    // other cells lose theirs and show the top-left's format. Existing merged areas it overlaps are
    // absorbed (the area grows to cover them). A single cell is left alone.
    void merge(const CellRange& range);
    const std::vector<CellRange>& mergedRanges() const { return merges_.ranges(); }
    // The merged area holding a cell, if any.
    std::optional<CellRange> mergedAreaAt(std::int32_t row, std::int32_t column) const {
        return merges_.mergedAreaAt(row, column);
    }

    // --- reading ------------------------------------------------------------------------------------
    // The stored cell at a position (one with a value or a format of its own), if any.
    std::optional<CellView> cell(std::int32_t row, std::int32_t column) const;
    // The format a cell shows: inside a merged area the top-left cell's; else its own; else its column's.
    StyleId effectiveStyleId(std::int32_t row, std::int32_t column) const;
    const CellStyle& effectiveStyle(std::int32_t row, std::int32_t column) const {
        return styles_->style(effectiveStyleId(row, column));
    }
    // Visits the stored cells inside the range, rows ascending, columns ascending within a row.
    template <typename Visitor>
    void forEachCell(const CellRange& range, Visitor&& visit) const;
    std::size_t storedCellCount() const;

    // The smallest rectangle holding every cell with a value or a format of its own, and every merged
    // area (a merged area counts whole, as in Excel). Column formats do not count. A1 for an empty sheet.
    CellRange usedRange() const;
    // True when the sheet has no stored cell and no merged area.
    bool isEmpty() const;

    // --- columns and rows ---------------------------------------------------------------------------
    const ColumnInfo& column(std::int32_t column) const { return columns_[column - 1]; }
    const std::array<ColumnInfo, kMaxColumns>& columns() const { return columns_; }
    // Width in 1/256 character units: the custom width, else the default width.
    std::uint16_t columnWidth(std::int32_t column) const;
    // Default column width in 1/256 character units (8 characters rounded up to 8 pixels: 2340 in Arial 10).
    std::uint16_t defaultColumnWidth() const;
    std::uint16_t defaultColumnCharacters() const { return defaultColumnCharacters_; }
    void setDefaultColumnCharacters(std::uint16_t characters);

    // Row height in twips: the row's own height if it has one, else the default.
    std::uint16_t rowHeight(std::int32_t row) const;
    // The row's own height (set by hand or grown for a larger font), if any.
    std::optional<std::uint16_t> customRowHeight(std::int32_t row) const;
    std::uint16_t defaultRowHeight() const { return defaultRowHeight_; }
    void setDefaultRowHeight(std::uint16_t twips);
    // Rows that have stored cells or an own height, ascending.
    std::vector<std::int32_t> usedRows() const;

    PageSetup& pageSetup() { return pageSetup_; }
    const PageSetup& pageSetup() const { return pageSetup_; }

    // --- for the codec ------------------------------------------------------------------------------
    // Stores a cell exactly as given (no merge or height rules); the reader uses it.
    void putCell(std::int32_t row, std::int32_t column, StyleId style);
    void putText(std::int32_t row, std::int32_t column, std::string text);  // text already checked
    // A text held once for many cells: addSharedText keeps it, putSharedText makes a cell show it.
    std::uint32_t addSharedText(std::string text);
    void putSharedText(std::int32_t row, std::int32_t column, std::uint32_t text);
    // Room for `count` more cells in a row, which are about to be stored.
    void reserveCells(std::int32_t row, std::size_t count);
    // Drops the stored cells of a row whose column `drop(column)` picks (cells hidden by a merged area).
    template <typename Drop>
    void dropCells(std::int32_t row, Drop&& drop);
    void putNumber(std::int32_t row, std::int32_t column, double number);
    void putBoolean(std::int32_t row, std::int32_t column, bool value);
    void putError(std::int32_t row, std::int32_t column, std::uint8_t code);  // a code errorText knows
    void setColumn(std::int32_t column, const ColumnInfo& info);
    void setCustomRowHeight(std::int32_t row, std::optional<std::uint16_t> twips);
    void addMergedRangeUnchecked(const CellRange& range);  // validated: no overlap, not a single cell

  private:
    friend class Workbook;
    Worksheet(Workbook* workbook, StyleTable* styles, std::string name);

    // Eight bytes: a sheet of chart boxes holds hundreds of thousands of them.
    struct Cell {
        std::uint32_t column : 9;  // 1-based
        ValueKind kind : 3;
        StyleId style : 20;   // below StyleTable::kMaxStyles
        std::uint32_t value;  // index into texts_ or numbers_ (numbers, booleans and errors)
    };
    static_assert(StyleTable::kMaxStyles < (1u << 20));
    struct Row {
        std::vector<Cell> cells;    // ascending by column
        std::uint16_t height = 0;   // own height in twips; 0 = default
        bool manualHeight = false;  // set by hand: a larger font does not grow it
    };

    Row& rowAt(std::int32_t row);  // grows the rows up to it
    void growRows(std::int32_t row);
    Cell& cellAt(std::int32_t row, std::int32_t column);  // creates it with its column's format
    const Cell* findCell(std::int32_t row, std::int32_t column) const;
    CellView view(std::int32_t row, const Cell& c) const;
    void growRowForFont(std::int32_t row, StyleId style);
    void checkRange(const CellRange& range) const;
    template <typename Fn>
    void forEachValueCell(const CellRange& range, Fn&& fn);

    Workbook* workbook_;
    StyleTable* styles_;
    std::string name_;
    std::vector<Row> rows_;  // index row - 1; grows on demand
    std::array<ColumnInfo, kMaxColumns> columns_{};
    MergeIndex merges_;
    std::vector<std::string> texts_;
    std::vector<bool> sharedTexts_;  // by index into texts_: held for several cells (never changed in place)
    std::vector<double> numbers_;
    std::uint16_t defaultColumnCharacters_ = 8;
    std::uint16_t defaultRowHeight_ = 255;
    PageSetup pageSetup_;
};

// ---------------------------------------------------------------------------------------------------------

inline CellView Worksheet::view(std::int32_t row, const Cell& c) const {
    CellView v;
    v.row = row;
    v.column = c.column;
    v.style = c.style;
    v.kind = c.kind;
    if (c.kind == ValueKind::Text) {
        v.text = texts_[c.value];
    } else if (c.kind != ValueKind::Empty) {
        v.number = numbers_[c.value];
    }
    return v;
}

template <typename Visitor>
void Worksheet::forEachCell(const CellRange& range, Visitor&& visit) const {
    const std::int32_t lastRow =
        std::min<std::int32_t>(range.lastRow, static_cast<std::int32_t>(rows_.size()));
    for (std::int32_t r = range.firstRow; r <= lastRow; ++r) {
        for (const Cell& c : rows_[r - 1].cells) {
            if (c.column > range.lastColumn) {
                break;
            }
            if (c.column >= range.firstColumn) {
                visit(view(r, c));
            }
        }
    }
}

template <typename Drop>
void Worksheet::dropCells(std::int32_t row, Drop&& drop) {
    if (row >= 1 && static_cast<std::size_t>(row) <= rows_.size()) {
        std::erase_if(rows_[row - 1].cells,
                      [&](const Cell& c) { return drop(static_cast<std::int32_t>(c.column)); });
    }
}

}  // namespace rw::sheet
