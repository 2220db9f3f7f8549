#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The workbook model of the in-process spreadsheet engine: workbooks, worksheets, cells with values and
// interned styles, merged ranges, column widths and row heights. Plain C++, no Qt and nothing of
// automation; the .xls codec (xls_codec.h) stores and loads it, the automation binding drives it and the
// range picture renderer draws it.
//
// Conventions used throughout:
// - Rows and columns are 1-based sheet numbers as the user sees them: rows 1..65536, columns 1..256 (A..IV).
// - Colours are BIFF palette indexes: 8..63 are the 56 palette slots (see Workbook::paletteColor), 64 is the
//   automatic (window text) colour of lines and patterns, 65 the automatic background, and 0x7FFF the
//   automatic font colour. The object model's ColorIndex n (1..56) is palette index n + 7.
// - Font sizes and row heights are in twips (1/20 point); column widths in 1/256 of a character (the
//   widest digit of the workbook's default font, cell padding included), as the file stores them.
// - Every failure is an rw::Failure with a description fit for the user.
namespace rw::sheet {

inline constexpr std::int32_t kMaxRows = 65536;
inline constexpr std::int32_t kMaxColumns = 256;

// Palette and automatic colour indexes.
inline constexpr std::uint16_t kFirstPaletteIndex = 8;
inline constexpr std::uint16_t kLastPaletteIndex = 63;
inline constexpr std::uint16_t kAutomaticLineColor = 64;
inline constexpr std::uint16_t kAutomaticBackground = 65;
inline constexpr std::uint16_t kAutomaticFontColor = 0x7FFF;

// ---------------------------------------------------------------------------------------------------------
// Addresses

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

// ---------------------------------------------------------------------------------------------------------
// Styles

// Line styles of a cell edge, with the numbers the file stores.
enum class LineStyle : std::uint8_t {
    None = 0,
    Thin = 1,
    Medium = 2,
    Dashed = 3,
    Dotted = 4,
    Thick = 5,
    Double = 6,
    Hair = 7,
    MediumDashed = 8,
    DashDot = 9,
    MediumDashDot = 10,
    DashDotDot = 11,
    MediumDashDotDot = 12,
    SlantedDashDot = 13,
};

// Horizontal alignment, with the numbers the file stores.
enum class HorizontalAlignment : std::uint8_t {
    General = 0,
    Left = 1,
    Center = 2,
    Right = 3,
    Fill = 4,
    Justify = 5,
    CenterAcrossSelection = 6,
    Distributed = 7,
};

// The four edges of a cell; the numbers index CellStyle::borders.
enum class Edge : std::uint8_t { Left = 0, Top = 1, Bottom = 2, Right = 3 };
inline constexpr int kEdgeCount = 4;

struct Font {
    std::string name = "Arial";
    std::uint16_t heightTwips = 200;  // 10 pt
    std::uint16_t color = kAutomaticFontColor;
    bool bold = false;
    bool italic = false;
    bool underline = false;  // single underline
    bool strikeOut = false;
    friend bool operator==(const Font&, const Font&) = default;
};

struct Border {
    LineStyle line = LineStyle::None;
    std::uint16_t color = 0;  // 0 when there is no line; a palette index or kAutomaticLineColor with one
    friend bool operator==(const Border&, const Border&) = default;
};

// The full format of a cell. Styles are interned per workbook (StyleTable); cells refer to them by id.
struct CellStyle {
    Font font;
    bool solidFill = false;
    std::uint16_t fillColor = kAutomaticLineColor;  // palette index of a solid fill; 64 without a fill
    std::array<Border, kEdgeCount> borders{};
    HorizontalAlignment alignment = HorizontalAlignment::General;
    // Number format code as Excel writes it ("0.00", "d-mmm-yy", ...); empty for General. Set only by
    // workbooks read from a file; the object model of this engine does not change it.
    std::string numberFormat;

    const Border& border(Edge e) const { return borders[static_cast<int>(e)]; }
    friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

using StyleId = std::uint32_t;
inline constexpr StyleId kDefaultStyle = 0;  // the workbook's default cell format (its default font)

// One change to a style, as the object model makes them (Font.Size, Interior.ColorIndex, ...). Values are
// already in the model's units: twips, palette indexes, file line styles.
struct StyleChange {
    enum class Kind : std::uint8_t {
        FontName,
        FontHeight,
        FontColor,
        FontBold,
        FontItalic,
        FontUnderline,
        FontStrikeOut,
        Fill,        // number: palette index of a solid fill, or 0 for no fill
        Alignment,   // number: HorizontalAlignment
        BorderLine,  // edge + number: LineStyle; a line gets the automatic colour unless it has one
        BorderColor  // edge + number: palette index or kAutomaticLineColor
    };
    Kind kind = Kind::FontName;
    Edge edge = Edge::Left;
    std::int32_t number = 0;
    std::string text;

    static StyleChange fontName(std::string name) { return {Kind::FontName, Edge::Left, 0, std::move(name)}; }
    static StyleChange fontHeight(std::uint16_t twips) { return {Kind::FontHeight, Edge::Left, twips, {}}; }
    static StyleChange fontColor(std::uint16_t color) { return {Kind::FontColor, Edge::Left, color, {}}; }
    static StyleChange fontBold(bool on) { return {Kind::FontBold, Edge::Left, on ? 1 : 0, {}}; }
    static StyleChange fill(std::uint16_t colorOrZero) { return {Kind::Fill, Edge::Left, colorOrZero, {}}; }
    static StyleChange alignment(HorizontalAlignment a) {
        return {Kind::Alignment, Edge::Left, static_cast<std::int32_t>(a), {}};
    }
    static StyleChange borderLine(Edge e, LineStyle s) {
        return {Kind::BorderLine, e, static_cast<std::int32_t>(s), {}};
    }
    static StyleChange borderColor(Edge e, std::uint16_t color) { return {Kind::BorderColor, e, color, {}}; }

    // Applies the change to a style value. Fails for values the file cannot hold (empty or over-long font
    // names, sizes outside 1..409 pt, colours outside the palette).
    void applyTo(CellStyle& style) const;
};

// The workbook's interned styles. Id 0 is the default format. Equal styles share one id; a change to a
// style is remembered, so restyling many cells the same way costs one hash look-up per cell.
class StyleTable {
  public:
    // Excel 97-2003 stops at about 4000 cell formats; we refuse more than this many distinct styles.
    static constexpr std::size_t kMaxStyles = 4000;

    explicit StyleTable(const Font& defaultFont = Font{});

    const CellStyle& style(StyleId id) const { return styles_[id]; }
    std::size_t size() const { return styles_.size(); }
    StyleId intern(const CellStyle& style);  // fails with "Too many different cell formats."
    StyleId apply(StyleId base, const StyleChange& change);

  private:
    struct StyleHash {
        std::size_t operator()(const CellStyle& s) const;
    };
    struct TransitionKey {
        StyleId base;
        std::uint8_t kind;
        std::uint8_t edge;
        std::int32_t number;
        std::uint32_t textId;
        friend bool operator==(const TransitionKey&, const TransitionKey&) = default;
    };
    struct TransitionHash {
        std::size_t operator()(const TransitionKey& k) const;
    };
    std::vector<CellStyle> styles_;
    std::unordered_map<CellStyle, StyleId, StyleHash> ids_;
    std::unordered_map<std::string, std::uint32_t> textIds_;
    std::unordered_map<TransitionKey, StyleId, TransitionHash> transitions_;
};

// ---------------------------------------------------------------------------------------------------------
// Colours

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The default BIFF8 palette, slots 8..63 (index 0 is slot 8).
const std::array<Rgb, 56>& defaultPalette();

// ---------------------------------------------------------------------------------------------------------
// Metrics shared by the codec and the renderer (96 dots per inch)

// Widest digit of a font in pixels (Arial 10 and Tahoma 10: 7; Tahoma 11: 8; Tahoma 20: 15).
int maxDigitWidth(const Font& font);
// The pixel padding Excel adds to a column: 5 for digit widths up to 8, more for larger fonts.
int columnPadding(int maxDigitWidth);
// A width in characters as the object model's ColumnWidth takes it -> the stored 1/256 units.
std::uint16_t columnWidthFromCharacters(double characters, const Font& defaultFont);
// Stored width -> pixels.
int columnWidthPixels(std::uint16_t width, const Font& defaultFont);
// The row height a font needs, in twips (whole pixels: Arial/Tahoma 10 -> 255, 11 -> 285, 20 -> 510).
std::uint16_t rowHeightForFont(const Font& font);

// ---------------------------------------------------------------------------------------------------------
// Cells and sheets

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
    const std::vector<CellRange>& mergedRanges() const { return merges_; }
    // The merged area holding a cell, if any.
    std::optional<CellRange> mergedAreaAt(std::int32_t row, std::int32_t column) const;

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
    void putNumber(std::int32_t row, std::int32_t column, double number);
    void putBoolean(std::int32_t row, std::int32_t column, bool value);
    void putError(std::int32_t row, std::int32_t column, std::uint8_t code);  // a code errorText knows
    void setColumn(std::int32_t column, const ColumnInfo& info);
    void setCustomRowHeight(std::int32_t row, std::optional<std::uint16_t> twips);
    void addMergedRangeUnchecked(const CellRange& range);  // validated: no overlap, not a single cell

  private:
    friend class Workbook;
    Worksheet(Workbook* workbook, StyleTable* styles, std::string name);

    struct Cell {
        std::uint16_t column;  // 1-based
        ValueKind kind;
        StyleId style;
        std::uint32_t value;  // index into texts_ or numbers_ (numbers, booleans and errors)
    };
    struct Row {
        std::vector<Cell> cells;    // ascending by column
        std::uint16_t height = 0;   // own height in twips; 0 = default
        bool manualHeight = false;  // set by hand: a larger font does not grow it
    };

    Cell& cellAt(std::int32_t row, std::int32_t column);  // creates it with its column's format
    const Cell* findCell(std::int32_t row, std::int32_t column) const;
    CellView view(std::int32_t row, const Cell& c) const;
    void growRowForFont(std::int32_t row, StyleId style);
    void checkRange(const CellRange& range) const;
    void markMergeRows(const CellRange& range);
    // Merged areas are also listed by tiles of the sheet, so finding the area of a cell, or the areas a
    // range touches, looks at a few areas instead of all of them.
    static constexpr std::int32_t kMergeTileRows = 16;
    static constexpr std::int32_t kMergeTileColumns = 16;
    static constexpr std::int32_t kMergeTilesAcross = kMaxColumns / kMergeTileColumns;
    static constexpr std::int32_t kMergeTilesDown = kMaxRows / kMergeTileRows;
    void indexMerge(const CellRange& area);
    void unindexMerge(const CellRange& area);
    // Calls fn(area) once for every merged area that intersects the range, in no particular order.
    template <typename Fn>
    void forEachMergeIn(const CellRange& range, Fn&& fn) const;
    template <typename Fn>
    void forEachValueCell(const CellRange& range, Fn&& fn);

    Workbook* workbook_;
    StyleTable* styles_;
    std::string name_;
    std::vector<Row> rows_;  // index row - 1; grows on demand
    std::array<ColumnInfo, kMaxColumns> columns_{};
    std::vector<CellRange> merges_;
    std::vector<bool> mergeRows_;  // rows touched by a merged area; empty until the first merge
    bool isMergeRow(std::int32_t row) const { return !mergeRows_.empty() && mergeRows_[row - 1]; }
    std::vector<std::vector<CellRange>> mergeTiles_;  // by tile, row-major; empty until the first merge
    std::vector<std::string> texts_;
    std::vector<double> numbers_;
    std::uint16_t defaultColumnCharacters_ = 8;
    std::uint16_t defaultRowHeight_ = 255;
    PageSetup pageSetup_;
};

class Workbook {
  public:
    // A new workbook with one empty sheet, "Sheet1", active; default font Arial 10.
    Workbook();
    // An empty workbook without sheets (the reader fills it).
    struct NoSheets {};
    explicit Workbook(NoSheets, const Font& defaultFont = Font{});
    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;
    ~Workbook();

    // Font 0 of the file: the Normal style's font. It sets the unit of column widths.
    const Font& defaultFont() const { return styles_->style(kDefaultStyle).font; }

    StyleTable& styles() { return *styles_; }
    const StyleTable& styles() const { return *styles_; }

    std::size_t sheetCount() const { return sheets_.size(); }
    Worksheet& sheet(std::size_t index) { return *sheets_.at(index); }
    const Worksheet& sheet(std::size_t index) const { return *sheets_.at(index); }
    Worksheet& addSheet(const std::string& name);  // fails for an invalid or duplicate name
    std::size_t activeSheetIndex() const { return active_; }
    void setActiveSheet(std::size_t index);
    Worksheet& activeSheet() { return sheet(active_); }
    const Worksheet& activeSheet() const { return sheet(active_); }

    // Palette slots 8..63; the default palette unless changed.
    Rgb paletteColor(std::uint16_t index) const;  // also 0..7 (EGA), 64/0x7FFF black, 65 white
    const std::array<Rgb, 56>& palette() const { return palette_; }
    void setPaletteColor(std::uint16_t index, Rgb color);  // 8..63
    bool hasCustomPalette() const { return palette_ != defaultPalette(); }

  private:
    friend class Worksheet;
    void checkSheetName(const std::string& name, const Worksheet* self) const;

    std::unique_ptr<StyleTable> styles_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    std::size_t active_ = 0;
    std::array<Rgb, 56> palette_;
};

// Content equality: same sheets, values, effective formats (compared by value, not by id), merges,
// columns, rows, page set-up and palette.
bool sameContent(const Workbook& a, const Workbook& b);

// ---------------------------------------------------------------------------------------------------------

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

}  // namespace rw::sheet
