#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

// A check of an .xlsx file just written: libxlsxwriter builds each part in a temporary file and does not
// notice when writing one fails (a full disk or temporary folder), so a cut-off file could pass for a
// saved one. Every part is inflated and must end with the closing tag of its first element.
namespace rw::sheet {

// Throws rw::Failure naming the problem unless the file is a whole zip package of complete XML parts with
// the workbook and `expectedWorksheets` worksheets.
void checkXlsxPackage(const std::filesystem::path& file, std::size_t expectedWorksheets);

// The whole file just written, read back: throws rw::Failure when it cannot be opened or read to its end,
// so a failed read is never taken for an empty or shorter file.
std::vector<std::uint8_t> readBackXlsx(const std::filesystem::path& file);

}  // namespace rw::sheet
