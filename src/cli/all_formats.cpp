#include "cli/all_formats.h"

#include <QGuiApplication>

#include "cli/picture_file.h"
#include "cli/print_file.h"
#include "spreadsheet/xlsx_writer.h"

namespace rw::cli {

std::unique_ptr<QCoreApplication> AllFormats::application(int& argc, char** argv) const {
    return std::make_unique<QGuiApplication>(argc, argv);
}

std::vector<std::uint8_t> AllFormats::xlsx(const sheet::Workbook& workbook) const {
    return sheet::encodeWorkbookAsXlsx(workbook);
}

QByteArray AllFormats::picture(const sheet::RangePicture& picture, const QString& fileName) const {
    return encodePicture(picture, pictureFormatOf(fileName));
}

QByteArray AllFormats::pages(const sheet::Workbook& workbook, Paper paper) const {
    return printWorkbook(workbook, paper);
}

}  // namespace rw::cli
