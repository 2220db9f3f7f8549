#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "spreadsheet/workbook.h"
#include "spreadsheet/xls_records.h"

// The print set-up in the file: the sheet's HEADER, FOOTER, centring, margins, SETUP and WSBOOL, and the
// workbook's built-in names Print_Area and Print_Titles with the SUPBOOK and EXTERNSHEET they refer through.
namespace rw::sheet::xls {

// Refuses a print set-up the file cannot hold, before a byte is written.
void checkPageSetup(const PageSetup& ps, const std::string& sheetName);

// The sheet's print records, from HEADER to SETUP.
void writePageSetup(RecordSink& s, const PageSetup& ps);
void writeWsBool(RecordSink& s, const PageSetup& ps);

// The cells that print and the rows repeated at the top of printed pages are the built-in names Print_Area
// and Print_Titles of their sheet: references through the workbook's table of sheet references
// (EXTERNSHEET), whose entries point into the workbook itself (a SUPBOOK of its own).
void writePrintNames(RecordSink& s, const Workbook& wb);

// An entry of the EXTERNSHEET table: a SUPBOOK and a range of its sheets.
struct SheetReference {
    std::uint16_t supBook;
    std::uint16_t firstSheet;
    std::uint16_t lastSheet;
};

// A Print_Area or Print_Titles name as found in the globals, before its reference is resolved.
struct PrintName {
    std::uint16_t sheet;      // position among all BOUNDSHEET records
    std::uint16_t reference;  // index into the EXTERNSHEET table
    bool isArea;              // Print_Area, else Print_Titles (whole rows)
    CellRange range;
};

// The workbook's names and sheet references as the globals bring them.
struct PrintNames {
    std::vector<bool> supBookIsSelf;
    std::vector<SheetReference> sheetReferences;
    std::vector<PrintName> printNames;
};

void readSupBook(std::span<const std::uint8_t> body, PrintNames& names);
void readExternSheet(std::span<const std::uint8_t> body, PrintNames& names);

// A NAME record: its layout is checked whatever it holds; only the built-in Print_Area (one block of
// cells) and Print_Titles (whole rows) of a sheet are kept.
std::optional<PrintName> readName(std::span<const std::uint8_t> body);

// Puts the print areas and titles of the names into the page set-up of the sheets they belong to.
void applyPrintNames(const PrintNames& names,
                     const std::vector<std::optional<std::size_t>>& worksheetOfBoundSheet, Workbook& wb);

}  // namespace rw::sheet::xls
