#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "codec_support.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
using rw::test::RawRecord;
namespace fs = std::filesystem;

namespace {

// A chart sheet printing its used range under its title rows, a sheet with a print area alone, and one
// with neither.
Workbook printAreas() {
    Workbook wb;
    Worksheet& chart = wb.activeSheet();
    rw::test::drawChart(chart, 5);
    chart.pageSetup().titleRows = std::pair{2, 3};
    chart.pageSetup().printArea = chart.usedRange();
    chart.pageSetup().footer = "&CPage &P of &N";
    Worksheet& second = wb.addSheet("Area");
    second.setText(CellRange::cell(3, 4), "x");
    second.pageSetup().printArea = CellRange{2, 3, 40, 9};
    wb.addSheet("Plain").setText(CellRange::cell(1, 1), "nothing set");
    return wb;
}

std::string output(const std::string& command) {
    const std::string file = (fs::temp_directory_path() / "rw_print_area.out").string();
    const int status = std::system((command + " > '" + file + "' 2>&1").c_str());
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(file);
    return status == 0 ? text : "exit " + std::to_string(status) + ": " + text;
}

// The workbook with the formula of its first NAME record (the chart's Print_Area) replaced.
std::optional<CellRange> areaReadFrom(const std::vector<std::uint8_t>& rgce) {
    std::vector<RawRecord> recs = rw::test::records(rw::test::workbookStream(encodeWorkbook(printAreas())));
    std::int64_t grown = 0;
    for (RawRecord& r : recs) {
        if (r.id == biff::kName) {
            grown = static_cast<std::int64_t>(rgce.size()) - 11;
            r.body.resize(16);
            r.body.insert(r.body.end(), rgce.begin(), rgce.end());
            r.body[4] = static_cast<std::uint8_t>(rgce.size());
            break;
        }
    }
    for (RawRecord& r : recs) {  // the sheets move with the globals' end
        if (r.id == biff::kBoundSheet) {
            const auto at =
                static_cast<std::uint32_t>(r.body[0] | r.body[1] << 8 | r.body[2] << 16 | r.body[3] << 24) +
                static_cast<std::uint32_t>(grown);
            for (int i = 0; i < 4; ++i) {
                r.body[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(at >> (8 * i));
            }
        }
    }
    return decodeWorkbook(cfb::writeSingleStream(rw::test::joinRecords(recs), u"Workbook"))
        .sheet(0)
        .pageSetup()
        .printArea;
}

}  // namespace

TEST(PrintAreaTest, ComesBackFromOurReaderAndXlrd) {
    const Workbook wb = printAreas();
    const CellRange used = wb.sheet(0).usedRange();
    const std::vector<std::uint8_t> file = encodeWorkbook(wb);
    const Workbook back = decodeWorkbook(file);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.sheet(i).pageSetup(), wb.sheet(i).pageSetup()) << "sheet " << i;
    }
    EXPECT_EQ(back.sheet(0).pageSetup().printArea, used);
    EXPECT_FALSE(back.sheet(2).pageSetup().printArea);
    EXPECT_TRUE(encodeWorkbook(back) == file) << "write -> read -> write changed the bytes";

    if (std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-xlrd is not installed";
    }
    const fs::path path = fs::temp_directory_path() / "rw_print_area.xls";
    saveWorkbook(wb, path);
    const char* source = std::getenv("ROOTWEAVE_SOURCE_DIR");
    const std::string tree = source ? source : ROOTWEAVE_SOURCE_DIR;
    // Areas as xlrd gives them: 0-based, the ends exclusive. An empty header is a string of no characters
    // (a record of length zero reads as "the default header" in Gnumeric).
    const std::string expected = "Print_Area 0 " + std::to_string(used.firstRow - 1) + " " +
                                 std::to_string(used.lastRow) + " " + std::to_string(used.firstColumn - 1) +
                                 " " + std::to_string(used.lastColumn) +
                                 "\nPrint_Titles 0 1 3 0 256\n"
                                 "Print_Area 1 1 40 2 9\n"
                                 "HEADER 0 3 \nHEADER 1 3 \nHEADER 2 3 \n";
    EXPECT_EQ(output("/usr/bin/python3 '" + tree + "/tests/spreadsheet/xlrd_print_area_check.py' '" +
                     path.string() + "'"),
              expected);
    fs::remove(path);
}

TEST(PrintAreaTest, ReaderKeepsOnlyOneBlockOfCells) {
    const auto area = [](std::uint8_t ptg, std::uint16_t r1, std::uint16_t r2, std::uint16_t c1,
                         std::uint16_t c2) {
        std::vector<std::uint8_t> t{ptg};
        for (std::uint16_t v : {std::uint16_t{0}, r1, r2, c1, c2}) {
            t.push_back(static_cast<std::uint8_t>(v));
            t.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        return t;
    };
    std::vector<std::uint8_t> two = area(biff::kPtgArea3d, 0, 1, 0, 1);
    const std::vector<std::uint8_t> more = area(biff::kPtgArea3d, 5, 6, 0, 1);
    two.insert(two.end(), more.begin(), more.end());
    two.push_back(biff::kPtgUnion);
    const std::vector<std::pair<std::vector<std::uint8_t>, std::optional<CellRange>>> cases = {
        {area(biff::kPtgArea3d, 1, 65, 1, 5), CellRange{2, 2, 66, 6}},
        {area(0x5B, 0, 0, 0, 0), CellRange{1, 1, 1, 1}},       // value class, one cell
        {area(biff::kPtgArea3d, 9, 2, 1, 5), std::nullopt},    // rows reversed
        {area(biff::kPtgArea3d, 1, 2, 0, 300), std::nullopt},  // past the last column
        {two, std::nullopt},                                   // two blocks
        {{biff::kPtgArea3d, 0, 0}, std::nullopt},              // cut short
    };
    for (const auto& [rgce, expected] : cases) {
        EXPECT_EQ(areaReadFrom(rgce), expected) << rgce.size() << " bytes, token " << int(rgce[0]);
    }
}
