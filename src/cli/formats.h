#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "spreadsheet/range_picture.h"
#include "spreadsheet/workbook.h"

// What rootweave-chart makes beyond an .xls workbook: an .xlsx workbook (through libxlsxwriter), the
// --picture file and the --print pages (through Qt's painting, which needs Qt's GUI library). Those
// libraries take a good part of a short run just to load, so the program itself writes .xls with Qt Core
// alone and loads the rest, as a module, for the runs that ask for it.
namespace rw::cli {

enum class Paper { A4, Letter };

class Formats {
  public:
    virtual ~Formats() = default;
    // The application drawing needs (a QGuiApplication), made from the program's command line.
    virtual std::unique_ptr<QCoreApplication> application(int& argc, char** argv) const = 0;
    // The workbook as an .xlsx file. Throws Failure.
    virtual std::vector<std::uint8_t> xlsx(const sheet::Workbook& workbook) const = 0;
    // The picture's bytes in the format the name of the file it goes to asks for (.svg, .png or .pdf).
    // Throws Failure with a description and never returns partial bytes.
    virtual QByteArray picture(const sheet::RangePicture& picture, const QString& fileName) const = 0;
    // The printed pages of the first sheet of `workbook` on `paper`, as PDF bytes. Throws Failure.
    virtual QByteArray pages(const sheet::Workbook& workbook, Paper paper) const = 0;
};

}  // namespace rw::cli
