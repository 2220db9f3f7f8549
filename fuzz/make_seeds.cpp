// Writes a few sound workbooks into a folder, as the starting corpus of the reader's fuzzer.
#include <fstream>
#include <string>

#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;

namespace {

void save(const std::string& dir, const std::string& name, const Workbook& wb) {
    const auto bytes = encodeWorkbook(wb);
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
    return 0;
}
