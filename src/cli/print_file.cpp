#include "cli/print_file.h"

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
    return preview::sheetPdf(workbook.sheet(0), paper, QStringLiteral("Ancestor chart"));
}

}  // namespace rw::cli
