#pragma once

#include "cli/formats.h"

namespace rw::cli {

// Every format: .xlsx through the engine's export, pictures and pages drawn by Qt (picture_file and
// print_file).
class AllFormats : public Formats {
  public:
    std::unique_ptr<QCoreApplication> application(int& argc, char** argv) const override;
    std::vector<std::uint8_t> xlsx(const sheet::Workbook& workbook) const override;
    QByteArray picture(const sheet::RangePicture& picture, const QString& fileName) const override;
    QByteArray pages(const sheet::Workbook& workbook, Paper paper) const override;
};

}  // namespace rw::cli
