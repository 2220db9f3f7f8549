#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/picture_shapes.h"
#include "spreadsheet/workbook.h"

// The picture of a cell range as a spreadsheet shows it on screen at 100 %: column widths and row heights
// in pixels, light grey gridlines under everything, solid fills, borders, and cell text in its font, size,
// colour and alignment. The picture is vector (SVG) in a deliberately small, flat form:
//
//   <svg xmlns=... width="W" height="H" viewBox="0 0 W H"> with only <rect>, <line>-free <path>s of
//   straight segments (M, h, v), <text>, and plain <g> groups; coordinates in pixels, lines on pixel
//   centres (.5), crisp edges.
//
// Border segments that continue each other on one line are joined into one segment, and every gridline is
// one long line, so even a chart of 30,000 boxes stays a few megabytes and is quick to draw.
namespace rw::sheet {

// Where a range's cells lie in its picture, in whole pixels. Column i of the range (0-based) lies between
// the vertical gridlines at columnEdges[i] and columnEdges[i + 1]; each gridline is the one-pixel column
// at that x. Rows likewise. The first gridline is at 0, so the picture is last edge + 1 pixels wide.
struct RangeGeometry {
    CellRange range;
    std::vector<std::int32_t> columnEdges;  // columnCount + 1 entries, ascending
    std::vector<std::int32_t> rowEdges;     // rowCount + 1 entries, ascending

    std::int32_t width() const { return columnEdges.back() + 1; }
    std::int32_t height() const { return rowEdges.back() + 1; }
    // Pixel edges of a sheet column / row inside the range (left/top gridline, right/bottom gridline).
    std::int32_t leftOf(std::int32_t column) const { return columnEdges[column - range.firstColumn]; }
    std::int32_t rightOf(std::int32_t column) const { return columnEdges[column - range.firstColumn + 1]; }
    std::int32_t topOf(std::int32_t row) const { return rowEdges[row - range.firstRow]; }
    std::int32_t bottomOf(std::int32_t row) const { return rowEdges[row - range.firstRow + 1]; }
};

// Pixel width of a column as the sheet shows it: 0 when hidden.
std::int32_t columnPixels(const Worksheet& sheet, std::int32_t column);
// Pixel height of a row: its height in twips at 15 twips a pixel.
std::int32_t rowPixels(const Worksheet& sheet, std::int32_t row);

// Fails with a clear description for a range outside the sheet.
RangeGeometry rangeGeometry(const Worksheet& sheet, const CellRange& range);

// Colours of what the sheet draws itself.
inline constexpr Rgb kGridlineColor{0xC0, 0xC0, 0xC0};
inline constexpr Rgb kBackgroundColor{0xFF, 0xFF, 0xFF};
// Appended to every font name, for systems that lack the face.
inline constexpr std::string_view kFallbackFontFamily = "sans-serif";

struct RangePicture {
    std::string svg;  // UTF-8 SVG document
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::shared_ptr<const picture::Shapes> shapes;  // what `svg` was written from
};

// The shapes of the range; without `gridlines`, as it prints (the background and what the cells draw). Fails
// with a clear description for a range outside the sheet.
picture::Shapes rangeShapes(const Worksheet& sheet, const CellRange& range, bool gridlines = true);
// The SVG document of those shapes.
std::string pictureSvg(const picture::Shapes& shapes);
// The same document handed to `piece` in pieces of about 1 MB, in order, for a caller that keeps it in a
// buffer of its own; pictureSvgSizeHint estimates its whole size, for that buffer's room.
void writePictureSvg(const picture::Shapes& shapes, const std::function<void(std::string_view)>& piece);
std::size_t pictureSvgSizeHint(const picture::Shapes& shapes);
// Both at once.
RangePicture renderRangePicture(const Worksheet& sheet, const CellRange& range, bool gridlines = true);

}  // namespace rw::sheet
