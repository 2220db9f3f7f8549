#include "preview/chart_picture.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "preview/svg_subset_reader.h"

namespace rw::preview {

ChartPicture::~ChartPicture() = default;

namespace {

[[noreturn]] void cannotRead(const QFile& file) {
    throw Failure("The picture file " + file.fileName().toStdString() +
                  " cannot be read: " + file.errorString().toStdString());
}

void openPictureFile(QFile& file) {
    if (!file.exists()) {
        throw Failure("File not found: " + file.fileName().toStdString());
    }
    if (!file.open(QIODevice::ReadOnly)) {
        cannotRead(file);
    }
}

QByteArray readPictureFile(const QString& path) {
    QFile file(path);
    openPictureFile(file);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        cannotRead(file);
    }
    return bytes;
}

// Whether the file holds exactly `bytes`, compared a piece at a time so that the picture is not held
// twice.
bool fileHolds(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    openPictureFile(file);
    if (file.size() != bytes.size()) {
        return false;
    }
    constexpr qint64 kPiece = 256 * 1024;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 at = 0;
    for (;;) {
        const qint64 got = file.read(piece.data(), kPiece);
        if (got < 0 || file.error() != QFileDevice::NoError) {
            cannotRead(file);
        }
        if (got == 0) {
            return at == bytes.size();
        }
        if (at + got > bytes.size() || std::memcmp(piece.constData(), bytes.constData() + at, got) != 0) {
            return false;
        }
        at += got;
    }
}

}  // namespace

std::shared_ptr<const ChartPicture> ChartPicture::fromFile(const QString& path) {
    return fromSvg(readPictureFile(path));
}

std::shared_ptr<const ChartPicture> ChartPicture::fromFile(const QString& path, const QByteArray& knownSvg,
                                                           const sheet::picture::Shapes& knownShapes) {
    if (!knownSvg.isEmpty() && fileHolds(path, knownSvg)) {
        return fromShapes(knownShapes);  // the file holds the picture these shapes were written as
    }
    return fromSvg(readPictureFile(path));
}

std::shared_ptr<const ChartPicture> ChartPicture::fromSvg(const QByteArray& svg) {
    std::shared_ptr<ChartPicture> picture(new ChartPicture());
    try {
        readSvgSubset(svg, *picture);
        picture->buildIndex();
        return picture;
    } catch (const Unsupported&) {
    }
    picture.reset(new ChartPicture());
    picture->renderer_ = std::make_unique<QSvgRenderer>(svg);
    if (!picture->renderer_->isValid()) {
        throw Failure("Invalid picture");
    }
    const QSize size = picture->renderer_->defaultSize();
    if (size.width() > kLargestSide || size.height() > kLargestSide) {
        throw Failure("Invalid picture: larger than " + std::to_string(kLargestSide) + " pixels");
    }
    picture->size_ = QSize(std::max(0, size.width()), std::max(0, size.height()));
    return picture;
}

void ChartPicture::paint(QPainter& painter, const QRectF& area) const {
    if (renderer_) {
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
        renderer_->render(&painter, QRectF(QPointF(0, 0), QSizeF(size_)));
        painter.restore();
        return;
    }
    thread_local std::vector<std::uint32_t> visible;
    visibleItems(area, visible);
    if (visible.empty() && gridX_.empty() && gridY_.empty()) {
        return;
    }
    painter.save();
    const QPaintDevice* device = painter.device();
    const double dpi = device != nullptr ? device->logicalDpiY() : 96.0;
    std::vector<std::optional<QFont>> fonts(fonts_.size());
    int antialiased = -1;  // unknown, off, on
    auto setAntialiasing = [&](bool on) {
        if (antialiased != int{on}) {
            painter.setRenderHint(QPainter::Antialiasing, on);
            antialiased = int{on};
        }
    };
    bool gridDone = gridX_.empty() && gridY_.empty();
    for (std::uint32_t i : visible) {
        if (!gridDone && i >= gridAfter_) {
            paintGridlines(painter, area);
            antialiased = -1;
            gridDone = true;
        }
        const Item& item = items_[i];
        switch (item.kind) {
            case Kind::Rect:
                setAntialiasing(!item.crisp);
                if (item.filled) {
                    painter.fillRect(item.shape, QColor(item.fill));
                }
                if (item.stroked) {
                    painter.setPen(QPen(QColor(item.stroke), item.strokeWidth, Qt::SolidLine, Qt::FlatCap,
                                        Qt::MiterJoin));
                    painter.setBrush(Qt::NoBrush);
                    painter.drawRect(item.shape);
                }
                break;
            case Kind::Polyline:
                setAntialiasing(!item.crisp);
                painter.setPen(
                    QPen(QColor(item.stroke), item.strokeWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
                painter.drawPolyline(&points_[item.first], static_cast<int>(item.count));
                break;
            case Kind::Text: {
                setAntialiasing(true);
                std::optional<QFont>& font = fonts[item.font];
                if (!font) {
                    const FontStyle& f = fonts_[item.font];
                    font.emplace(f.family);
                    font->setPointSizeF(f.pixelSize * 72.0 / dpi);
                    font->setWeight(static_cast<QFont::Weight>(f.weight));
                }
                const QString& text = texts_[item.first];
                std::optional<QFont> shrunk;
                double squeeze = 1.0;  // what the smallest font still leaves too wide, taken in by scaling
                const double fitWidth = item.shape.width();
                if (fitWidth > 0) {
                    // Shrink to fit: the face at hand may set the text wider than the picture's measure.
                    const double w = QFontMetricsF(*font, painter.device()).horizontalAdvance(text);
                    if (w > fitWidth) {
                        shrunk.emplace(*font);
                        shrunk->setPointSizeF(font->pointSizeF() * fitWidth / w);
                        const double left = QFontMetricsF(*shrunk, painter.device()).horizontalAdvance(text);
                        if (left > fitWidth) {
                            squeeze = fitWidth / left;  // fonts stop shrinking at a pixel or so
                        }
                    }
                }
                const QFont& used = shrunk ? *shrunk : *font;
                painter.setFont(used);
                const QFontMetricsF metrics(used, painter.device());
                QPointF at = item.shape.topLeft();
                if (item.anchor != Anchor::Start) {
                    const double w = metrics.horizontalAdvance(text) * squeeze;
                    at.rx() -= item.anchor == Anchor::Middle ? w / 2.0 : w;
                }
                switch (item.baseline) {
                    case Baseline::Middle:
                        at.ry() += metrics.xHeight() / 2.0;
                        break;
                    case Baseline::Central:
                        at.ry() += (metrics.ascent() - metrics.descent()) / 2.0;
                        break;
                    case Baseline::Hanging:
                        at.ry() += metrics.ascent();
                        break;
                    case Baseline::Bottom:
                        at.ry() -= metrics.descent();
                        break;
                    case Baseline::Alphabetic:
                        break;
                }
                painter.setPen(QColor(item.fill));
                if (squeeze < 1.0) {
                    painter.save();
                    painter.translate(at.x(), 0);
                    painter.scale(squeeze, 1.0);
                    painter.drawText(QPointF(0, at.y()), text);
                    painter.restore();
                } else {
                    painter.drawText(at, text);
                }
                break;
            }
        }
    }
    if (!gridDone) {
        paintGridlines(painter, area);
    }
    painter.restore();
}

}  // namespace rw::preview
