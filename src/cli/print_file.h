#pragma once

#include <QByteArray>
#include <QPageSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

// rootweave-chart's --print FILE.pdf [--paper a4|letter]: the saved workbook's chart sheet printed into a PDF
// as a spreadsheet program prints it, page by page.
namespace rw::cli {

// The paper named on the command line ("a4" or "letter", in any case); nothing for any other name.
std::optional<QPageSize> paperNamed(const QString& name);

// The printed pages of the first sheet of the workbook in `file` (an .xls file image), as PDF bytes. Throws
// Failure.
QByteArray printWorkbook(std::span<const std::uint8_t> file, const QPageSize& paper);

}  // namespace rw::cli
