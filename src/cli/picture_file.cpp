#include "cli/picture_file.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

#include "platform/failure.h"
#include "preview/chart_picture.h"

namespace rw::cli {

namespace {

[[noreturn]] void fail(const QString& why) {
    throw Failure(why.toStdString());
}

void needGuiApplication() {
    if (qGuiApp == nullptr) {
        fail(QStringLiteral("drawing a PNG or PDF picture needs a QGuiApplication"));
    }
}

QByteArray png(const sheet::RangePicture& picture, const QByteArray& svg) {
    const qint64 pixels = qint64{picture.width} * picture.height;
    if (picture.width > kMaxPngSide || picture.height > kMaxPngSide || pixels > kMaxPngPixels) {
        fail(QStringLiteral("the picture is %1 x %2 pixels, too large for PNG (at most %3 pixels a side and "
                            "%4 million pixels); write it as .svg or .pdf instead")
                 .arg(picture.width)
                 .arg(picture.height)
                 .arg(kMaxPngSide)
                 .arg(kMaxPngPixels / 1'000'000));
    }
    needGuiApplication();
    QByteArray bytes = chart::rasterisePicture(svg, QSize(picture.width, picture.height), kMaxPngPixels);
    if (bytes.isEmpty()) {
        fail(QStringLiteral("the picture could not be drawn as PNG"));
    }
    return bytes;
}

QByteArray pdf(const sheet::RangePicture& picture, const QByteArray& svg) {
    needGuiApplication();
    chart::registerPictureFonts();
    // Drawn from the picture's own display list rather than by Qt's SVG renderer, which would turn the text
    // into outlines: in the PDF the text stays text, to select and search.
    std::shared_ptr<const preview::ChartPicture> drawing;
    try {
        drawing = preview::ChartPicture::fromSvg(chart::pictureForQtRenderer(svg));
    } catch (const Failure&) {
        fail(QStringLiteral("the picture could not be read for PDF"));
    }
    const QSizeF page = pdfPageSize(picture.width, picture.height);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Rootweave"));
        writer.setTitle(QStringLiteral("Ancestor chart"));
        // Painter units are points: the page is drawn edge to edge.
        writer.setResolution(72);
        if (!writer.setPageLayout(
                QPageLayout(QPageSize(page, QPageSize::Point, QString(), QPageSize::ExactMatch),
                            QPageLayout::Portrait, QMarginsF()))) {
            fail(QStringLiteral("the PDF page could not be set up"));
        }
        QPainter painter;
        if (!painter.begin(&writer)) {
            fail(QStringLiteral("the PDF could not be started"));
        }
        painter.fillRect(QRectF(QPointF(0, 0), page), Qt::white);
        painter.scale(page.width() / drawing->size().width(), page.height() / drawing->size().height());
        drawing->paint(painter, QRectF(QPointF(0, 0), QSizeF(drawing->size())));
        if (!painter.end()) {
            fail(QStringLiteral("the PDF could not be finished"));
        }
    }
    if (bytes.isEmpty()) {
        fail(QStringLiteral("the picture could not be drawn as PDF"));
    }
    return bytes;
}

}  // namespace

PictureFormat pictureFormatOf(const QString& path) {
    if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        return PictureFormat::Png;
    }
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        return PictureFormat::Pdf;
    }
    return PictureFormat::Svg;
}

QSizeF pdfPageSize(int width, int height) {
    const QSizeF natural(std::max(width, 1) * kPdfPointsPerPixel, std::max(height, 1) * kPdfPointsPerPixel);
    const double longer = std::max(natural.width(), natural.height());
    const double scale = longer > kMaxPdfPagePoints ? kMaxPdfPagePoints / longer : 1.0;
    // Whole points (what a page size holds), never below one.
    return {std::max(1.0, std::round(natural.width() * scale)),
            std::max(1.0, std::round(natural.height() * scale))};
}

QByteArray encodePicture(const sheet::RangePicture& picture, PictureFormat format) {
    if (picture.svg.empty() || picture.width <= 0 || picture.height <= 0) {
        fail(QStringLiteral("there is no picture to write"));
    }
    QByteArray svg = QByteArray::fromStdString(picture.svg);
    switch (format) {
        case PictureFormat::Svg:
            return svg;
        case PictureFormat::Png:
            return png(picture, svg);
        case PictureFormat::Pdf:
            return pdf(picture, svg);
    }
    fail(QStringLiteral("unknown picture format"));
}

}  // namespace rw::cli
