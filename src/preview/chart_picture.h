#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class QPainter;
class QSvgRenderer;

namespace rw::sheet::picture {
struct Shapes;
}

namespace rw::preview {

// The chart picture the preview shows: a vector drawing, painted at any scale and only where it is exposed.
//
// The chart renderer writes a small, flat SVG: rects, lines, paths of straight segments and text, in plain
// groups that pass colours and fonts down. That form is read into a display list indexed by vertical
// position, so painting a strip of a very tall chart touches only the elements in that strip. Any other
// SVG still loads: it is drawn by Qt's SVG renderer instead.
class ChartPicture {
  public:
    ~ChartPicture();
    ChartPicture(const ChartPicture&) = delete;
    ChartPicture& operator=(const ChartPicture&) = delete;

    // Reads the picture file. Throws rw::Failure with a description when the file cannot be read or is no
    // picture.
    static std::shared_ptr<const ChartPicture> fromFile(const QString& path);
    // The same for picture bytes already in memory.
    static std::shared_ptr<const ChartPicture> fromSvg(const QByteArray& svg);
    // The picture of a range straight from its shapes, without SVG in between.
    static std::shared_ptr<const ChartPicture> fromShapes(const sheet::picture::Shapes& shapes);
    // Reads the picture file as fromFile does; when the file holds exactly `knownSvg`, the picture is made
    // from `knownShapes` (what that SVG was written from) instead of reading the SVG again.
    static std::shared_ptr<const ChartPicture> fromFile(const QString& path, const QByteArray& knownSvg,
                                                        const sheet::picture::Shapes& knownShapes);

    // Size in pixels at factor 1.
    QSize size() const { return size_; }
    // True when the picture was read into the display list (false: Qt's SVG renderer draws it).
    bool isDisplayList() const { return renderer_ == nullptr; }
    std::size_t elementCount() const { return items_.size() + gridX_.size() + gridY_.size(); }

    // Paints the part of the picture inside `area` (picture pixels at factor 1) with the painter's current
    // transformation, which maps picture pixels to the device.
    void paint(QPainter& painter, const QRectF& area) const;

  private:
    ChartPicture() = default;

    enum class Kind : std::uint8_t { Rect, Polyline, Text };
    enum class Anchor : std::uint8_t { Start, Middle, End };
    enum class Baseline : std::uint8_t { Alphabetic, Middle, Central, Hanging, Bottom };

    struct Item {
        Kind kind = Kind::Rect;
        bool crisp = false;  // shape-rendering="crispEdges": no antialiasing
        bool filled = false;
        bool stroked = false;
        Anchor anchor = Anchor::Start;
        Baseline baseline = Baseline::Alphabetic;
        std::uint32_t first = 0;  // Polyline: first point in points_; Text: index into texts_
        std::uint32_t count = 0;  // Polyline: number of points
        std::uint32_t font = 0;   // Text: index into fonts_
        QRgb fill = 0;
        QRgb stroke = 0;
        float strokeWidth = 1.0F;
        QRectF shape;  // Rect: the rectangle; Text: the anchor point as its top-left
        QRectF box;    // what the item may paint, stroke and glyphs included
    };

    struct FontStyle {
        QString family;
        double pixelSize;
        int weight;
    };

    friend class SvgSubsetReader;

    void buildIndex();
    void visibleItems(const QRectF& area, std::vector<std::uint32_t>& out) const;

    QSize size_;
    std::vector<Item> items_;
    std::vector<QPointF> points_;
    std::vector<QString> texts_;
    std::vector<FontStyle> fonts_;

    // Vertical index: bucket b lists (in document order) the items whose box meets the band
    // [b * kBand, (b + 1) * kBand); the first and last buckets also take whatever lies beyond them.
    static constexpr double kBand = 256.0;
    std::vector<std::uint32_t> bucketStart_;  // size buckets + 1, offsets into bucketItems_
    std::vector<std::uint32_t> bucketItems_;

    // A range's gridlines, kept as positions rather than items (a tall chart has tens of thousands): grey,
    // one pixel, crisp, the vertical ones at x + 0.5 down the whole picture, the horizontal ones at y + 0.5
    // across it. They are painted after the first `gridAfter_` items, before the rest.
    void paintGridlines(QPainter& painter, const QRectF& area) const;
    std::vector<std::int32_t> gridX_;
    std::vector<std::int32_t> gridY_;
    std::size_t gridAfter_ = 0;
    QRgb gridColor_ = 0;

    std::unique_ptr<QSvgRenderer> renderer_;
};

}  // namespace rw::preview
