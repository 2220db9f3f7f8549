#pragma once

#include <QByteArray>
#include <QPageSize>
#include <QString>
#include <optional>

#include "spreadsheet/workbook.h"

// rootweave-chart's --print FILE.pdf [--paper a4|letter]: the workbook's chart sheet, as SaveAs was given it,
// printed into a PDF as a spreadsheet program prints it, page by page. Whichever format the workbook is
// written in, the pages come from the workbook itself.
namespace rw::cli {

// The paper named on the command line ("a4" or "letter", in any case); nothing for any other name.
std::optional<QPageSize> paperNamed(const QString& name);

// The printed pages of the first sheet of `workbook`, as PDF bytes. Throws Failure.
QByteArray printWorkbook(const sheet::Workbook& workbook, const QPageSize& paper);

}  // namespace rw::cli
