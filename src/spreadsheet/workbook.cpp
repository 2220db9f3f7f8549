#include "spreadsheet/workbook.h"

#include <cctype>
#include <cmath>
#include <functional>

#include "platform/failure.h"
#include "spreadsheet/text.h"

namespace rw::sheet {

namespace {

// Ranges larger than this are refused when every cell would have to be stored one by one.
constexpr std::int64_t kMaxCellsPerOperation = 1 << 21;
constexpr std::size_t kMaxTextUnits = 32767;

bool isPaletteColor(std::int32_t c) {
    return c >= kFirstPaletteIndex && c <= kLastPaletteIndex;
}

std::string trimBlanks(std::string_view s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) {
        return {};
    }
    std::size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

// One corner of an address: letters, digits or both; each may carry a '$'.
struct Corner {
    std::int64_t column = 0;  // 0 when absent
    std::int64_t row = 0;     // 0 when absent
};

bool parseCorner(std::string_view s, Corner& out) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '$') {
        ++i;
    }
    std::size_t letters = 0;
    std::int64_t col = 0;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) {
        if (++letters > 3) {
            return false;
        }
        col = col * 26 + (std::toupper(static_cast<unsigned char>(s[i])) - 'A' + 1);
        ++i;
    }
    if (i < s.size() && s[i] == '$') {
        if (letters == 0) {
            return false;
        }
        ++i;
    }
    std::size_t digits = 0;
    std::int64_t row = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        if (++digits > 6) {
            return false;
        }
        row = row * 10 + (s[i] - '0');
        ++i;
    }
    if (i != s.size() || (letters == 0 && digits == 0)) {
        return false;
    }
    if ((letters > 0 && (col < 1 || col > kMaxColumns)) || (digits > 0 && (row < 1 || row > kMaxRows))) {
        return false;
    }
    out.column = letters > 0 ? col : 0;
    out.row = digits > 0 ? row : 0;
    return true;
}

[[noreturn]] void badAddress(std::string_view text) {
    throw Failure("\"" + std::string(text) + "\" is not a valid cell reference");
}

std::size_t hashCombine(std::size_t seed, std::size_t v) {
    return seed ^ (v + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// Counts UTF-16 code units of valid UTF-8 (validating it on the way).
std::size_t utf16Length(std::string_view s) {
    return text::toUtf16(s).size();
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Addresses

std::string columnName(std::int32_t column) {
    std::string out;
    while (column > 0) {
        const int rem = (column - 1) % 26;
        out.insert(out.begin(), static_cast<char>('A' + rem));
        column = (column - 1) / 26;
    }
    return out;
}

void checkCell(std::int64_t row, std::int64_t column) {
    if (row < 1 || row > kMaxRows) {
        throw Failure("Row " + std::to_string(row) + " is outside the sheet (1 to 65536)");
    }
    if (column < 1 || column > kMaxColumns) {
        throw Failure("Column " + std::to_string(column) + " is outside the sheet (1 to 256)");
    }
}

CellRange parseAddress(std::string_view input) {
    const std::string text = trimBlanks(input);
    if (text.empty()) {
        badAddress(input);
    }
    const std::size_t colon = text.find(':');
    Corner a, b;
    if (colon == std::string::npos) {
        if (!parseCorner(text, a) || a.row == 0 || a.column == 0) {
            badAddress(input);
        }
        b = a;
    } else {
        if (text.find(':', colon + 1) != std::string::npos ||
            !parseCorner(trimBlanks(std::string_view(text).substr(0, colon)), a) ||
            !parseCorner(trimBlanks(std::string_view(text).substr(colon + 1)), b)) {
            badAddress(input);
        }
        const bool aCell = a.row && a.column, bCell = b.row && b.column;
        const bool aCol = !a.row, bCol = !b.row, aRow = !a.column, bRow = !b.column;
        if (!((aCell && bCell) || (aCol && bCol) || (aRow && bRow))) {
            badAddress(input);
        }
    }
    CellRange r;
    if (a.row == 0) {  // whole columns
        r = CellRange::wholeColumns(static_cast<std::int32_t>(std::min(a.column, b.column)),
                                    static_cast<std::int32_t>(std::max(a.column, b.column)));
    } else if (a.column == 0) {  // whole rows
        r = CellRange::wholeRows(static_cast<std::int32_t>(std::min(a.row, b.row)),
                                 static_cast<std::int32_t>(std::max(a.row, b.row)));
    } else {
        r.firstRow = static_cast<std::int32_t>(std::min(a.row, b.row));
        r.lastRow = static_cast<std::int32_t>(std::max(a.row, b.row));
        r.firstColumn = static_cast<std::int32_t>(std::min(a.column, b.column));
        r.lastColumn = static_cast<std::int32_t>(std::max(a.column, b.column));
    }
    return r;
}

std::string formatAddress(const CellRange& r) {
    if (r.coversAllRows() && !r.coversAllColumns()) {
        return columnName(r.firstColumn) + ":" + columnName(r.lastColumn);
    }
    if (r.coversAllColumns()) {
        return std::to_string(r.firstRow) + ":" + std::to_string(r.lastRow);
    }
    std::string s = columnName(r.firstColumn) + std::to_string(r.firstRow);
    if (!r.isSingleCell()) {
        s += ":" + columnName(r.lastColumn) + std::to_string(r.lastRow);
    }
    return s;
}

// ---------------------------------------------------------------------------------------------------------
// Styles

void StyleChange::applyTo(CellStyle& style) const {
    switch (kind) {
        case Kind::FontName: {
            const std::size_t units = utf16Length(text);
            if (units == 0 || units > 31) {
                throw Failure("A font name must have 1 to 31 characters");
            }
            style.font.name = text;
            break;
        }
        case Kind::FontHeight:
            if (number < 20 || number > 8180) {
                throw Failure("A font size must be between 1 and 409 points");
            }
            style.font.heightTwips = static_cast<std::uint16_t>(number);
            break;
        case Kind::FontColor:
            if (!isPaletteColor(number) && number != kAutomaticFontColor) {
                throw Failure("A font colour must be a palette colour or automatic");
            }
            style.font.color = static_cast<std::uint16_t>(number);
            break;
        case Kind::FontBold:
            style.font.bold = number != 0;
            break;
        case Kind::FontItalic:
            style.font.italic = number != 0;
            break;
        case Kind::FontUnderline:
            style.font.underline = number != 0;
            break;
        case Kind::FontStrikeOut:
            style.font.strikeOut = number != 0;
            break;
        case Kind::Fill:
            if (number == 0) {
                style.solidFill = false;
                style.fillColor = kAutomaticLineColor;
            } else if (isPaletteColor(number)) {
                style.solidFill = true;
                style.fillColor = static_cast<std::uint16_t>(number);
            } else {
                throw Failure("A fill colour must be a palette colour");
            }
            break;
        case Kind::Alignment:
            if (number < 0 || number > 7) {
                throw Failure("Unknown horizontal alignment");
            }
            style.alignment = static_cast<HorizontalAlignment>(number);
            break;
        case Kind::BorderLine: {
            if (number < 0 || number > 13) {
                throw Failure("Unknown border line style");
            }
            Border& b = style.borders[static_cast<int>(edge)];
            b.line = static_cast<LineStyle>(number);
            if (b.line == LineStyle::None) {
                b.color = 0;
            } else if (b.color == 0) {
                b.color = kAutomaticLineColor;
            }
            break;
        }
        case Kind::BorderColor: {
            if (!isPaletteColor(number) && number != kAutomaticLineColor) {
                throw Failure("A border colour must be a palette colour or automatic");
            }
            Border& b = style.borders[static_cast<int>(edge)];
            b.color = static_cast<std::uint16_t>(number);
            if (b.line == LineStyle::None) {
                b.line = LineStyle::Thin;  // a coloured edge shows as a thin line, as in Excel
            }
            break;
        }
    }
}

std::size_t StyleTable::StyleHash::operator()(const CellStyle& s) const {
    std::size_t h = std::hash<std::string>{}(s.font.name);
    h = hashCombine(h, s.font.heightTwips);
    h = hashCombine(h, s.font.color);
    h = hashCombine(h, (s.font.bold ? 1u : 0u) | (s.font.italic ? 2u : 0u) | (s.font.underline ? 4u : 0u) |
                           (s.font.strikeOut ? 8u : 0u) | (s.solidFill ? 16u : 0u));
    h = hashCombine(h, s.fillColor);
    for (const Border& b : s.borders) {
        h = hashCombine(h, static_cast<std::size_t>(b.line) * 256 + b.color);
    }
    h = hashCombine(h, std::hash<std::string>{}(s.numberFormat));
    return hashCombine(h, static_cast<std::size_t>(s.alignment));
}

std::size_t StyleTable::TransitionHash::operator()(const TransitionKey& k) const {
    std::size_t h = k.base;
    h = hashCombine(h, (std::size_t{k.kind} << 8) | k.edge);
    h = hashCombine(h, static_cast<std::uint32_t>(k.number));
    return hashCombine(h, k.textId);
}

StyleTable::StyleTable(const Font& defaultFont) {
    CellStyle s;
    s.font = defaultFont;
    styles_.push_back(s);
    ids_.emplace(s, kDefaultStyle);
}

StyleId StyleTable::intern(const CellStyle& style) {
    auto it = ids_.find(style);
    if (it != ids_.end()) {
        return it->second;
    }
    if (styles_.size() >= kMaxStyles) {
        throw Failure("Too many different cell formats.");
    }
    const auto id = static_cast<StyleId>(styles_.size());
    styles_.push_back(style);
    ids_.emplace(style, id);
    return id;
}

StyleId StyleTable::apply(StyleId base, const StyleChange& change) {
    TransitionKey key{base, static_cast<std::uint8_t>(change.kind), static_cast<std::uint8_t>(change.edge),
                      change.number, 0};
    if (change.kind == StyleChange::Kind::FontName) {
        auto [it, added] = textIds_.emplace(change.text, static_cast<std::uint32_t>(textIds_.size() + 1));
        key.textId = it->second;
    }
    auto found = transitions_.find(key);
    if (found != transitions_.end()) {
        return found->second;
    }
    CellStyle s = styles_.at(base);
    change.applyTo(s);
    const StyleId id = intern(s);
    transitions_.emplace(key, id);
    return id;
}

// ---------------------------------------------------------------------------------------------------------
// Colours and metrics

const std::array<Rgb, 56>& defaultPalette() {
    static const std::array<Rgb, 56> palette = [] {
        static const std::uint32_t hex[56] = {
            0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
            0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
            0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
            0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
            0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
            0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
            0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
        std::array<Rgb, 56> p{};
        for (std::size_t i = 0; i < p.size(); ++i) {
            p[i] = Rgb{static_cast<std::uint8_t>(hex[i] >> 16), static_cast<std::uint8_t>(hex[i] >> 8),
                       static_cast<std::uint8_t>(hex[i])};
        }
        return p;
    }();
    return palette;
}

int maxDigitWidth(const Font& font) {
    // About 0.55 em for the digits of Arial and Tahoma, at 96 dots per inch (15 twips a pixel).
    return std::max(1, (font.heightTwips * 55 + 750) / 1500);
}

int columnPadding(int mdw) {
    return 2 * std::max((mdw + 3) / 4, 2) + 1;
}

std::uint16_t columnWidthFromCharacters(double characters, const Font& defaultFont) {
    if (!std::isfinite(characters) || characters < 0 || characters > 255) {
        throw Failure("A column width must be between 0 and 255 characters");
    }
    if (characters == 0) {
        return 0;
    }
    const int mdw = maxDigitWidth(defaultFont);
    const double units = (characters * mdw + columnPadding(mdw)) * 256.0 / mdw;
    return static_cast<std::uint16_t>(std::min(65535.0, std::floor(units + 1e-9)));
}

int columnWidthPixels(std::uint16_t width, const Font& defaultFont) {
    const int mdw = maxDigitWidth(defaultFont);
    return static_cast<int>((std::int64_t{width} + 128 / mdw) * mdw / 256);
}

std::uint16_t rowHeightForFont(const Font& font) {
    const int px = (font.heightTwips * 83 + 900) / 1000;
    return static_cast<std::uint16_t>(std::min(px * 15, 8175));
}

// ---------------------------------------------------------------------------------------------------------
// Worksheet

Worksheet::Worksheet(Workbook* workbook, StyleTable* styles, std::string name)
    : workbook_(workbook), styles_(styles), name_(std::move(name)) {
    defaultRowHeight_ = rowHeightForFont(styles_->style(kDefaultStyle).font);
}

void Worksheet::setName(const std::string& name) {
    workbook_->checkSheetName(name, this);
    name_ = name;
}

Worksheet::Cell& Worksheet::cellAt(std::int32_t row, std::int32_t column) {
    if (rows_.size() < static_cast<std::size_t>(row)) {
        if (rows_.capacity() < static_cast<std::size_t>(row)) {
            rows_.reserve(std::max<std::size_t>(static_cast<std::size_t>(row), rows_.capacity() * 2));
        }
        rows_.resize(static_cast<std::size_t>(row));
    }
    auto& cells = rows_[row - 1].cells;
    const auto col = static_cast<std::uint16_t>(column);
    if (cells.empty() || cells.back().column < col) {
        if (cells.capacity() == 0) {
            cells.reserve(4);
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

CellView Worksheet::view(std::int32_t row, const Cell& c) const {
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

std::optional<CellRange> Worksheet::mergedAreaAt(std::int32_t row, std::int32_t column) const {
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

template <typename Fn>
void Worksheet::forEachMergeIn(const CellRange& range, Fn&& fn) const {
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
    for (std::int32_t tr = r0; tr <= r1; ++tr) {
        for (std::int32_t tc = c0; tc <= c1; ++tc) {
            for (const CellRange& m : mergeTiles_[static_cast<std::size_t>(tr * kMergeTilesAcross + tc)]) {
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

void Worksheet::indexMerge(const CellRange& area) {
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

void Worksheet::unindexMerge(const CellRange& area) {
    for (std::int32_t tr = (area.firstRow - 1) / kMergeTileRows; tr <= (area.lastRow - 1) / kMergeTileRows;
         ++tr) {
        for (std::int32_t tc = (area.firstColumn - 1) / kMergeTileColumns;
             tc <= (area.lastColumn - 1) / kMergeTileColumns; ++tc) {
            std::erase(mergeTiles_[static_cast<std::size_t>(tr * kMergeTilesAcross + tc)], area);
        }
    }
}

void Worksheet::markMergeRows(const CellRange& r) {
    if (mergeRows_.empty()) {
        mergeRows_.resize(kMaxRows, false);
    }
    for (std::int32_t row = r.firstRow; row <= r.lastRow; ++row) {
        mergeRows_[row - 1] = true;
    }
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
    forEachMergeIn(range, [&](const CellRange& m) {
        if (!range.contains(m.firstRow, m.firstColumn)) {
            throw Failure("Cannot change part of a merged cell.");
        }
    });
    for (std::int32_t r = range.firstRow; r <= range.lastRow; ++r) {
        for (std::int32_t c = range.firstColumn; c <= range.lastColumn; ++c) {
            if (isMergeRow(r)) {
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
    if (utf16Length(value) > kMaxTextUnits) {
        throw Failure("A cell holds at most 32767 characters");
    }
    forEachValueCell(range, [&](std::int32_t r, std::int32_t c) {
        Cell& cell = cellAt(r, c);
        if (cell.kind == ValueKind::Text) {
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
    forEachMergeIn(range, [&](const CellRange& m) {
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
    // Validate the change once, so a bad value fails before anything changes.
    {
        CellStyle probe;
        change.applyTo(probe);
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
            if (isMergeRow(r)) {
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
        forEachMergeIn(seen, [&](const CellRange& m) {
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
    std::vector<CellRange> absorbed;
    forEachMergeIn(area, [&](const CellRange& m) { absorbed.push_back(m); });
    if (!absorbed.empty()) {
        std::erase_if(merges_, [&](const CellRange& m) { return area.intersects(m); });
        for (const CellRange& m : absorbed) {
            unindexMerge(m);
        }
    }
    // The top-left cell keeps its value and format; the others lose theirs.
    cellAt(area.firstRow, area.firstColumn);
    const std::int32_t last = std::min<std::int32_t>(area.lastRow, static_cast<std::int32_t>(rows_.size()));
    for (std::int32_t r = area.firstRow; r <= last; ++r) {
        std::erase_if(rows_[r - 1].cells, [&](const Cell& c) {
            return c.column >= area.firstColumn && c.column <= area.lastColumn &&
                   !(r == area.firstRow && c.column == area.firstColumn);
        });
    }
    merges_.push_back(area);
    indexMerge(area);
}

void Worksheet::addMergedRangeUnchecked(const CellRange& range) {
    merges_.push_back(range);
    indexMerge(range);
}

std::optional<CellView> Worksheet::cell(std::int32_t row, std::int32_t column) const {
    if (const Cell* c = findCell(row, column)) {
        return view(row, *c);
    }
    return std::nullopt;
}

StyleId Worksheet::effectiveStyleId(std::int32_t row, std::int32_t column) const {
    checkCell(row, column);
    if (isMergeRow(row)) {
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
    for (const CellRange& m : merges_) {
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

// ---------------------------------------------------------------------------------------------------------
// Workbook

Workbook::Workbook() : Workbook(NoSheets{}) {
    addSheet("Sheet1");
}

Workbook::Workbook(NoSheets, const Font& defaultFont)
    : styles_(std::make_unique<StyleTable>(defaultFont)), palette_(defaultPalette()) {}

Workbook::Workbook(Workbook&& o) noexcept
    : styles_(std::move(o.styles_)), sheets_(std::move(o.sheets_)), active_(o.active_), palette_(o.palette_) {
    for (auto& s : sheets_) {
        s->workbook_ = this;
    }
}

Workbook& Workbook::operator=(Workbook&& o) noexcept {
    styles_ = std::move(o.styles_);
    sheets_ = std::move(o.sheets_);
    active_ = o.active_;
    palette_ = o.palette_;
    for (auto& s : sheets_) {
        s->workbook_ = this;
    }
    return *this;
}

Workbook::~Workbook() = default;

void Workbook::checkSheetName(const std::string& name, const Worksheet* self) const {
    const std::size_t units = utf16Length(name);
    if (units == 0 || units > 31) {
        throw Failure("A sheet name must have 1 to 31 characters");
    }
    if (name.find_first_of("[]:*?/\\") != std::string::npos || name.front() == '\'' || name.back() == '\'') {
        throw Failure("A sheet name cannot contain [ ] : * ? / \\ or begin or end with an apostrophe");
    }
    // Compared in place: a workbook read from a file adds up to 255 sheets, each checked against the others.
    const auto sameName = [](const std::string& a, const std::string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::toupper(static_cast<unsigned char>(x)) ==
                          std::toupper(static_cast<unsigned char>(y));
               });
    };
    for (const auto& s : sheets_) {
        if (s.get() != self && sameName(s->name(), name)) {
            throw Failure("A sheet named \"" + name + "\" already exists");
        }
    }
}

Worksheet& Workbook::addSheet(const std::string& name) {
    checkSheetName(name, nullptr);
    if (sheets_.size() >= 255) {
        throw Failure("A workbook holds at most 255 sheets here");
    }
    sheets_.push_back(std::unique_ptr<Worksheet>(new Worksheet(this, styles_.get(), name)));
    return *sheets_.back();
}

void Workbook::setActiveSheet(std::size_t index) {
    if (index >= sheets_.size()) {
        throw Failure("Subscript out of range");
    }
    active_ = index;
}

Rgb Workbook::paletteColor(std::uint16_t index) const {
    static const Rgb ega[8] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                               {0, 0, 255}, {255, 255, 0},   {255, 0, 255}, {0, 255, 255}};
    if (index < 8) {
        return ega[index];
    }
    if (index <= kLastPaletteIndex) {
        return palette_[index - kFirstPaletteIndex];
    }
    if (index == kAutomaticBackground) {
        return {255, 255, 255};
    }
    return {0, 0, 0};
}

void Workbook::setPaletteColor(std::uint16_t index, Rgb color) {
    if (!isPaletteColor(index)) {
        throw Failure("A palette index must be between 8 and 63");
    }
    palette_[index - kFirstPaletteIndex] = color;
}

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
