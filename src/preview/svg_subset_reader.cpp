#include "preview/svg_subset_reader.h"

#include <QColor>
#include <QStringList>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "preview/chart_picture.h"
#include "preview/svg_values.h"

namespace rw::preview {

using namespace svg;

namespace {

// Deepest nesting of groups read into the display list (the charts use one or two levels). Reading recurses
// once per level, so a deeper document goes to Qt's renderer, which has limits of its own.
constexpr int kDeepestGroup = 256;

const QString kSvgNamespace = QStringLiteral("http://www.w3.org/2000/svg");

// What a group passes down to its children.
struct Inherited {
    std::optional<QRgb> fill = qRgb(0, 0, 0);  // empty: "none"
    std::optional<QRgb> stroke;                // empty: "none"
    double strokeWidth = 1.0;
    QString fontFamily = QStringLiteral("sans-serif");
    double fontSize = 16.0;
    int fontWeight = 400;
    bool crisp = false;
    QString anchor = QStringLiteral("start");
    QString baseline = QStringLiteral("auto");
};

}  // namespace

// Reads the flat chart form into a ChartPicture; throws Unsupported for anything else.
class SvgSubsetReader {
  public:
    SvgSubsetReader(const QByteArray& svg, ChartPicture& out) : xml_(svg), out_(out) { reserve(svg); }

    void read() {
        if (!xml_.readNextStartElement()) {
            throw Unsupported{};
        }
        if (xml_.name() != u"svg" || xml_.namespaceUri() != kSvgNamespace) {
            throw Unsupported{};
        }
        readRoot();
        if (xml_.hasError()) {
            throw Unsupported{};
        }
    }

  private:
    // Every item begins at an element or at a command letter of a path, and every point at a command
    // letter or at one end of a line: counting the bytes that may start one bounds both lists, so a large
    // chart is not copied over and over as they grow.
    void reserve(const QByteArray& svg) {
        std::size_t elements = 0;
        std::size_t letters = 0;
        for (const char c : svg) {
            switch (c) {
                case '<':
                    ++elements;
                    break;
                case 'M':
                case 'm':
                case 'L':
                case 'l':
                case 'H':
                case 'h':
                case 'V':
                case 'v':
                case 'Z':
                case 'z':
                    ++letters;
                    break;
                default:
                    break;
            }
        }
        out_.items_.reserve(elements + letters);
        out_.points_.reserve(2 * elements + letters);
    }

    void readRoot() {
        Inherited style;
        double width = -1;
        double height = -1;
        QString viewBox;
        for (const QXmlStreamAttribute& a : xml_.attributes()) {
            const QStringView n = a.qualifiedName();
            if (n == u"width") {
                width = number(a.value());
            } else if (n == u"height") {
                height = number(a.value());
            } else if (n == u"viewBox") {
                viewBox = a.value().toString();
            } else if (n != u"version" && !applyInherited(n, a.value(), style)) {
                throw Unsupported{};
            }
        }
        if (width < 0 || height < 0 || width != std::floor(width) || height != std::floor(height) ||
            width > kLargestSide || height > kLargestSide) {
            throw Unsupported{};
        }
        if (!viewBox.isEmpty()) {
            const QStringList parts = viewBox.simplified().replace(u',', u' ').split(u' ');
            if (parts.size() != 4 || number(parts[0]) != 0 || number(parts[1]) != 0 ||
                number(parts[2]) != width || number(parts[3]) != height) {
                throw Unsupported{};
            }
        }
        out_.size_ = QSize(static_cast<int>(width), static_cast<int>(height));
        readChildren(style, 0);
    }

    // Handles an attribute that children inherit; false when the name is not one of them.
    static bool applyInherited(QStringView n, QStringView v, Inherited& s) {
        if (n == u"fill") {
            s.fill = paint(v);
        } else if (n == u"stroke") {
            s.stroke = paint(v);
        } else if (n == u"stroke-width") {
            s.strokeWidth = number(v);
            if (s.strokeWidth < 0) {
                throw Unsupported{};
            }
        } else if (n == u"font-family") {
            s.fontFamily = v.trimmed().toString();
            s.fontFamily.remove(u'\'');
            s.fontFamily.remove(u'"');
        } else if (n == u"font-size") {
            s.fontSize = number(v);
            if (s.fontSize <= 0) {
                throw Unsupported{};
            }
        } else if (n == u"font-weight") {
            s.fontWeight = weight(v);
        } else if (n == u"shape-rendering") {
            s.crisp = v.trimmed() == u"crispEdges";
        } else if (n == u"text-anchor") {
            s.anchor = v.trimmed().toString();
        } else if (n == u"dominant-baseline") {
            s.baseline = v.trimmed().toString();
        } else if (n == u"id") {
            // names an element; nothing to draw
        } else {
            return false;
        }
        return true;
    }

    // Reads the element's own attributes: the inherited kind, plus the geometry names given.
    std::vector<double> attributes(Inherited& style, std::initializer_list<const char16_t*> geometry) {
        std::vector<double> values(geometry.size(), 0.0);
        for (const QXmlStreamAttribute& a : xml_.attributes()) {
            const QStringView n = a.qualifiedName();
            if (n == u"lengthAdjust") {
                continue;  // a text's textLength is only ever a width to keep within (see readText)
            }
            bool handled = false;
            std::size_t i = 0;
            for (const char16_t* g : geometry) {
                if (n == QStringView(g)) {
                    values[i] = number(a.value());
                    handled = true;
                    break;
                }
                ++i;
            }
            if (!handled && !(pathData_ && n == u"d") && !applyInherited(n, a.value(), style)) {
                throw Unsupported{};
            }
            if (pathData_ && n == u"d") {
                *pathData_ = a.value().toString();
            }
        }
        return values;
    }

    void readChildren(const Inherited& parent, int depth) {
        if (depth > kDeepestGroup) {
            throw Unsupported{};
        }
        while (xml_.readNextStartElement()) {
            if (xml_.namespaceUri() != kSvgNamespace) {
                throw Unsupported{};
            }
            const QStringView name = xml_.name();
            Inherited style = parent;
            if (name == u"g") {
                attributes(style, {});
                readChildren(style, depth + 1);
            } else if (name == u"rect") {
                readRect(style);
            } else if (name == u"line") {
                readLine(style);
            } else if (name == u"path") {
                readPath(style);
            } else if (name == u"text") {
                readText(style);
            } else {
                throw Unsupported{};
            }
        }
        if (xml_.hasError()) {
            throw Unsupported{};
        }
    }

    void requireEmpty() {
        // Shapes have no content; anything inside (even an animation) is beyond the flat form.
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isEndElement()) {
                return;
            }
            if (xml_.isStartElement() || (xml_.isCharacters() && !xml_.isWhitespace())) {
                throw Unsupported{};
            }
        }
        throw Unsupported{};
    }

    void readRect(Inherited& style) {
        const std::vector<double> v = attributes(style, {u"x", u"y", u"width", u"height"});
        requireEmpty();
        if (v[2] < 0 || v[3] < 0) {
            throw Unsupported{};
        }
        if (v[2] == 0 || v[3] == 0) {
            return;  // an empty rectangle draws nothing
        }
        ChartPicture::Item item;
        item.kind = ChartPicture::Kind::Rect;
        item.crisp = style.crisp;
        item.shape = QRectF(v[0], v[1], v[2], v[3]);
        setPaint(item, style);
        const double half = item.stroked ? item.strokeWidth / 2.0 : 0.0;
        item.box = item.shape.adjusted(-half, -half, half, half);
        add(item);
    }

    void readLine(Inherited& style) {
        const std::vector<double> v = attributes(style, {u"x1", u"y1", u"x2", u"y2"});
        requireEmpty();
        const std::uint32_t first = static_cast<std::uint32_t>(out_.points_.size());
        out_.points_.emplace_back(v[0], v[1]);
        out_.points_.emplace_back(v[2], v[3]);
        addPolyline(style, first);
    }

    void readPath(Inherited& style) {
        QString d;
        pathData_ = &d;
        attributes(style, {});
        pathData_ = nullptr;
        requireEmpty();
        if (style.fill) {
            throw Unsupported{};  // a filled path is beyond the flat form
        }
        PathScanner scan(d);
        QPointF current(0, 0);
        QPointF start(0, 0);
        std::uint32_t first = static_cast<std::uint32_t>(out_.points_.size());
        QChar command;
        bool any = false;
        while (!scan.atEnd()) {
            if (scan.atCommand()) {
                command = scan.command();
            } else if (!any || command == u'z' || command == u'Z') {
                throw Unsupported{};
            }
            const bool relative = command.isLower();
            const char16_t c = command.toUpper().unicode();
            if (c == u'M') {
                addPolyline(style, first);
                first = static_cast<std::uint32_t>(out_.points_.size());
                const double x = scan.nextNumber();
                const double y = scan.nextNumber();
                current = relative ? current + QPointF(x, y) : QPointF(x, y);
                start = current;
                out_.points_.push_back(current);
                command = relative ? u'l' : u'L';  // further pairs are line-to
            } else if (c == u'L') {
                const double x = scan.nextNumber();
                const double y = scan.nextNumber();
                current = relative ? current + QPointF(x, y) : QPointF(x, y);
                out_.points_.push_back(current);
            } else if (c == u'H') {
                const double x = scan.nextNumber();
                current.setX(relative ? current.x() + x : x);
                out_.points_.push_back(current);
            } else if (c == u'V') {
                const double y = scan.nextNumber();
                current.setY(relative ? current.y() + y : y);
                out_.points_.push_back(current);
            } else if (c == u'Z') {
                out_.points_.push_back(start);
                current = start;
            } else {
                throw Unsupported{};
            }
            if (!any && c != u'M') {
                throw Unsupported{};  // a path starts with a move
            }
            any = true;
        }
        addPolyline(style, first);
    }

    // Adds the points from `first` on as one polyline (nothing for fewer than two points).
    void addPolyline(const Inherited& style, std::uint32_t first) {
        const std::size_t count = out_.points_.size() - first;
        if (count < 2 || !style.stroke || style.strokeWidth <= 0) {
            out_.points_.resize(first);
            return;
        }
        ChartPicture::Item item;
        item.kind = ChartPicture::Kind::Polyline;
        item.crisp = style.crisp;
        item.stroked = true;
        item.stroke = *style.stroke;
        item.strokeWidth = static_cast<float>(style.strokeWidth);
        item.first = first;
        item.count = static_cast<std::uint32_t>(count);
        double left = out_.points_[first].x();
        double right = left;
        double top = out_.points_[first].y();
        double bottom = top;
        for (std::size_t i = first + 1; i < out_.points_.size(); ++i) {
            const QPointF& p = out_.points_[i];
            left = std::min(left, p.x());
            right = std::max(right, p.x());
            top = std::min(top, p.y());
            bottom = std::max(bottom, p.y());
        }
        QRectF box(QPointF(left, top), QPointF(right, bottom));
        // Miter joins may reach further than half the width; four widths is ample for straight segments.
        const double reach = style.strokeWidth * 4.0;
        item.box = box.adjusted(-reach, -reach, reach, reach);
        add(item);
    }

    void readText(Inherited& style) {
        const std::vector<double> v = attributes(style, {u"x", u"y", u"textLength"});
        QString raw;
        while (true) {
            const QXmlStreamReader::TokenType t = xml_.readNext();
            if (t == QXmlStreamReader::Characters || t == QXmlStreamReader::EntityReference) {
                raw += xml_.text();
            } else if (t == QXmlStreamReader::EndElement) {
                break;
            } else if (t == QXmlStreamReader::Comment || t == QXmlStreamReader::ProcessingInstruction) {
                continue;
            } else {
                throw Unsupported{};  // nested spans, or a broken document
            }
        }
        if (style.stroke) {
            throw Unsupported{};  // outlined glyphs are beyond the flat form
        }
        const QString text = collapseBlanks(raw);
        if (text.isEmpty() || !style.fill) {
            return;
        }
        ChartPicture::Item item;
        item.kind = ChartPicture::Kind::Text;
        item.filled = true;
        item.fill = *style.fill;
        // The anchor, and the width a shrink-to-fit text keeps within as the shape's width (0: none).
        item.shape = QRectF(v[0], v[1], std::max(0.0, v[2]), 0);
        item.first = static_cast<std::uint32_t>(out_.texts_.size());
        out_.texts_.push_back(text);
        item.font = fontIndex(style);
        if (style.anchor == u"middle") {
            item.anchor = ChartPicture::Anchor::Middle;
        } else if (style.anchor == u"end") {
            item.anchor = ChartPicture::Anchor::End;
        } else if (style.anchor != u"start") {
            throw Unsupported{};
        }
        const QString& b = style.baseline;
        if (b == u"middle") {
            item.baseline = ChartPicture::Baseline::Middle;
        } else if (b == u"central") {
            item.baseline = ChartPicture::Baseline::Central;
        } else if (b == u"hanging" || b == u"text-before-edge") {
            item.baseline = ChartPicture::Baseline::Hanging;
        } else if (b == u"text-after-edge" || b == u"ideographic") {
            item.baseline = ChartPicture::Baseline::Bottom;
        } else if (b != u"auto" && b != u"alphabetic") {
            throw Unsupported{};
        }
        // Generous box: glyphs are at most about one em wide, and reach an em and a half around the anchor.
        const double em = style.fontSize;
        const double width = em * static_cast<double>(text.size()) * 1.2 + em;
        double left = v[0] - em;
        if (item.anchor == ChartPicture::Anchor::Middle) {
            left = v[0] - width / 2.0;
        } else if (item.anchor == ChartPicture::Anchor::End) {
            left = v[0] - width;
        }
        item.box = QRectF(left, v[1] - 1.5 * em, width + em, 3.0 * em);
        add(item);
    }

    std::uint32_t fontIndex(const Inherited& style) {
        for (std::size_t i = 0; i < out_.fonts_.size(); ++i) {
            const ChartPicture::FontStyle& f = out_.fonts_[i];
            if (f.family == style.fontFamily && f.pixelSize == style.fontSize &&
                f.weight == style.fontWeight) {
                return static_cast<std::uint32_t>(i);
            }
        }
        out_.fonts_.push_back({style.fontFamily, style.fontSize, style.fontWeight});
        return static_cast<std::uint32_t>(out_.fonts_.size() - 1);
    }

    static void setPaint(ChartPicture::Item& item, const Inherited& style) {
        item.filled = style.fill.has_value();
        item.fill = style.fill.value_or(0);
        item.stroked = style.stroke.has_value() && style.strokeWidth > 0;
        item.stroke = style.stroke.value_or(0);
        item.strokeWidth = static_cast<float>(style.strokeWidth);
    }

    void add(const ChartPicture::Item& item) {
        if (out_.items_.size() >= 50'000'000) {
            throw Unsupported{};
        }
        out_.items_.push_back(item);
    }

    QXmlStreamReader xml_;
    ChartPicture& out_;
    QString* pathData_ = nullptr;
};

void readSvgSubset(const QByteArray& svg, ChartPicture& out) {
    SvgSubsetReader(svg, out).read();
}

}  // namespace rw::preview
