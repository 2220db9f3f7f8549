#pragma once

#include <cstddef>
#include <filesystem>

// A check of an .xlsx file just written: libxlsxwriter builds each part in a temporary file and does not
// notice when writing one fails (a full disk or temporary folder), so a cut-off file could pass for a
// saved one. Every part is inflated and must end with the closing tag of its first element.
namespace rw::sheet {

// Throws rw::Failure naming the problem unless the file is a whole zip package of complete XML parts with
// the workbook and `expectedWorksheets` worksheets.
void checkXlsxPackage(const std::filesystem::path& file, std::size_t expectedWorksheets);

}  // namespace rw::sheet
