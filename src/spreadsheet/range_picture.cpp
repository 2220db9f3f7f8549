#include "spreadsheet/range_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <tuple>

#include "spreadsheet/metrics.h"
#include "spreadsheet/picture_shapes.h"
#include "spreadsheet/svg_out.h"

namespace rw::sheet {

namespace {

using picture::FillRect;
using picture::packed;
using picture::Stroke;
using picture::StrokeSet;
using picture::TextItem;
using svg::SvgOut;

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

    picture::Shapes run() {
        collectAreas();
        picture::Shapes shapes;
        shapes.width = g_.width();
        shapes.height = g_.height();
        shapes.gridlines = gridlines_;
        if (gridlines_) {
            // Hidden columns and rows share one gridline.
            std::unique_copy(g_.columnEdges.begin(), g_.columnEdges.end(),
                             std::back_inserter(shapes.gridColumns));
            std::unique_copy(g_.rowEdges.begin(), g_.rowEdges.end(), std::back_inserter(shapes.gridRows));
        }
        joinFills();
        shapes.fills = std::move(fills_);
        shapes.horizontal = horizontal_.joined();
        shapes.vertical = vertical_.joined();
        shapes.fonts = std::move(fonts_);
        shapes.texts = std::move(texts_);
        return shapes;
    }

  private:
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
        t.font = fontIndex(style.font);
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
        if (style.shrinkToFit && t.text.size() > 0) {
            // Between the text's margins: 3 pixels on the left as it starts, 2 on the right.
            const double room = right - left - 5;
            const int width = textWidthPixels(style.font, t.text);
            if (room > 0 && width > room) {
                t.fitWidth = room;
                t.fontScale = room / width;
                if (t.anchor == 'm') {
                    t.x = left + 3 + room / 2.0;
                } else if (t.anchor == 'e') {
                    t.x = left + 3 + room;
                }
            }
        }
        // Bottom aligned: the baseline sits the font's descent (about a fifth of its size) above the
        // gridline under the cell.
        const double pixels = style.font.heightTwips / 15.0;
        t.y = bottom - std::round(pixels * 0.21) - 1;
        t.x = picture::hundredths(t.x);
        texts_.push_back(std::move(t));
    }

    std::uint32_t fontIndex(const Font& font) {
        for (std::size_t i = fonts_.size(); i-- > 0;) {
            if (fonts_[i] == font) {
                return static_cast<std::uint32_t>(i);
            }
        }
        fonts_.push_back(font);
        return static_cast<std::uint32_t>(fonts_.size() - 1);
    }

    // Joins cells of one colour that touch side by side, then those that touch one above the other, and
    // puts the white covers of merged areas first, so a fill next to one is not cut.
    void joinFills() {
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
        std::stable_sort(fills_.begin(), fills_.end(), [](const FillRect& a, const FillRect& b) {
            const bool aLater = a.rgb != packed(kBackgroundColor);
            const bool bLater = b.rgb != packed(kBackgroundColor);
            return std::tie(aLater, a.rgb, a.y, a.x) < std::tie(bLater, b.rgb, b.y, b.x);
        });
    }

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
    std::vector<Font> fonts_;
};

constexpr std::size_t kSubpathsPerPath = 4096;

std::size_t estimateSize(const picture::Shapes& p) {
    std::size_t bytes = 256 + (p.gridColumns.size() + p.gridRows.size()) * 16 + p.fills.size() * 48 +
                        (p.horizontal.size() + p.vertical.size()) * 20;
    for (const TextItem& t : p.texts) {
        bytes += 120 + t.text.size();
    }
    return bytes;
}

void writeGridlines(SvgOut& out, const picture::Shapes& p) {
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
    for (std::int32_t x : p.gridColumns) {
        next();
        out.raw("M").half(2 * std::int64_t{x} + 1).raw(" 0v").num(p.height);
    }
    for (std::int32_t y : p.gridRows) {
        next();
        out.raw("M0 ").half(2 * std::int64_t{y} + 1).raw("h").num(p.width);
    }
    if (inPath > 0) {
        out.raw("\"/>\n");
    }
    out.raw("</g>\n");
}

void writeFills(SvgOut& out, const std::vector<FillRect>& fills) {
    std::size_t i = 0;
    while (i < fills.size()) {
        const std::uint32_t rgb = fills[i].rgb;
        out.raw("<g fill=\"").color(rgb).raw("\">\n");
        for (; i < fills.size() && fills[i].rgb == rgb; ++i) {
            const FillRect& r = fills[i];
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

void writeStrokes(SvgOut& out, const std::vector<Stroke>& joined, bool horizontal) {
    std::size_t i = 0;
    while (i < joined.size()) {
        const Stroke& head = joined[i];
        out.raw("<path stroke=\"")
            .color(head.rgb)
            .raw("\" stroke-width=\"")
            .num(head.width)
            .raw("\" fill=\"none\" d=\"");
        std::size_t n = 0;
        const std::uint32_t rgb = head.rgb;
        const std::uint8_t width = head.width;
        for (; i < joined.size() && joined[i].rgb == rgb && joined[i].width == width && n < kSubpathsPerPath;
             ++i, ++n) {
            const Stroke& s = joined[i];
            const std::int64_t centre = picture::strokeCentreTwice(s.line, s.width);
            if (horizontal) {
                out.raw("M").num(s.from).raw(" ").half(centre).raw("h").num(s.to - s.from);
            } else {
                out.raw("M").half(centre).raw(" ").num(s.from).raw("v").num(s.to - s.from);
            }
        }
        out.raw("\"/>\n");
    }
}

void writeTexts(SvgOut& out, const picture::Shapes& p) {
    for (const TextItem& t : p.texts) {
        const Font& font = p.fonts[t.font];
        out.raw("<text x=\"")
            .dec(t.x)
            .raw("\" y=\"")
            .dec(t.y)
            .raw("\" font-family=\"")
            .escaped(font.name)
            .raw(", ")
            .raw(kFallbackFontFamily)
            .raw("\" font-size=\"")
            .dec(font.heightTwips / 15.0 * t.fontScale)
            .raw("\" font-weight=\"")
            .raw(font.bold ? "700" : "400")
            .raw("\" fill=\"")
            .color(t.rgb)
            .raw("\"");
        if (t.fitWidth > 0) {
            out.raw(" textLength=\"").dec(t.fitWidth).raw("\" lengthAdjust=\"spacingAndGlyphs\"");
        }
        if (t.anchor == 'm') {
            out.raw(" text-anchor=\"middle\"");
        } else if (t.anchor == 'e') {
            out.raw(" text-anchor=\"end\"");
        }
        out.raw(">").escaped(t.text, true).raw("</text>\n");
    }
}

void writeDocument(SvgOut& out, const picture::Shapes& p) {
    out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"")
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
    if (p.gridlines) {
        writeGridlines(out, p);
    }
    writeFills(out, p.fills);
    writeStrokes(out, p.horizontal, true);
    writeStrokes(out, p.vertical, false);
    writeTexts(out, p);
    out.raw("</svg>\n");
    out.flush();
}

}  // namespace

picture::Shapes rangeShapes(const Worksheet& sheet, const CellRange& range, bool gridlines) {
    return Renderer(sheet, range, gridlines).run();
}

std::string pictureSvg(const picture::Shapes& p) {
    SvgOut out;
    out.s.reserve(estimateSize(p));
    writeDocument(out, p);
    return std::move(out.s);
}

std::size_t pictureSvgSizeHint(const picture::Shapes& shapes) {
    return estimateSize(shapes);
}

void writePictureSvg(const picture::Shapes& shapes, const std::function<void(std::string_view)>& piece) {
    SvgOut out(piece);
    writeDocument(out, shapes);
}

RangePicture renderRangePicture(const Worksheet& sheet, const CellRange& range, bool gridlines) {
    auto shapes = std::make_shared<picture::Shapes>(rangeShapes(sheet, range, gridlines));
    RangePicture p;
    p.width = shapes->width;
    p.height = shapes->height;
    p.svg = pictureSvg(*shapes);
    p.shapes = std::move(shapes);
    return p;
}

}  // namespace rw::sheet
