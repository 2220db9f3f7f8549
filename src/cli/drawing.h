#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <memory>

#include "spreadsheet/range_picture.h"
#include "spreadsheet/workbook.h"

// What rootweave-chart draws with Qt's painting: the --picture file and the --print pages. Painting and
// text need Qt's GUI library, which takes a good part of a short run just to load, so the tool that only
// writes workbooks is built without it and hands runs that draw to the one built with it.
namespace rw::cli {

enum class Paper { A4, Letter };

class Drawing {
  public:
    virtual ~Drawing() = default;
    // The application drawing needs (a QGuiApplication), made from the program's command line.
    virtual std::unique_ptr<QCoreApplication> application(int& argc, char** argv) const = 0;
    // The picture's bytes in the format the name of the file it goes to asks for (.svg, .png or .pdf).
    // Throws Failure with a description and never returns partial bytes.
    virtual QByteArray picture(const sheet::RangePicture& picture, const QString& fileName) const = 0;
    // The printed pages of the first sheet of `workbook` on `paper`, as PDF bytes. Throws Failure.
    virtual QByteArray pages(const sheet::Workbook& workbook, Paper paper) const = 0;
};

}  // namespace rw::cli
