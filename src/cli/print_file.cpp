#include "cli/print_file.h"

#include "chart/picture_clipboard.h"
#include "preview/print_document.h"

namespace rw::cli {

std::optional<QPageSize> paperNamed(const QString& name) {
    if (name.compare(QStringLiteral("a4"), Qt::CaseInsensitive) == 0) {
        return QPageSize(QPageSize::A4);
    }
    if (name.compare(QStringLiteral("letter"), Qt::CaseInsensitive) == 0) {
        return QPageSize(QPageSize::Letter);
    }
    return std::nullopt;
}

QByteArray printWorkbook(const sheet::Workbook& workbook, const QPageSize& paper) {
    chart::registerPictureFonts();  // the pages' text in the chart's own face where the system lacks it
    return preview::sheetPdf(workbook.sheet(0), paper, QStringLiteral("Ancestor chart"));
}

}  // namespace rw::cli
