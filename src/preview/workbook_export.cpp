#include "preview/workbook_export.h"

#include <QFile>

#include "platform/safe_file.h"
#include "preview/file_copy.h"
#include "spreadsheet/xls_codec.h"
#include "spreadsheet/xlsx_writer.h"

namespace rw::preview {

bool isXlsxName(const QString& fileName) {
    return sheet::hasXlsxEnding(fileName.toStdString());
}

void saveAsXlsx(const QString& source, const QString& target) {
    requireSource(source);
    const sheet::Workbook workbook = sheet::loadWorkbook(QFile::encodeName(source).toStdString());
    try {
        sheet::saveWorkbookAsXlsx(workbook, QFile::encodeName(target).toStdString());
    } catch (const safefile::Error& e) {
        throw cannotWrite(target, e.reason());  // worded as for the .xls copy
    }
}

}  // namespace rw::preview
