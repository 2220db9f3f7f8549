// Writes the starting corpus of the reader's fuzzer into a folder: sound workbooks from our writer, workbooks
// in the shapes other programs write (every cell record, formulas, shared strings over CONTINUE records,
// number formats, many sheets, many merged areas), and the hostile shapes the reader must refuse or bound
// (sheets sharing one place, whole-sheet merges, the last row on many sheets, long shared strings used by
// many cells, dense blank runs, many small merged areas).
#include <fstream>
#include <string>

#include "spreadsheet/book_shapes.h"  // tests/spreadsheet
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
namespace shapes = rw::test::shapes;

namespace {

void save(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void save(const std::string& dir, const std::string& name, const Workbook& wb) {
    save(dir, name, encodeWorkbook(wb));
}

void saveShapes(const std::string& dir) {
    using namespace shapes;
    // Every cell record, formulas of every kind, a number format of the workbook's own, shared strings.
    Bytes format;
    put16(format, 164);
    putText(format, "yyyy-mm-dd");
    std::vector<std::string> strings;
    for (int i = 0; i < 600; ++i) {
        strings.push_back("name " + std::to_string(i));
    }
    const Bytes globals = basicGlobals(record(biff::kFormat, format) + sst(strings, 100), 164);
    const Bytes cells = colInfo(0, 3, 5000, 0) + formulaNumber(0, 0, 2.5) + formulaSpecial(1, 0, 0, 0) +
                        string("text") + formulaSpecial(2, 0, 1, 1) + formulaSpecial(3, 0, 2, 0x07) +
                        formulaSpecial(4, 0, 3, 0) + boolErr(5, 0, 1, false) + boolErr(6, 0, 0x2A, true) +
                        rk(7, 0, -12) + mulRk(8, 0, {1, 2, 3}) + mulBlank(9, 0, 2) + labelSst(10, 0, 599) +
                        label(11, 0, "label") + number(12, 0, 1e300);
    save(dir, "cells.xls", bookFile(globals, {cells, labelSst(0, 0, 0)}));
    // Many merged areas: two full records of them, in rows.
    std::vector<CellRange> areas;
    for (int i = 0; i < 2000; ++i) {
        areas.push_back(CellRange{2 * i + 1, 1 + (i % 8) * 2, 2 * i + 2, 2 + (i % 8) * 2});
    }
    save(dir, "merges.xls",
         bookFile(basicGlobals(), {merges({areas.begin(), areas.begin() + 1000}) +
                                   merges({areas.begin() + 1000, areas.end()})}));
    save(dir, "small_sheets.xls", manySmallSheets(255));
    // Hostile.
    save(dir, "one_sheet_255_times.xls", oneSheetManyTimes(200));
    save(dir, "whole_sheet_merges.xls", wholeSheetMerges(3));
    // One large merged area and nothing else on its sheet (kept small enough to save quickly).
    save(dir, "large_merge_alone.xls", bookFile(basicGlobals(), {merges({CellRange{1, 1, 2000, 256}})}));
    save(dir, "last_rows.xls", bookFile(basicGlobals(), std::vector<Bytes>(100, number(0xFFFF, 0xFF, 1))));
    // Few bytes that ask for much: a long shared string shown by many cells, a whole-sheet merge over a
    // sheet of cells, dense blank runs, many small merged areas, a formula's long text over CONTINUE.
    save(dir, "long_shared_string.xls", oneLongStringInManyCells(65535, 2000));
    save(dir, "long_strings_many_sheets.xls",
         bookFile(basicGlobals(longSst({std::string(20000, 'a'), std::string(9000, 'b')})),
                  std::vector<Bytes>(40, labelSst(0, 0, 0) + labelSst(1, 0, 1) + labelSst(2, 3, 0))));
    save(dir, "dense_blanks.xls", denseBlanks(64));
    save(dir, "two_cell_merges.xls", twoCellMerges(3000));
    save(dir, "continued_formula_text.xls",
         bookFile(basicGlobals(), {formulaSpecial(0, 0, 0, 0) +
                                   continuedString(biff::kString, {}, std::string(9000, 'c'), 4000, true)}));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::string dir = argv[1];
    save(dir, "empty.xls", Workbook());

    Workbook chart;
    Worksheet& ws = chart.activeSheet();
    ws.applyStyle(CellRange::wholeSheet(), StyleChange::fontName("Tahoma"));
    ws.setColumnWidth(2, 6, 6326);
    ws.merge(parseAddress("B2:F2"));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontHeight(400));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontColor(23));
    ws.setText(CellRange::cell(2, 2), "Family Tree for \xc3\x84nn \xe2\x82\xac");
    for (int r = 5; r < 12; r += 2) {
        ws.applyStyle(CellRange::cell(r, 2), StyleChange::fill(50));
        ws.applyStyle(CellRange::cell(r, 2), StyleChange::borderLine(Edge::Left, LineStyle::Thin));
        ws.applyStyle(CellRange::cell(r, 3), StyleChange::borderLine(Edge::Right, LineStyle::Thin));
    }
    ws.setNumber(CellRange::cell(14, 1), 2.5);
    ws.pageSetup().landscape = true;
    ws.pageSetup().footer = "&CPage &P of &N";
    ws.pageSetup().titleRows = std::pair{2, 3};
    ws.pageSetup().fitToPage = true;
    chart.addSheet("Two").setText(CellRange::cell(1, 1), "x");
    save(dir, "chart.xls", chart);

    Workbook strings;
    for (int i = 0; i < 900; ++i) {
        strings.activeSheet().setText(CellRange::cell(i + 1, 1),
                                      "string number " + std::to_string(i) + " \xe4\xb8\xad");
    }
    save(dir, "strings.xls", strings);
    saveShapes(dir);
    return 0;
}
