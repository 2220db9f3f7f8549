#include "cli/print_file.h"

#include "preview/print_document.h"
#include "spreadsheet/xls_codec.h"

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

QByteArray printWorkbook(std::span<const std::uint8_t> file, const QPageSize& paper) {
    const sheet::Workbook workbook = sheet::decodeWorkbook(file);
    return preview::sheetPdf(workbook.sheet(0), paper, QStringLiteral("Ancestor chart"));
}

}  // namespace rw::cli
