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
// Time and memory grow linearly with the size of the input: every byte of the workbook stream is read
// once, and a file whose sheets, rows and merged areas would need more than 40 bytes of memory per byte of
// file (beyond a fixed allowance of 64 MB) is refused.
Workbook decodeWorkbook(std::span<const std::uint8_t> bytes);

// Files larger than this are refused before anything is read.
inline constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{512} << 20;

// Reads a workbook file through a memory map ("file not found", a file over kMaxFileSize and similar
// failures are Failures too).
Workbook loadWorkbook(const std::filesystem::path& path);

}  // namespace rw::sheet
