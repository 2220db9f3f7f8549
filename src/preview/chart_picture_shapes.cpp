#include <QPainter>
#include <QPen>
#include <QString>
#include <QSvgRenderer>
#include <algorithm>
#include <string>

#include "platform/failure.h"
#include "preview/chart_picture.h"
#include "preview/svg_subset_reader.h"
#include "preview/svg_values.h"
#include "spreadsheet/picture_shapes.h"
#include "spreadsheet/range_picture.h"
#include "spreadsheet/svg_out.h"

// The display list built from a range's shapes: the same items, in the same order, that reading the range's
// SVG gives, without writing and parsing that text.
namespace rw::preview {

namespace {

using sheet::picture::FillRect;
using sheet::picture::Shapes;
using sheet::picture::Stroke;

QRgb opaque(std::uint32_t rgb) {
    return qRgb(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

// A font family as a reader of the SVG attribute gets it: quotes dropped, blanks around trimmed.
QString familyOf(const std::string& name) {
    QString family = QString::fromStdString(sheet::svg::SvgOut::plain(name) + ", " +
                                            std::string(sheet::kFallbackFontFamily))
                         .trimmed();
    family.remove(u'\'');
    family.remove(u'"');
    return family;
}

// Whether reading a text back from the SVG gives it unchanged: no blank at either end or next to another,
// no control character, nothing XML cannot carry. Box texts are, as a rule, and skip the two passes.
bool readsBackUnchanged(const std::string& text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ') {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 || (u == ' ' && text[i + 1] == ' ') || u == 0xEF) {
            return false;  // 0xEF: U+FFFE and U+FFFF start with it; the careful path decides
        }
    }
    return true;
}

}  // namespace

std::shared_ptr<const ChartPicture> ChartPicture::fromShapes(const Shapes& shapes) {
    if (shapes.width < 0 || shapes.height < 0 || shapes.width > kLargestSide ||
        shapes.height > kLargestSide) {
        throw Failure("Invalid picture: larger than " + std::to_string(kLargestSide) + " pixels");
    }
    std::shared_ptr<ChartPicture> picture(new ChartPicture());
    ChartPicture& p = *picture;
    p.size_ = QSize(shapes.width, shapes.height);
    const std::size_t lines = shapes.horizontal.size() + shapes.vertical.size();
    p.items_.reserve(1 + lines + shapes.fills.size() + shapes.texts.size());
    p.points_.reserve(2 * lines);

    const auto rect = [&](const QRectF& shape, QRgb fill) {
        if (shape.width() <= 0 || shape.height() <= 0) {
            return;  // an empty rectangle draws nothing
        }
        Item item;
        item.kind = Kind::Rect;
        item.crisp = true;
        item.filled = true;
        item.fill = fill;
        item.shape = shape;
        item.box = shape;
        p.items_.push_back(item);
    };
    const auto line = [&](QPointF from, QPointF to, QRgb colour, double width) {
        Item item;
        item.kind = Kind::Polyline;
        item.crisp = true;
        item.stroked = true;
        item.stroke = colour;
        item.strokeWidth = static_cast<float>(width);
        item.first = static_cast<std::uint32_t>(p.points_.size());
        item.count = 2;
        p.points_.push_back(from);
        p.points_.push_back(to);
        // Miter joins may reach further than half the width; four widths is ample for straight segments.
        const double reach = width * 4.0;
        item.box = QRectF(QPointF(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                          QPointF(std::max(from.x(), to.x()), std::max(from.y(), to.y())))
                       .adjusted(-reach, -reach, reach, reach);
        p.items_.push_back(item);
    };

    rect(QRectF(0, 0, shapes.width, shapes.height), opaque(sheet::picture::packed(sheet::kBackgroundColor)));
    if (shapes.gridlines) {
        p.gridColor_ = opaque(sheet::picture::packed(sheet::kGridlineColor));
        p.gridX_ = shapes.gridColumns;
        p.gridY_ = shapes.gridRows;
        p.gridAfter_ = p.items_.size();
    }
    for (const FillRect& r : shapes.fills) {
        rect(QRectF(r.x, r.y, r.w, r.h), opaque(r.rgb));
    }
    for (const Stroke& s : shapes.horizontal) {
        const double y = static_cast<double>(sheet::picture::strokeCentreTwice(s.line, s.width)) / 2.0;
        line(QPointF(s.from, y), QPointF(s.to, y), opaque(s.rgb), s.width);
    }
    for (const Stroke& s : shapes.vertical) {
        const double x = static_cast<double>(sheet::picture::strokeCentreTwice(s.line, s.width)) / 2.0;
        line(QPointF(x, s.from), QPointF(x, s.to), opaque(s.rgb), s.width);
    }

    // Each font's family is worked out once: a shrunk text asks for its font at a size of its own.
    std::vector<QString> families;
    families.reserve(shapes.fonts.size());
    for (const sheet::Font& f : shapes.fonts) {
        families.push_back(familyOf(f.name));
    }
    const auto fontIndex = [&](std::size_t font, double scale) {
        const sheet::Font& f = shapes.fonts[font];
        FontStyle style{families[font], sheet::picture::hundredths(f.heightTwips / 15.0 * scale),
                        f.bold ? 700 : 400};
        const auto same = std::find_if(p.fonts_.begin(), p.fonts_.end(), [&](const FontStyle& g) {
            return g.family == style.family && g.pixelSize == style.pixelSize && g.weight == style.weight;
        });
        const auto index = static_cast<std::uint32_t>(same - p.fonts_.begin());
        if (same == p.fonts_.end()) {
            p.fonts_.push_back(std::move(style));
        }
        return index;
    };
    std::vector<std::uint32_t> fontOf(shapes.fonts.size(), 0);
    for (std::size_t i = 0; i < shapes.fonts.size(); ++i) {
        fontOf[i] = fontIndex(i, 1.0);
    }
    for (const sheet::picture::TextItem& t : shapes.texts) {
        const QString text =
            readsBackUnchanged(t.text)
                ? QString::fromStdString(t.text)
                : svg::collapseBlanks(QString::fromStdString(sheet::svg::SvgOut::plain(t.text, true)));
        if (text.isEmpty()) {
            continue;
        }
        Item item;
        item.kind = Kind::Text;
        item.filled = true;
        item.fill = opaque(t.rgb);
        // The anchor, and the width a shrink-to-fit text keeps within as the shape's width (0: none).
        item.shape = QRectF(t.x, t.y, std::max(0.0, sheet::picture::hundredths(t.fitWidth)), 0);
        item.first = static_cast<std::uint32_t>(p.texts_.size());
        p.texts_.push_back(text);
        item.font = t.fontScale == 1 ? fontOf[t.font] : fontIndex(t.font, t.fontScale);
        item.anchor = t.anchor == 'm' ? Anchor::Middle : t.anchor == 'e' ? Anchor::End : Anchor::Start;
        // Generous box: glyphs are at most about one em wide, and reach an em and a half around the anchor.
        const double em = p.fonts_[item.font].pixelSize;
        const double width = em * static_cast<double>(text.size()) * 1.2 + em;
        double left = t.x - em;
        if (item.anchor == Anchor::Middle) {
            left = t.x - width / 2.0;
        } else if (item.anchor == Anchor::End) {
            left = t.x - width;
        }
        item.box = QRectF(left, t.y - 1.5 * em, width + em, 3.0 * em);
        p.items_.push_back(item);
    }

    try {
        p.buildIndex();
    } catch (const Unsupported&) {
        // Shapes no strip index suits: Qt's SVG renderer draws them.
        return fromSvg(QByteArray::fromStdString(sheet::pictureSvg(shapes)));
    }
    return picture;
}

void ChartPicture::paintGridlines(QPainter& painter, const QRectF& area) const {
    if (gridX_.empty() && gridY_.empty()) {
        return;
    }
    // Where an item's box would be: the line widened by four times its width all round.
    constexpr double kReach = 4.0;
    const auto first = [](const std::vector<std::int32_t>& at, double low) {
        return std::lower_bound(at.begin(), at.end(), low - kReach - 1.0,
                                [](std::int32_t v, double bound) { return v < bound; });
    };
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(gridColor_), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    const auto draw = [&](QPointF from, QPointF to) {
        const QPointF line[] = {from, to};
        if (QRectF(from, to).adjusted(-kReach, -kReach, kReach, kReach).intersects(area)) {
            painter.drawPolyline(line, 2);
        }
    };
    const double w = size_.width();
    const double h = size_.height();
    for (auto x = first(gridX_, area.left()); x != gridX_.end() && *x - kReach - 1.0 <= area.right(); ++x) {
        draw(QPointF(*x + 0.5, 0), QPointF(*x + 0.5, h));
    }
    for (auto y = first(gridY_, area.top()); y != gridY_.end() && *y - kReach - 1.0 <= area.bottom(); ++y) {
        draw(QPointF(0, *y + 0.5), QPointF(w, *y + 0.5));
    }
}

}  // namespace rw::preview
