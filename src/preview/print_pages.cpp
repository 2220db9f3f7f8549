#include "preview/print_pages.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/range_picture.h"

namespace rw::preview {

namespace {

double rowsPixels(const sheet::Worksheet& sheet, std::int32_t first, std::int32_t last) {
    double pixels = 0;
    for (std::int32_t row = first; row <= last; ++row) {
        pixels += sheet::rowPixels(sheet, row);
    }
    return pixels;
}

}  // namespace

PrintLayout paginate(const sheet::Worksheet& sheet, const QPageSize& size) {
    const sheet::PageSetup& ps = sheet.pageSetup();
    PrintLayout layout;
    layout.area = ps.printArea ? *ps.printArea : sheet.usedRange();
    const sheet::CellRange& area = layout.area;
    if (ps.titleRows) {
        layout.titles =
            sheet::CellRange{ps.titleRows->first, area.firstColumn, ps.titleRows->second, area.lastColumn};
    }

    const QSizeF portrait = size.size(QPageSize::Point);
    layout.paper = ps.landscape ? portrait.transposed() : portrait;
    constexpr double kPointsPerInch = 72;
    const double left = ps.leftMargin * kPointsPerInch;
    const double top = ps.topMargin * kPointsPerInch;
    layout.printable =
        QRectF(left, top, std::max(1.0, layout.paper.width() - left - ps.rightMargin * kPointsPerInch),
               std::max(1.0, layout.paper.height() - top - ps.bottomMargin * kPointsPerInch));

    // Where the title rows begin the area, the body starts below them; elsewhere they are printed in place
    // too.
    std::int32_t bodyFirst = area.firstRow;
    if (layout.titles && layout.titles->firstRow <= area.firstRow &&
        layout.titles->lastRow >= area.firstRow) {
        bodyFirst = layout.titles->lastRow + 1;
    }
    const double titlePixels =
        layout.titles ? rowsPixels(sheet, layout.titles->firstRow, layout.titles->lastRow) : 0;
    double widthPixels = 0;
    for (std::int32_t column = area.firstColumn; column <= area.lastColumn; ++column) {
        widthPixels += sheet::columnPixels(sheet, column);
    }
    widthPixels = std::max(widthPixels, 1.0);
    const double widthPoints = widthPixels * kPointsPerPixel;

    double scale = ps.fitToPage ? 1.0 : ps.scalePercent / 100.0;
    const double pagesAcross = ps.fitToPage ? std::max<int>(ps.fitWidth, 1) : 1;
    scale = std::min(scale, layout.printable.width() * pagesAcross / widthPoints);
    if (ps.fitToPage && ps.fitHeight > 0) {
        const double heightPoints =
            (titlePixels + rowsPixels(sheet, bodyFirst, area.lastRow)) * kPointsPerPixel;
        if (heightPoints > 0) {
            scale = std::min(scale, layout.printable.height() * ps.fitHeight / heightPoints);
        }
    }
    // Spreadsheets scale in whole percents; never below 10 %.
    layout.scale = std::max(0.10, std::floor(scale * 100 + 1e-9) / 100);

    // Rows fill each page below the title rows; a row that does not fit whole begins the next page, and a
    // row taller than a page has a page of its own.
    const double pixelToPrinted = kPointsPerPixel * layout.scale;
    const double capacity = layout.printable.height() / pixelToPrinted - titlePixels;
    double used = 0;
    PrintPage page{bodyFirst, bodyFirst - 1};
    for (std::int32_t row = bodyFirst; row <= area.lastRow; ++row) {
        const double height = sheet::rowPixels(sheet, row);
        if (page.lastRow >= page.firstRow && used + height > capacity + 1e-6) {
            layout.pages.push_back(page);
            page = PrintPage{row, row - 1};
            used = 0;
        }
        page.lastRow = row;
        used += height;
    }
    if (layout.pages.empty() || page.lastRow >= page.firstRow) {
        layout.pages.push_back(page);
    }

    const double printedWidth = widthPoints * layout.scale;
    double x = layout.printable.left();
    if (ps.centerHorizontally) {
        x += std::max(0.0, (layout.printable.width() - printedWidth) / 2);
    }
    double y = layout.printable.top();
    if (ps.centerVertically && layout.pages.size() == 1) {
        const PrintPage& only = layout.pages.front();
        const double printedHeight =
            (titlePixels + rowsPixels(sheet, only.firstRow, only.lastRow)) * pixelToPrinted;
        y += std::max(0.0, (layout.printable.height() - printedHeight) / 2);
    }
    layout.origin = QPointF(x, y);
    return layout;
}

HeaderFooterText expandHeaderFooter(const std::string& code, int page, int pageCount,
                                    const QString& sheetName) {
    HeaderFooterText result;
    QString* section = &result.center;
    const QString text = QString::fromStdString(code);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'&' || i + 1 == text.size()) {
            section->append(c);
            continue;
        }
        const QChar next = text[++i];
        switch (next.toUpper().unicode()) {
            case u'L':
                section = &result.left;
                break;
            case u'C':
                section = &result.center;
                break;
            case u'R':
                section = &result.right;
                break;
            case u'P':
                section->append(QString::number(page));
                break;
            case u'N':
                section->append(QString::number(pageCount));
                break;
            case u'A':
                section->append(sheetName);
                break;
            case u'&':
                section->append(u'&');
                break;
            case u'"': {  // &"font,style": up to the closing quote
                const qsizetype end = text.indexOf(u'"', i + 1);
                i = end < 0 ? text.size() - 1 : end;
                break;
            }
            default:
                // A font size (&12) and its digits, or a formatting switch (&B, &I, &U, ...), or a field this
                // program has no value for (&D, &T, &F, &Z, &G).
                while (next.isDigit() && i + 1 < text.size() && text[i + 1].isDigit()) {
                    ++i;
                }
                break;
        }
    }
    return result;
}

}  // namespace rw::preview
