#pragma once

#include <QByteArray>
#include <QPageSize>
#include <QString>

#include "spreadsheet/workbook.h"

class QPagedPaintDevice;

// The printed pages of a sheet (see print_pages.h), drawn with QPainter: vector throughout, the cells as
// the sheet draws them without gridlines, text as text (a PDF gets the fonts embedded), the header and
// footer in their margins. The preview prints through this to the desktop's printers, rootweave-chart to a
// PDF file, so both give the same pages.
namespace rw::preview {

// Pages `firstPage` to `lastPage` (1-based; 0 for the last) of `sheet` on `device`, whose page layout is set
// here: paper `size` in the sheet's orientation, no margins of the device's own (a printer must print the
// full page). Returns the sheet's page count. Throws Failure when the device cannot be painted on.
int printSheet(const sheet::Worksheet& sheet, QPagedPaintDevice& device, const QPageSize& size,
               int firstPage = 1, int lastPage = 0);

// Every page of `sheet` as a PDF document titled `title`. Throws Failure.
QByteArray sheetPdf(const sheet::Worksheet& sheet, const QPageSize& size, const QString& title);

}  // namespace rw::preview
