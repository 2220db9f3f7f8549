#include "cli/qt_drawing.h"

#include <QGuiApplication>

#include "cli/picture_file.h"
#include "cli/print_file.h"

namespace rw::cli {

std::unique_ptr<QCoreApplication> QtDrawing::application(int& argc, char** argv) const {
    return std::make_unique<QGuiApplication>(argc, argv);
}

QByteArray QtDrawing::picture(const sheet::RangePicture& picture, const QString& fileName) const {
    return encodePicture(picture, pictureFormatOf(fileName));
}

QByteArray QtDrawing::pages(const sheet::Workbook& workbook, Paper paper) const {
    return printWorkbook(workbook, paper);
}

}  // namespace rw::cli
