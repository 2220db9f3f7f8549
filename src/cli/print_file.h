#pragma once

#include <QByteArray>

#include "cli/formats.h"
#include "spreadsheet/workbook.h"

// rootweave-chart's --print FILE.pdf [--paper a4|letter]: the workbook's chart sheet, as SaveAs was given it,
// printed into a PDF as a spreadsheet program prints it, page by page. Whichever format the workbook is
// written in, the pages come from the workbook itself.
namespace rw::cli {

// The printed pages of the first sheet of `workbook`, as PDF bytes. Throws Failure.
QByteArray printWorkbook(const sheet::Workbook& workbook, Paper paper);

}  // namespace rw::cli
