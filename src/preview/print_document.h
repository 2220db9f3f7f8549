#pragma once

#include <QByteArray>
#include <QPageSize>
#include <QString>
#include <functional>

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
// When a page fails once printing has begun, `abortJob` (a printer's abort) runs before the failure goes on,
// so that no partial job is sent where the device can take it back.
int printSheet(const sheet::Worksheet& sheet, QPagedPaintDevice& device, const QPageSize& size,
               int firstPage = 1, int lastPage = 0, const std::function<void()>& abortJob = {});

// Pages `firstPage` to `lastPage` (as for printSheet) of `sheet` as a PDF document titled `title`, made in
// memory. Throws Failure.
QByteArray sheetPdf(const sheet::Worksheet& sheet, const QPageSize& size, const QString& title,
                    int firstPage = 1, int lastPage = 0);

}  // namespace rw::preview
