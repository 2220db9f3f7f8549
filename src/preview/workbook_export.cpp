#include "preview/workbook_export.h"

#include <QFile>

#include "spreadsheet/xls_codec.h"
#include "spreadsheet/xlsx_writer.h"

namespace rw::preview {

bool isXlsxName(const QString& fileName) {
    return sheet::hasXlsxEnding(fileName.toStdString());
}

void saveAsXlsx(const QString& source, const QString& target) {
    const sheet::Workbook workbook = sheet::loadWorkbook(QFile::encodeName(source).toStdString());
    sheet::saveWorkbookAsXlsx(workbook, QFile::encodeName(target).toStdString());
}

}  // namespace rw::preview
