#pragma once

#include <QString>

// Saving the chart as a modern workbook: a name ending in .xlsx gets the temporary workbook opened by the
// engine and exported as .xlsx; every other name gets the byte copy.
namespace rw::preview {

// True when the name ends in ".xlsx", in any mix of upper and lower case.
bool isXlsxName(const QString& fileName);

// Opens the .xls workbook `source` and saves it as .xlsx under `target`, replacing `target` only with a
// complete file. Throws rw::Failure with a description when the workbook cannot be read or written.
void saveAsXlsx(const QString& source, const QString& target);

}  // namespace rw::preview
