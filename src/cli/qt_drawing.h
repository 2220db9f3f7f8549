#pragma once

#include "cli/drawing.h"

namespace rw::cli {

// Pictures and pages drawn by Qt: picture_file and print_file.
class QtDrawing : public Drawing {
  public:
    std::unique_ptr<QCoreApplication> application(int& argc, char** argv) const override;
    QByteArray picture(const sheet::RangePicture& picture, const QString& fileName) const override;
    QByteArray pages(const sheet::Workbook& workbook, Paper paper) const override;
};

}  // namespace rw::cli
