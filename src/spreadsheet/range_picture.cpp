#include "spreadsheet/range_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "platform/failure.h"

namespace rw::sheet {

std::int32_t columnPixels(const Worksheet& sheet, std::int32_t column) {
    const ColumnInfo& info = sheet.column(column);
    if (info.hidden) {
        return 0;
    }
    return columnWidthPixels(sheet.columnWidth(column), sheet.workbook().defaultFont());
}

std::int32_t rowPixels(const Worksheet& sheet, std::int32_t row) {
    return (static_cast<std::int32_t>(sheet.rowHeight(row)) + 7) / 15;
}

RangeGeometry rangeGeometry(const Worksheet& sheet, const CellRange& range) {
    if (!range.isValid()) {
        throw Failure("The range to picture lies outside the sheet");
    }
    RangeGeometry g;
    g.range = range;
    g.columnEdges.reserve(static_cast<std::size_t>(range.columnCount()) + 1);
    g.columnEdges.push_back(0);
    for (std::int32_t c = range.firstColumn; c <= range.lastColumn; ++c) {
        g.columnEdges.push_back(g.columnEdges.back() + columnPixels(sheet, c));
    }
    g.rowEdges.reserve(static_cast<std::size_t>(range.rowCount()) + 1);
    g.rowEdges.push_back(0);
    for (std::int32_t r = range.firstRow; r <= range.lastRow; ++r) {
        g.rowEdges.push_back(g.rowEdges.back() + rowPixels(sheet, r));
    }
    return g;
}

namespace {

std::uint32_t packed(Rgb c) {
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

// A filled rectangle in picture pixels.
struct FillRect {
    std::uint32_t rgb;
    std::int32_t x, y, w, h;
};

// A straight stroke along one gridline position: horizontal strokes run along y = line, vertical ones
// along x = line, from `from` to `to` (pixel positions, end exclusive).
struct Stroke {
    std::uint32_t rgb;
    std::uint8_t width;
    std::int32_t line;
    std::int32_t from, to;
};

// The strokes of one direction. Cells arrive row by row, so a stroke mostly continues the last one on its
// gridline (its slot); that join happens at once and keeps the list short. joined() finishes the job for
// the strokes that came out of order.
class StrokeSet {
  public:
    explicit StrokeSet(std::size_t slots) : last_(slots, kNone) {}

    void add(std::size_t slot, const Stroke& s) {
        std::size_t& last = last_[slot];
        if (last != kNone) {
            Stroke& p = strokes_[last];
            if (p.rgb == s.rgb && p.width == s.width && p.line == s.line && s.from >= p.from &&
                s.from <= p.to) {
                p.to = std::max(p.to, s.to);
                return;
            }
        }
        last = strokes_.size();
        strokes_.push_back(s);
    }

    std::size_t size() const { return strokes_.size(); }

    // Sorted by colour, width, line and start, with every touching or overlapping pair joined.
    std::vector<Stroke> joined() const {
        std::vector<Stroke> sorted = strokes_;
        auto key = [](const Stroke& s) {
            const std::uint64_t style = (std::uint64_t{s.rgb} << 8) | s.width;
            const auto line = static_cast<std::uint32_t>(s.line + (std::int32_t{1} << 30));
            return (style << 32) | line;
        };
        std::sort(sorted.begin(), sorted.end(), [&](const Stroke& a, const Stroke& b) {
            const std::uint64_t ka = key(a), kb = key(b);
            return ka != kb ? ka < kb : a.from < b.from;
        });
        std::vector<Stroke> out;
        out.reserve(sorted.size());
        for (const Stroke& s : sorted) {
            if (!out.empty()) {
                Stroke& p = out.back();
                if (p.rgb == s.rgb && p.width == s.width && p.line == s.line && s.from <= p.to) {
                    p.to = std::max(p.to, s.to);
                    continue;
                }
            }
            out.push_back(s);
        }
        return out;
    }

  private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<Stroke> strokes_;
    std::vector<std::size_t> last_;
};

struct TextItem {
    double x, y;
    const Font* font;
    std::uint32_t rgb;
    char anchor;  // 's'tart, 'm'iddle, 'e'nd
    std::string text;
};

// Appends SVG text quickly: integers and half pixels through to_chars, no streams.
class SvgOut {
  public:
    std::string s;

    SvgOut& raw(std::string_view t) {
        s.append(t);
        return *this;
    }
    SvgOut& num(std::int64_t v) {
        char buf[24];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
        (void)ec;
        s.append(buf, end);
        return *this;
    }
    // A value in half pixels: 2 * v.
    SvgOut& half(std::int64_t twice) {
        if (twice % 2 == 0) {
            return num(twice / 2);
        }
        if (twice < 0 && twice > -2) {
            return raw("-0.5");
        }
        num(twice / 2);  // truncates toward zero; the sign is already written
        return raw(".5");
    }
    SvgOut& dec(double v) {
        char buf[32];
        const double rounded = std::round(v * 100.0) / 100.0;
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 2);
        (void)ec;
        // Drop trailing zeros of the fraction, and the point itself when nothing is left.
        char* last = end;
        while (last > buf && last[-1] == '0') {
            --last;
        }
        if (last > buf && last[-1] == '.') {
            --last;
        }
        s.append(buf, last);
        return *this;
    }
    SvgOut& color(std::uint32_t rgb) {
        static constexpr char kHex[] = "0123456789abcdef";
        char buf[7] = {'#'};
        for (int i = 0; i < 6; ++i) {
            buf[1 + i] = kHex[(rgb >> (20 - 4 * i)) & 0xF];
        }
        s.append(buf, 7);
        return *this;
    }
    // Text content or an attribute value: XML entities for markup characters; characters XML cannot
    // carry become a replacement. Blanks that the SVG white-space rule would drop (leading, trailing,
    // repeated) become no-break spaces, so the text keeps its place as the cell shows it.
    SvgOut& escaped(std::string_view t, bool keepBlanks = false) {
        for (std::size_t i = 0; i < t.size(); ++i) {
            const char ch = t[i];
            const auto u = static_cast<unsigned char>(ch);
            switch (ch) {
                case '&':
                    s.append("&amp;");
                    continue;
                case '<':
                    s.append("&lt;");
                    continue;
                case '>':
                    s.append("&gt;");
                    continue;
                case '"':
                    s.append("&quot;");
                    continue;
                default:
                    break;
            }
            if (u < 0x20 || ch == ' ') {
                const bool lone = i > 0 && i + 1 < t.size() && t[i - 1] != ' ' &&
                                  static_cast<unsigned char>(t[i - 1]) >= 0x20;
                s.append(keepBlanks && !lone ? "\xC2\xA0" : " ");
                continue;
            }
            if (u == 0xEF && i + 2 < t.size() && static_cast<unsigned char>(t[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(t[i + 2]) == 0xBE ||
                 static_cast<unsigned char>(t[i + 2]) == 0xBF)) {
                s.append("\xEF\xBF\xBD");  // U+FFFE and U+FFFF are not XML characters
                i += 2;
                continue;
            }
            s.push_back(ch);
        }
        return *this;
    }
};

// Pixel width of a border's line, 0 for none. Dashes and dots have no place in the flat picture form and
// show as solid lines of their weight.
int strokeWidth(LineStyle line) {
    switch (line) {
        case LineStyle::None:
            return 0;
        case LineStyle::Medium:
        case LineStyle::MediumDashed:
        case LineStyle::MediumDashDot:
        case LineStyle::MediumDashDotDot:
        case LineStyle::SlantedDashDot:
            return 2;
        case LineStyle::Thick:
            return 3;
        default:
            return 1;
    }
}

std::string numberText(double n) {
    if (!std::isfinite(n)) {
        return "#NUM!";
    }
    char buf[40];
    if (n == std::floor(n) && std::fabs(n) < 1e11) {
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(n));
        (void)ec;
        return std::string(buf, end);
    }
    // The General format: at most about ten significant digits.
    std::snprintf(buf, sizeof buf, "%.10G", n);
    std::string t(buf);
    const auto e = t.find('E');
    std::string mantissa = t.substr(0, e);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') {
            mantissa.pop_back();
        }
        if (!mantissa.empty() && mantissa.back() == '.') {
            mantissa.pop_back();
        }
    }
    return e == std::string::npos ? mantissa : mantissa + t.substr(e);
}

class Renderer {
  public:
    Renderer(const Worksheet& sheet, const CellRange& range, bool gridlines)
        : gridlines_(gridlines),
          sheet_(sheet),
          book_(sheet.workbook()),
          g_(rangeGeometry(sheet, range)),
          range_(range),
          horizontal_(g_.rowEdges.size()),
          vertical_(g_.columnEdges.size()) {}

    RangePicture run() {
        collectAreas();
        RangePicture p;
        p.width = g_.width();
        p.height = g_.height();
        SvgOut out;
        out.s.reserve(estimateSize());
        out.raw(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
               "width=\"")
            .num(p.width)
            .raw("\" height=\"")
            .num(p.height)
            .raw("\" viewBox=\"0 0 ")
            .num(p.width)
            .raw(" ")
            .num(p.height)
            .raw("\" shape-rendering=\"crispEdges\">\n");
        out.raw("<rect x=\"0\" y=\"0\" width=\"")
            .num(p.width)
            .raw("\" height=\"")
            .num(p.height)
            .raw("\" fill=\"")
            .color(packed(kBackgroundColor))
            .raw("\"/>\n");
        if (gridlines_) {
            writeGridlines(out);
        }
        writeFills(out);
        writeStrokes(out, horizontal_, true);
        writeStrokes(out, vertical_, false);
        writeTexts(out);
        out.raw("</svg>\n");
        p.svg = std::move(out.s);
        return p;
    }

  private:
    std::size_t estimateSize() const {
        return 256 + (g_.columnEdges.size() + g_.rowEdges.size()) * 16 + fills_.size() * 48 +
               (horizontal_.size() + vertical_.size()) * 20 + texts_.size() * 160;
    }

    bool inMergedArea(std::int32_t row, std::int32_t column) const {
        if (!mergeRow_[row - range_.firstRow]) {
            return false;
        }
        return sheet_.mergedAreaAt(row, column).has_value();  // the sheet's index, not a scan of every area
    }

    void collectAreas() {
        mergeRow_.assign(static_cast<std::size_t>(range_.rowCount()), false);
        for (const CellRange& m : sheet_.mergedRanges()) {
            if (!m.intersects(range_)) {
                continue;
            }
            for (std::int32_t r = std::max(m.firstRow, range_.firstRow);
                 r <= std::min(m.lastRow, range_.lastRow); ++r) {
                mergeRow_[r - range_.firstRow] = true;
            }
            const std::optional<CellView> topLeft = sheet_.cell(m.firstRow, m.firstColumn);
            const CellStyle& style = sheet_.effectiveStyle(m.firstRow, m.firstColumn);
            addArea(m, style, topLeft ? &*topLeft : nullptr, true);
        }
        // Columns whose own format shows (a fill or a border) show it in every cell without a format of its
        // own.
        std::vector<std::int32_t> formattedColumns;
        for (std::int32_t c = range_.firstColumn; c <= range_.lastColumn; ++c) {
            if (isVisible(sheet_.styles().style(sheet_.column(c).style))) {
                formattedColumns.push_back(c);
            }
        }
        sheet_.forEachCell(range_, [&](const CellView& cell) {
            if (inMergedArea(cell.row, cell.column)) {
                return;
            }
            addArea(CellRange::cell(cell.row, cell.column), sheet_.styles().style(cell.style), &cell, false);
        });
        for (std::int32_t c : formattedColumns) {
            const CellStyle& style = sheet_.styles().style(sheet_.column(c).style);
            for (std::int32_t r = range_.firstRow; r <= range_.lastRow; ++r) {
                if (!inMergedArea(r, c) && !sheet_.cell(r, c)) {
                    addArea(CellRange::cell(r, c), style, nullptr, false);
                }
            }
        }
    }

    static bool isVisible(const CellStyle& style) {
        return style.solidFill || std::any_of(style.borders.begin(), style.borders.end(),
                                              [](const Border& b) { return b.line != LineStyle::None; });
    }

    void addArea(const CellRange& whole, const CellStyle& style, const CellView* value, bool merged) {
        // A merged area reaching outside the range is drawn as far as the range goes.
        const CellRange a{
            std::max(whole.firstRow, range_.firstRow), std::max(whole.firstColumn, range_.firstColumn),
            std::min(whole.lastRow, range_.lastRow), std::min(whole.lastColumn, range_.lastColumn)};
        const std::int32_t left = g_.leftOf(a.firstColumn);
        const std::int32_t right = g_.rightOf(a.lastColumn);
        const std::int32_t top = g_.topOf(a.firstRow);
        const std::int32_t bottom = g_.bottomOf(a.lastRow);
        if (style.solidFill) {
            // A fill covers the gridlines around its cells.
            fills_.push_back(
                {packed(book_.paletteColor(style.fillColor)), left, top, right - left + 1, bottom - top + 1});
        } else if (merged && right - left > 1 && bottom - top > 1) {
            // A merged area shows no gridlines inside.
            fills_.push_back(
                {packed(kBackgroundColor), left + 1, top + 1, right - left - 1, bottom - top - 1});
        }
        // Only the sides of the area that are its own edges carry its borders.
        const auto rowSlot = [&](std::int32_t row) {
            return static_cast<std::size_t>(row - range_.firstRow);
        };
        const auto columnSlot = [&](std::int32_t c) {
            return static_cast<std::size_t>(c - range_.firstColumn);
        };
        addBorder(style.border(Edge::Top), whole.firstRow == a.firstRow, horizontal_, rowSlot(a.firstRow),
                  top, left, right);
        addBorder(style.border(Edge::Bottom), whole.lastRow == a.lastRow, horizontal_, rowSlot(a.lastRow) + 1,
                  bottom, left, right);
        addBorder(style.border(Edge::Left), whole.firstColumn == a.firstColumn, vertical_,
                  columnSlot(a.firstColumn), left, top, bottom);
        addBorder(style.border(Edge::Right), whole.lastColumn == a.lastColumn, vertical_,
                  columnSlot(a.lastColumn) + 1, right, top, bottom);
        if (value != nullptr && value->kind != ValueKind::Empty) {
            addText(style, *value, left, right, bottom);
        }
    }

    void addBorder(const Border& border, bool ownEdge, StrokeSet& into, std::size_t slot, std::int32_t line,
                   std::int32_t from, std::int32_t to) {
        if (!ownEdge || border.line == LineStyle::None) {
            return;
        }
        const std::uint32_t rgb =
            packed(book_.paletteColor(border.color == 0 ? kAutomaticLineColor : border.color));
        if (border.line == LineStyle::Double) {
            // Two thin lines, one pixel apart on either side of the gridline.
            into.add(slot, {rgb, 1, line - 1, from - 1, to + 2});
            into.add(slot, {rgb, 1, line + 1, from - 1, to + 2});
            return;
        }
        const int w = strokeWidth(border.line);
        into.add(slot, {rgb, static_cast<std::uint8_t>(w), line, from - w / 2, to + 1 + w / 2});
    }

    void addText(const CellStyle& style, const CellView& value, std::int32_t left, std::int32_t right,
                 std::int32_t bottom) {
        TextItem t;
        t.font = &style.font;
        t.rgb = packed(book_.paletteColor(style.font.color));
        t.text = value.kind == ValueKind::Text ? std::string(value.text) : numberText(value.number);
        HorizontalAlignment align = style.alignment;
        if (value.kind == ValueKind::Boolean || value.kind == ValueKind::Error) {
            const char* error = errorText(static_cast<std::uint8_t>(value.number));
            t.text = value.kind == ValueKind::Boolean ? (value.number != 0 ? "TRUE" : "FALSE")
                                                      : (error ? error : "#VALUE!");
        }
        if (align == HorizontalAlignment::General) {
            align = value.kind == ValueKind::Number ? HorizontalAlignment::Right
                    : value.kind == ValueKind::Text ? HorizontalAlignment::Left
                                                    : HorizontalAlignment::Center;
        }
        switch (align) {
            case HorizontalAlignment::Right:
                t.anchor = 'e';
                t.x = right - 2;
                break;
            case HorizontalAlignment::Center:
            case HorizontalAlignment::CenterAcrossSelection:
            case HorizontalAlignment::Distributed:
                t.anchor = 'm';
                t.x = (left + 1 + right) / 2.0;
                break;
            default:
                t.anchor = 's';
                t.x = left + 3;
                break;
        }
        // Bottom aligned: the baseline sits the font's descent (about a fifth of its size) above the
        // gridline under the cell.
        const double pixels = style.font.heightTwips / 15.0;
        t.y = bottom - std::round(pixels * 0.21) - 1;
        texts_.push_back(std::move(t));
    }

    void writeGridlines(SvgOut& out) const {
        out.raw("<g stroke=\"").color(packed(kGridlineColor)).raw("\" stroke-width=\"1\" fill=\"none\">\n");
        std::size_t inPath = 0;
        auto next = [&]() {
            if (inPath == kSubpathsPerPath) {
                out.raw("\"/>\n");
                inPath = 0;
            }
            if (inPath++ == 0) {
                out.raw("<path fill=\"none\" d=\"");
            }
        };
        const std::int32_t w = g_.width();
        const std::int32_t h = g_.height();
        std::int32_t previous = -1;
        for (std::int32_t x : g_.columnEdges) {
            if (x != previous) {  // hidden columns share one gridline
                next();
                out.raw("M").half(2 * std::int64_t{x} + 1).raw(" 0v").num(h);
            }
            previous = x;
        }
        previous = -1;
        for (std::int32_t y : g_.rowEdges) {
            if (y != previous) {
                next();
                out.raw("M0 ").half(2 * std::int64_t{y} + 1).raw("h").num(w);
            }
            previous = y;
        }
        if (inPath > 0) {
            out.raw("\"/>\n");
        }
        out.raw("</g>\n");
    }

    void writeFills(SvgOut& out) {
        // Join cells of one colour that touch side by side, then those that touch one above the other.
        auto joinRows = [](std::vector<FillRect>& v) {
            std::sort(v.begin(), v.end(), [](const FillRect& a, const FillRect& b) {
                return std::tie(a.rgb, a.y, a.h, a.x) < std::tie(b.rgb, b.y, b.h, b.x);
            });
            std::vector<FillRect> joined;
            for (const FillRect& r : v) {
                if (!joined.empty()) {
                    FillRect& p = joined.back();
                    if (p.rgb == r.rgb && p.y == r.y && p.h == r.h && r.x <= p.x + p.w) {
                        p.w = std::max(p.x + p.w, r.x + r.w) - p.x;
                        continue;
                    }
                }
                joined.push_back(r);
            }
            v.swap(joined);
        };
        auto joinColumns = [](std::vector<FillRect>& v) {
            std::sort(v.begin(), v.end(), [](const FillRect& a, const FillRect& b) {
                return std::tie(a.rgb, a.x, a.w, a.y) < std::tie(b.rgb, b.x, b.w, b.y);
            });
            std::vector<FillRect> joined;
            for (const FillRect& r : v) {
                if (!joined.empty()) {
                    FillRect& p = joined.back();
                    if (p.rgb == r.rgb && p.x == r.x && p.w == r.w && r.y <= p.y + p.h) {
                        p.h = std::max(p.y + p.h, r.y + r.h) - p.y;
                        continue;
                    }
                }
                joined.push_back(r);
            }
            v.swap(joined);
        };
        joinRows(fills_);
        joinColumns(fills_);
        // The white covers of merged areas go first, so a fill next to one is not cut.
        std::stable_sort(fills_.begin(), fills_.end(), [](const FillRect& a, const FillRect& b) {
            const bool aLater = a.rgb != packed(kBackgroundColor);
            const bool bLater = b.rgb != packed(kBackgroundColor);
            return std::tie(aLater, a.rgb, a.y, a.x) < std::tie(bLater, b.rgb, b.y, b.x);
        });
        std::size_t i = 0;
        while (i < fills_.size()) {
            const std::uint32_t rgb = fills_[i].rgb;
            out.raw("<g fill=\"").color(rgb).raw("\">\n");
            for (; i < fills_.size() && fills_[i].rgb == rgb; ++i) {
                const FillRect& r = fills_[i];
                out.raw("<rect x=\"")
                    .num(r.x)
                    .raw("\" y=\"")
                    .num(r.y)
                    .raw("\" width=\"")
                    .num(r.w)
                    .raw("\" height=\"")
                    .num(r.h)
                    .raw("\"/>\n");
            }
            out.raw("</g>\n");
        }
    }

    void writeStrokes(SvgOut& out, const StrokeSet& strokes, bool horizontal) const {
        // Segments that touch or overlap on one line become one.
        const std::vector<Stroke> joined = strokes.joined();
        std::size_t i = 0;
        while (i < joined.size()) {
            const Stroke& head = joined[i];
            // Odd widths centre on the gridline's pixel; a two-pixel line covers it and the next.
            const std::int64_t centreOffset = head.width % 2 == 1 ? 1 : 2;
            out.raw("<path stroke=\"")
                .color(head.rgb)
                .raw("\" stroke-width=\"")
                .num(head.width)
                .raw("\" fill=\"none\" d=\"");
            std::size_t n = 0;
            const std::uint32_t rgb = head.rgb;
            const std::uint8_t width = head.width;
            for (; i < joined.size() && joined[i].rgb == rgb && joined[i].width == width &&
                   n < kSubpathsPerPath;
                 ++i, ++n) {
                const Stroke& s = joined[i];
                if (horizontal) {
                    out.raw("M")
                        .num(s.from)
                        .raw(" ")
                        .half(2 * std::int64_t{s.line} + centreOffset)
                        .raw("h")
                        .num(s.to - s.from);
                } else {
                    out.raw("M")
                        .half(2 * std::int64_t{s.line} + centreOffset)
                        .raw(" ")
                        .num(s.from)
                        .raw("v")
                        .num(s.to - s.from);
                }
            }
            out.raw("\"/>\n");
        }
    }

    void writeTexts(SvgOut& out) const {
        for (const TextItem& t : texts_) {
            out.raw("<text x=\"")
                .dec(t.x)
                .raw("\" y=\"")
                .dec(t.y)
                .raw("\" font-family=\"")
                .escaped(t.font->name)
                .raw(", ")
                .raw(kFallbackFontFamily)
                .raw("\" font-size=\"")
                .dec(t.font->heightTwips / 15.0)
                .raw("\" font-weight=\"")
                .raw(t.font->bold ? "700" : "400")
                .raw("\" fill=\"")
                .color(t.rgb)
                .raw("\"");
            if (t.anchor == 'm') {
                out.raw(" text-anchor=\"middle\"");
            } else if (t.anchor == 'e') {
                out.raw(" text-anchor=\"end\"");
            }
            out.raw(">").escaped(t.text, true).raw("</text>\n");
        }
    }

    static constexpr std::size_t kSubpathsPerPath = 4096;

    bool gridlines_;
    const Worksheet& sheet_;
    const Workbook& book_;
    RangeGeometry g_;
    CellRange range_;
    std::vector<bool> mergeRow_;
    std::vector<FillRect> fills_;
    StrokeSet horizontal_;
    StrokeSet vertical_;
    std::vector<TextItem> texts_;
};

}  // namespace

RangePicture renderRangePicture(const Worksheet& sheet, const CellRange& range, bool gridlines) {
    return Renderer(sheet, range, gridlines).run();
}

}  // namespace rw::sheet
