#include "chart/picture_clipboard.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "platform/failure.h"
#include "platform/safe_file.h"
#include "spreadsheet/range_picture.h"

namespace rw::chart {

void registerPictureFonts() {
    static bool done = false;
    if (done || qGuiApp == nullptr) {
        return;
    }
    done = true;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)) {
        return;
    }
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path)) {
            QFontDatabase::addApplicationFont(path);
        }
    }
}

QByteArray pictureForQtRenderer(const QByteArray& svg) {
    QByteArray forQt = svg;
    const QByteArray fallback = QByteArray(", ") +
                                QByteArray(sheet::kFallbackFontFamily.data(),
                                           static_cast<qsizetype>(sheet::kFallbackFontFamily.size())) +
                                '"';
    forQt.replace(fallback, QByteArray("\""));
    return forQt;
}

QByteArray rasterisePicture(const QByteArray& svg, QSize size, qint64 maxPixels) {
    if (qGuiApp == nullptr || size.isEmpty() || size.width() > kMaxRasterSide ||
        size.height() > kMaxRasterSide || qint64{size.width()} * size.height() > maxPixels) {
        return {};
    }
    registerPictureFonts();
    QSvgRenderer renderer(pictureForQtRenderer(svg));
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return {};
    }
    return png;
}

void PictureClipboard::copy(const sheet::Worksheet& sheet, const sheet::CellRange& range) {
    last_ = {};
    auto shapes = std::make_shared<const sheet::picture::Shapes>(sheet::rangeShapes(sheet, range));
    // The SVG is written straight into the clipboard's buffer, a piece at a time: a filled chart's is 8 MB.
    QByteArray svg;
    svg.reserve(static_cast<qsizetype>(sheet::pictureSvgSizeHint(*shapes)));
    sheet::writePictureSvg(*shapes, [&svg](std::string_view piece) {
        svg.append(piece.data(), static_cast<qsizetype>(piece.size()));
    });
    const QByteArray png = rasterisePicture(svg, QSize(shapes->width, shapes->height));
    clipboard_.setPicture(svg, png);
    last_ = {svg, std::move(shapes)};
}

void writePictureFile(const QString& path, const QByteArray& bytes, safefile::Flush flush) {
    auto fail = [&](const QString& why) {
        throw Failure(QStringLiteral("Cannot write the picture file %1: %2").arg(path, why).toStdString());
    };
    if (path.isEmpty()) {
        fail(QStringLiteral("no file name"));
    }
    try {
        safefile::replace(QFile::encodeName(path).toStdString(),
                          std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size())),
                          flush);
    } catch (const safefile::Error& e) {
        fail(QString::fromStdString(e.reason()));
    }
}

void writeRangePicture(const sheet::Worksheet& sheet, const sheet::CellRange& range, const QString& path) {
    const sheet::RangePicture picture = sheet::renderRangePicture(sheet, range);
    writePictureFile(path, QByteArray::fromStdString(picture.svg));
}

void writeRangePicture(const sheet::Worksheet& sheet, const QString& path) {
    writeRangePicture(sheet, sheet.usedRange(), path);
}

}  // namespace rw::chart
