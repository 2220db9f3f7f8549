#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "spreadsheet/palette.h"

// Cell formats of the workbook model: fonts, fills, borders and alignment, and the workbook's table of
// interned styles. Font sizes are in twips (1/20 point); colours are palette indexes (palette.h).
namespace rw::sheet {

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
    bool shrinkToFit = false;  // text wider than its cell is drawn smaller until it fits
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
        Fill,         // number: palette index of a solid fill, or 0 for no fill
        Alignment,    // number: HorizontalAlignment
        ShrinkToFit,  // number: 1 on, 0 off
        BorderLine,   // edge + number: LineStyle; a line gets the automatic colour unless it has one
        BorderColor   // edge + number: palette index or kAutomaticLineColor
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
    static StyleChange shrinkToFit(bool on) { return {Kind::ShrinkToFit, Edge::Left, on ? 1 : 0, {}}; }
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
    // The transitions taken last, by a cheap hash of their key: a chart restyles cell after cell in the
    // same few ways, and this answers those without the map. Transitions never change once made.
    struct Memo {
        TransitionKey key{};
        StyleId id = 0;
        bool set = false;
    };
    static constexpr std::size_t kMemoSlots = 64;
    std::array<Memo, kMemoSlots> memo_{};
};

}  // namespace rw::sheet
