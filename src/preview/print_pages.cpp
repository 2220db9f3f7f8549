#include "preview/print_pages.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/range_picture.h"

namespace rw::preview {

namespace {

constexpr double kPointsPerInch = 72;

double rowsPixels(const sheet::Worksheet& sheet, std::int32_t first, std::int32_t last) {
    double pixels = 0;
    for (std::int32_t row = first; row <= last; ++row) {
        pixels += sheet::rowPixels(sheet, row);
    }
    return pixels;
}

// A column's printed width, in points at 100 %. Spreadsheet programs print a column as its width in
// characters times the advance of a digit of the default font in whole twips (111 for Arial 10, so a
// 24-character column prints 1.90 in), not as the pixels it shows on screen (1.80 in for the same column).
// The digits of Arial, Tahoma and their look-alikes advance about 0.556 em.
double columnPoints(const sheet::Worksheet& sheet, std::int32_t column) {
    const sheet::ColumnInfo& info = sheet.column(column);
    if (info.hidden || (info.customWidth && info.width == 0)) {
        return 0;
    }
    const double digitTwips = std::round(0.556 * sheet.workbook().defaultFont().heightTwips);
    return std::round(sheet.columnWidth(column) / 256.0 * digitTwips) / 20;
}

// The rows of each page at a scale: rows fill each page below the title rows, a row that does not fit
// whole begins the next page, and a row taller than a page has a page of its own.
std::vector<PrintPage> pagesAt(const sheet::Worksheet& sheet, std::int32_t bodyFirst, std::int32_t lastRow,
                               double capacityPixels) {
    std::vector<PrintPage> pages;
    double used = 0;
    PrintPage page{bodyFirst, bodyFirst - 1};
    for (std::int32_t row = bodyFirst; row <= lastRow; ++row) {
        const double height = sheet::rowPixels(sheet, row);
        if (page.lastRow >= page.firstRow && used + height > capacityPixels + 1e-6) {
            pages.push_back(page);
            page = PrintPage{row, row - 1};
            used = 0;
        }
        page.lastRow = row;
        used += height;
    }
    if (pages.empty() || page.lastRow >= page.firstRow) {
        pages.push_back(page);
    }
    return pages;
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
    double widthPoints = 0;
    double widthPixels = 0;
    for (std::int32_t column = area.firstColumn; column <= area.lastColumn; ++column) {
        widthPoints += columnPoints(sheet, column);
        widthPixels += sheet::columnPixels(sheet, column);
    }
    widthPoints = std::max(widthPoints, 1.0);

    // The sheet's rows run from the top margin to the bottom margin; with a header or a footer, from the
    // header margin to the footer margin less the band between the two margins, which keeps its height at
    // the sheet's scale (as LibreOffice Calc lays out the page set-up of an .xls file), so a reduced sheet
    // gains part of that band.
    const bool header = !ps.header.empty();
    const bool footer = !ps.footer.empty();
    const double bodyTop = (header ? ps.headerMargin : ps.topMargin) * kPointsPerInch;
    const double bodyBottom =
        layout.paper.height() - (footer ? ps.footerMargin : ps.bottomMargin) * kPointsPerInch;
    const double bands =
        ((header ? ps.topMargin - ps.headerMargin : 0) + (footer ? ps.bottomMargin - ps.footerMargin : 0)) *
        kPointsPerInch;
    const double bodyPoints = std::max(1.0, bodyBottom - bodyTop);
    const auto capacityAt = [&](double scale) {
        return (bodyPoints / scale - std::max(0.0, bands)) / kPointsPerPixel - titlePixels;
    };

    // Whole percents, 10 % at least: the largest that fits the width (and the height, when the set-up
    // gives a number of pages tall), as spreadsheets search for it.
    int percent = ps.fitToPage ? 100 : ps.scalePercent;
    const double pagesAcross = ps.fitToPage ? std::max<int>(ps.fitWidth, 1) : 1;
    const auto fits = [&](int p) {
        const double scale = p / 100.0;
        if (widthPoints * scale > layout.printable.width() * pagesAcross + 1e-6) {
            return false;
        }
        return !(ps.fitToPage && ps.fitHeight > 0) ||
               pagesAt(sheet, bodyFirst, area.lastRow, capacityAt(scale)).size() <= ps.fitHeight;
    };
    percent = std::clamp(percent, 10, 400);
    while (percent > 10 && !fits(percent)) {
        --percent;
    }
    layout.pages = pagesAt(sheet, bodyFirst, area.lastRow, capacityAt(percent / 100.0));
    // Fitted to a width only, a last page holding a few rows is saved by 2 % less when that prints fewer
    // pages.
    if (ps.fitToPage && ps.fitWidth > 0 && ps.fitHeight == 0 && layout.pages.size() > 1) {
        const int smaller = percent * 98 / 100;
        if (smaller >= 10) {
            std::vector<PrintPage> fewer =
                pagesAt(sheet, bodyFirst, area.lastRow, capacityAt(smaller / 100.0));
            if (fewer.size() < layout.pages.size()) {
                percent = smaller;
                layout.pages = std::move(fewer);
            }
        }
    }
    layout.scale = percent / 100.0;

    const double pixelToPrinted = kPointsPerPixel * layout.scale;
    const double printedWidth = std::max(widthPixels, 1.0) * pixelToPrinted;
    double x = layout.printable.left();
    if (ps.centerHorizontally) {
        x += std::max(0.0, (layout.printable.width() - printedWidth) / 2);
    }
    double y = bodyTop + (header ? (ps.topMargin - ps.headerMargin) * kPointsPerInch * layout.scale : 0);
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
