#include "preview/print_document.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <memory>

#include "platform/failure.h"
#include "preview/chart_picture.h"
#include "preview/print_pages.h"
#include "spreadsheet/range_picture.h"

namespace rw::preview {

namespace {

// One band of rows, as printed: the cells without gridlines. Returns the height drawn, in sheet pixels.
double paintBand(QPainter& painter, const sheet::Worksheet& sheet, const sheet::CellRange& rows) {
    const sheet::picture::Shapes shapes = sheet::rangeShapes(sheet, rows, false);
    const std::shared_ptr<const ChartPicture> drawing = ChartPicture::fromShapes(shapes);
    drawing->paint(painter, QRectF(0, 0, shapes.width, shapes.height));
    return shapes.height;
}

void paintHeaderFooter(QPainter& painter, const PrintLayout& layout, const std::string& code, double y,
                       Qt::Alignment vertical, int page, int pageCount, const QString& sheetName) {
    if (code.empty()) {
        return;
    }
    const HeaderFooterText text = expandHeaderFooter(code, page, pageCount, sheetName);
    constexpr double kLineHeight = 16;
    const QRectF line(layout.printable.left(), vertical == Qt::AlignTop ? y : y - kLineHeight,
                      layout.printable.width(), kLineHeight);
    painter.drawText(line, Qt::AlignLeft | vertical, text.left);
    painter.drawText(line, Qt::AlignHCenter | vertical, text.center);
    painter.drawText(line, Qt::AlignRight | vertical, text.right);
}

}  // namespace

int printSheet(const sheet::Worksheet& sheet, QPagedPaintDevice& device, const QPageSize& size, int firstPage,
               int lastPage, const std::function<void()>& abortJob) {
    const PrintLayout layout = paginate(sheet, size);
    const sheet::PageSetup& ps = sheet.pageSetup();
    const int pageCount = static_cast<int>(layout.pages.size());
    firstPage = std::clamp(firstPage, 1, pageCount);
    lastPage = lastPage <= 0 ? pageCount : std::clamp(lastPage, firstPage, pageCount);
    if (!device.setPageLayout(QPageLayout(size, ps.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                          QMarginsF(), QPageLayout::Point))) {
        throw Failure("The printer does not take the page set-up of the sheet");
    }
    QPainter painter;
    if (!painter.begin(&device)) {
        throw Failure("Printing could not be started");
    }
    // Painter units are points from the paper's top left corner.
    const double devicePerPoint = device.width() / layout.paper.width();
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(10);
    const QString sheetName = QString::fromStdString(sheet.name());
    const double pixelToPrinted = kPointsPerPixel * layout.scale;
    try {
        for (int number = firstPage; number <= lastPage; ++number) {
            if (number > firstPage && !device.newPage()) {
                throw Failure("The printer did not take another page");
            }
            const PrintPage& page = layout.pages[static_cast<std::size_t>(number - 1)];
            painter.resetTransform();
            painter.scale(devicePerPoint, devicePerPoint);
            painter.setFont(font);
            painter.setPen(Qt::black);
            paintHeaderFooter(painter, layout, ps.header, ps.headerMargin * 72, Qt::AlignTop, number,
                              pageCount, sheetName);
            paintHeaderFooter(painter, layout, ps.footer, layout.paper.height() - ps.footerMargin * 72,
                              Qt::AlignBottom, number, pageCount, sheetName);
            painter.translate(layout.origin);
            painter.scale(pixelToPrinted, pixelToPrinted);
            if (layout.titles) {
                // Bands meet on a shared edge: the next one starts a pixel lower, so neither hides the other.
                painter.translate(0, paintBand(painter, sheet, *layout.titles));
            }
            if (page.firstRow <= page.lastRow) {
                paintBand(painter, sheet,
                          sheet::CellRange{page.firstRow, layout.area.firstColumn, page.lastRow,
                                           layout.area.lastColumn});
            }
        }
    } catch (...) {
        // Ending the painter would send the pages so far as a finished job: the job is taken back first.
        if (abortJob) {
            abortJob();
        }
        throw;
    }
    if (!painter.end()) {
        throw Failure("Printing could not be finished");
    }
    return pageCount;
}

QByteArray sheetPdf(const sheet::Worksheet& sheet, const QPageSize& size, const QString& title, int firstPage,
                    int lastPage) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Rootweave"));
        writer.setTitle(title);
        printSheet(sheet, writer, size, firstPage, lastPage);
    }
    if (bytes.isEmpty()) {
        throw Failure("The PDF could not be written");
    }
    return bytes;
}

}  // namespace rw::preview
