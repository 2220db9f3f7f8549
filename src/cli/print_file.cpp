#include "cli/print_file.h"

#include <QPageSize>

#include "chart/picture_clipboard.h"
#include "preview/print_document.h"

namespace rw::cli {

QByteArray printWorkbook(const sheet::Workbook& workbook, Paper paper) {
    chart::registerPictureFonts();  // the pages' text in the chart's own face where the system lacks it
    return preview::sheetPdf(workbook.sheet(0),
                             QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4),
                             QStringLiteral("Ancestor chart"));
}

}  // namespace rw::cli
