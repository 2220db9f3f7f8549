#pragma once

#include <QByteArray>
#include <QPageSize>
#include <QString>
#include <optional>

// rootweave-chart's --print FILE.pdf [--paper a4|letter]: the saved workbook's chart sheet printed into a PDF
// as a spreadsheet program prints it, page by page.
namespace rw::cli {

// The paper named on the command line ("a4" or "letter", in any case); nothing for any other name.
std::optional<QPageSize> paperNamed(const QString& name);

// The printed pages of the first sheet of the workbook file at `workbookPath`, as PDF bytes. Throws Failure.
QByteArray printWorkbook(const QString& workbookPath, const QPageSize& paper);

}  // namespace rw::cli
