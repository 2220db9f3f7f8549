#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "spreadsheet/workbook.h"

// What the picture of a range is drawn from: filled rectangles, border strokes and cell texts.
namespace rw::sheet::picture {

inline std::uint32_t packed(Rgb c) {
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
    explicit StrokeSet(std::size_t slotCount) : last_(slotCount, kNone) {}

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
    double x, y;         // the anchor, on the baseline, in pixels to two decimals
    std::uint32_t font;  // index into Shapes::fonts
    std::uint32_t rgb;
    char anchor;  // 's'tart, 'm'iddle, 'e'nd
    std::string text;
    // Shrink to fit: the width the text must keep within (0: none), and the font scale that makes it do so
    // by the engine's measure. A painter that measures the face it has shrinks further when it must.
    double fitWidth = 0;
    double fontScale = 1;
};

// The whole picture of a range, built once from the worksheet: what the SVG is written from and what the
// preview and the printed pages paint. Painting order: the background, the gridlines (columns, then rows),
// the fills, the horizontal strokes, the vertical strokes, the texts.
struct Shapes {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool gridlines = true;
    std::vector<std::int32_t> gridColumns;  // x of each vertical gridline, one per position
    std::vector<std::int32_t> gridRows;     // y of each horizontal gridline
    std::vector<FillRect> fills;
    std::vector<Stroke> horizontal;  // joined, along y = line
    std::vector<Stroke> vertical;    // joined, along x = line
    std::vector<Font> fonts;
    std::vector<TextItem> texts;
};

// Where a stroke of `width` pixels along gridline `line` has its centre, in half pixels: odd widths centre on
// the gridline's pixel; a two-pixel line covers it and the next.
inline std::int64_t strokeCentreTwice(std::int32_t line, std::uint8_t width) {
    return 2 * std::int64_t{line} + (width % 2 == 1 ? 1 : 2);
}

// A value as the SVG writes it, to two decimals.
inline double hundredths(double v) {
    return std::round(v * 100.0) / 100.0;
}

}  // namespace rw::sheet::picture
