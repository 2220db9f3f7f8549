#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "spreadsheet/workbook.h"

// The .xlsx export: a workbook of the model written as an Excel 2007 and later workbook (Office Open XML)
// through libxlsxwriter. Export only; the engine keeps .xls as its own format and never reads .xlsx.
//
// What is written: every sheet with its cells (texts and numbers), their formats (font, solid fill, the
// four edges, horizontal alignment), merged areas, column widths and formats, row heights, and the print
// set-up (orientation, scale or fit to pages, margins, centring, header and footer, the rows repeated at
// the top of each page as Print_Titles and the printed range as Print_Area). Palette colours are written
// as the RGB the workbook's palette gives them; widths keep their pixels, which with the usual 10-point
// default font are exactly the widths the .xls file stores.
namespace rw::sheet {

// True when the name ends in ".xlsx", in any mix of upper and lower case. (Inline: a program that only asks
// this need not link libxlsxwriter.)
inline bool hasXlsxEnding(std::string_view fileName) {
    constexpr std::string_view kEnding = ".xlsx";
    if (fileName.size() < kEnding.size()) {
        return false;
    }
    const std::string_view tail = fileName.substr(fileName.size() - kEnding.size());
    return std::equal(tail.begin(), tail.end(), kEnding.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

// Refuses, with a Failure that says what and where, a workbook the .xlsx format cannot hold: a text over
// 32,767 characters, a number that is infinite or not a number, a page header or footer over 255
// characters, a print scale outside 10 to 400 percent, a sheet name Excel would refuse.
void checkXlsxExport(const Workbook& workbook);

// Writes the workbook as .xlsx to exactly `file`, creating or overwriting it. The workbook is checked
// first (checkXlsxExport), so a refused workbook leaves no file; if writing fails part-way, whatever was
// written under `file` is removed. Throws Failure.
void exportXlsx(const Workbook& workbook, const std::filesystem::path& file);

// The complete .xlsx file of a workbook (exported to a file in memory that has no name anywhere, then read
// back). libxlsxwriter's scratch files go to the program's temporary folder (platform/temp_folder.h); a
// folder that cannot be used is a Failure naming it. Throws Failure.
std::vector<std::uint8_t> encodeWorkbookAsXlsx(const Workbook& workbook);

// Saves the workbook as .xlsx under `path` in one step (safefile::replace): an existing file is replaced
// only by a complete one. Throws Failure (safefile::Error when the file cannot be written).
void saveWorkbookAsXlsx(const Workbook& workbook, const std::filesystem::path& path);

}  // namespace rw::sheet
