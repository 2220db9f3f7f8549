#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "spreadsheet/workbook.h"

// The .xls codec: Excel 97-2003 workbooks (BIFF8 records inside a compound file).
namespace rw::sheet {

// The complete file image of a workbook.
std::vector<std::uint8_t> encodeWorkbook(const Workbook& workbook);

// Writes the workbook to `path` in one step (safefile::replace): a failure leaves no partial file behind,
// and an existing file is replaced only by a complete one.
void saveWorkbook(const Workbook& workbook, const std::filesystem::path& path);

// Reads a workbook from a file image. Records it does not know are skipped; malformed input (truncated,
// wrong sizes, loops in sector chains, absurd counts) is refused with a Failure naming the problem.
// Memory use is bounded by the size of the input.
Workbook decodeWorkbook(std::span<const std::uint8_t> bytes);

// Reads a workbook file ("file not found" and similar failures are Failures too).
Workbook loadWorkbook(const std::filesystem::path& path);

}  // namespace rw::sheet
