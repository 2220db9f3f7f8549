#pragma once

#include <QPageSize>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "spreadsheet/workbook.h"

// How a sheet falls onto printed pages, as LibreOffice Calc prints its page set-up: the print area (else
// the used range), scaled to one page wide, the title rows at the top of every page, rows never cut between
// pages, the header and footer in their margins. All lengths are in points (1/72 inch).
namespace rw::preview {

// The rows of the sheet printed below the title rows on one page (none when firstRow > lastRow).
struct PrintPage {
    std::int32_t firstRow = 1;
    std::int32_t lastRow = 0;
};

struct PrintLayout {
    sheet::CellRange area;                   // the cells that print
    std::optional<sheet::CellRange> titles;  // repeated at the top of every page, across the area's columns
    QSizeF paper;                            // in the set-up's orientation
    QRectF printable;                        // the paper inside the margins (a reduced sheet's rows may
                                             // reach into the band above the footer)
    double scale = 1;                        // printed size / size on screen; whole percents, 10 % at least
    QPointF origin;                          // top left of the printed cells on every page
    std::vector<PrintPage> pages;            // at least one
};

// Sheet pixels (96 an inch, as the sheet shows on screen) to points.
inline constexpr double kPointsPerPixel = 72.0 / 96.0;

// The pages of `sheet` on paper of `size`, with the sheet's own page set-up (orientation, scaling, margins,
// centring, title rows, print area). A sheet wider than the paper is always scaled to one page wide. The
// scale and the page breaks follow Calc's: columns as wide as their characters of the default font, a
// header's or footer's band kept at the sheet's scale, and 2 % less scale where that saves a page.
PrintLayout paginate(const sheet::Worksheet& sheet, const QPageSize& size);

// A header or footer in the spreadsheet's codes ("&LLeft&CPage &P of &N&RRight") for one page: its left,
// centre and right texts. Page and page count, the sheet name (&A) and "&&" are filled in; formatting codes
// (fonts, sizes, bold, underline and the like) are left out.
struct HeaderFooterText {
    QString left, center, right;
};
HeaderFooterText expandHeaderFooter(const std::string& code, int page, int pageCount,
                                    const QString& sheetName);

}  // namespace rw::preview
