// Workbooks written by other programs read with their values, formats and widths, and keep them when
// saved again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "book_shapes.h"
#include "platform/failure.h"
#include "spreadsheet/same_content.h"
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
using namespace rw::test::shapes;
namespace fs = std::filesystem;

namespace {

std::string sourceTree() {
    const char* source = std::getenv("ROOTWEAVE_SOURCE_DIR");
    return source ? source : ROOTWEAVE_SOURCE_DIR;
}

bool hasPython(const char* module) {
    return fs::exists("/usr/bin/python3") &&
           std::system(
               ("/usr/bin/python3 -c 'import " + std::string(module) + "' >/dev/null 2>&1").c_str()) == 0;
}

class ForeignFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("rw_foreign_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

}  // namespace

TEST(ReaderFidelityTest, LongFormulaTextAndTheSelectedTabReadAsExcelWroteThem) {
    // A formula's 9,000-character text goes on in CONTINUE records, which start with their own option
    // byte: 8-bit characters, or UTF-16 ones.
    const std::string text(9000, 'q');
    for (const bool wide : {false, true}) {
        const Bytes cells = formulaSpecial(0, 0, 0, 0) + continuedString(biff::kString, {}, text, 4000, wide);
        const Workbook wb = decodeWorkbook(bookFile(basicGlobals(), {cells}));
        EXPECT_EQ(wb.sheet(0).cell(1, 1)->text, text) << (wide ? "UTF-16" : "8-bit") << " continuations";
    }
    // The selected tab counts the chart sheet in front of the worksheets, which the reader does not keep.
    const struct {
        std::uint16_t tab;
        const char* active;
    } tabs[] = {{1, "S2"}, {2, "S3"}, {0, "S2"}, {9, "S2"}};
    for (const auto& t : tabs) {
        Bytes window;
        for (const std::uint32_t v : {0u, 0u, 0x4000u, 0x2000u, 0x38u, std::uint32_t{t.tab}, 0u, 1u, 600u}) {
            put16(window, v);
        }
        const Bytes globals = basicGlobals(record(biff::kWindow1, window));
        Bytes stream = bookStream(globals, {number(0, 0, 1), number(0, 0, 2), number(0, 0, 3)}, {0, 1, 2});
        stream[globals.size() + 4 + 5] = 2;  // the first BOUNDSHEET: a chart sheet
        const Workbook wb = decodeWorkbook(rw::sheet::cfb::writeSingleStream(stream, u"Workbook"));
        ASSERT_EQ(wb.sheetCount(), 2u);
        EXPECT_EQ(wb.activeSheet().name(), t.active) << "tab " << t.tab;
    }
}

TEST(ReaderFidelityTest, EveryKindOfCellRecordIsKept) {
    // Cells as Excel and others write them; XF 15 carries a date format of the workbook's own.
    Bytes format;
    put16(format, 164);
    putText(format, "yyyy-mm-dd");
    const Bytes globals =
        basicGlobals(record(biff::kFormat, format) + sst({"alpha", "beta", "gamma"}, 2), 164);
    const Bytes cells = formulaNumber(0, 0, 2.5) + formulaSpecial(1, 0, 0, 0) + string("from a formula") +
                        formulaSpecial(2, 0, 1, 1) + formulaSpecial(3, 0, 2, 0x07) +
                        formulaSpecial(4, 0, 3, 0) + boolErr(5, 0, 0, false) + boolErr(6, 0, 0x2A, true) +
                        rk(7, 0, -12) + mulRk(8, 0, {1, 2, 3}) + mulBlank(9, 0, 2) + labelSst(10, 0, 2) +
                        colInfo(3, 4, 5000, 0);
    const Workbook wb = decodeWorkbook(bookFile(globals, {cells}));
    const Worksheet& ws = wb.sheet(0);
    const struct {
        std::int32_t row, column;
        ValueKind kind;
        double number;
        const char* text;
    } expected[] = {
        {1, 1, ValueKind::Number, 2.5, ""},   {2, 1, ValueKind::Text, 0, "from a formula"},
        {3, 1, ValueKind::Boolean, 1, ""},    {4, 1, ValueKind::Error, 0x07, ""},
        {5, 1, ValueKind::Empty, 0, ""},      {6, 1, ValueKind::Boolean, 0, ""},
        {7, 1, ValueKind::Error, 0x2A, ""},   {8, 1, ValueKind::Number, -12, ""},
        {9, 3, ValueKind::Number, 3, ""},     {10, 3, ValueKind::Empty, 0, ""},
        {11, 1, ValueKind::Text, 0, "gamma"},
    };
    for (const auto& e : expected) {
        const auto c = ws.cell(e.row, e.column);
        ASSERT_TRUE(c) << e.row;
        EXPECT_EQ(c->kind, e.kind) << e.row;
        EXPECT_EQ(c->number, e.number) << e.row;
        EXPECT_EQ(c->text, e.text) << e.row;
        EXPECT_EQ(wb.styles().style(c->style).numberFormat, "yyyy-mm-dd") << e.row;
    }
    EXPECT_EQ(ws.columnWidth(4), 5000);  // no "user-set" flag, and still the width
    EXPECT_EQ(ws.columnWidth(5), 5000);

    // Saved again by us and read back: the same content.
    EXPECT_TRUE(sameContent(wb, decodeWorkbook(encodeWorkbook(wb))));
}

TEST_F(ForeignFileTest, WorkbookWrittenByXlwtKeepsItsContentThroughASave) {
    if (!hasPython("xlwt") || !hasPython("xlrd")) {
        GTEST_SKIP() << "python3-xlwt or python3-xlrd is not installed";
    }
    const std::string script = sourceTree() + "/tests/spreadsheet/foreign_book.py";
    const fs::path written = dir_ / "xlwt.xls";
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + script + "' write '" + written.string() + "'").c_str()), 0);

    const Workbook wb = loadWorkbook(written);
    const Worksheet& ws = wb.sheet(0);
    EXPECT_EQ(ws.columnWidth(1), 5000);
    EXPECT_EQ(ws.columnWidth(2), 3000);
    EXPECT_EQ(ws.cell(1, 2)->kind, ValueKind::Number);
    EXPECT_EQ(wb.styles().style(ws.cell(1, 2)->style).numberFormat, "YYYY-MM-DD");
    EXPECT_EQ(wb.styles().style(ws.cell(2, 2)->style).numberFormat, "0.00");
    EXPECT_EQ(ws.cell(3, 1)->kind, ValueKind::Boolean);
    EXPECT_EQ(wb.styles().style(ws.cell(4, 1)->style).numberFormat, "YYYY-MM-DD");  // the formula's cell

    const fs::path saved = dir_ / "saved.xls";
    saveWorkbook(wb, saved);
    const std::string check = "/usr/bin/python3 '" + script + "' check '" + saved.string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << check;
}

TEST(ReaderFidelityTest, ChartSavedByLibreOfficeReadsWithItsWidthsValuesAndFormats) {
    // tests/spreadsheet/data/chart4_libreoffice.xls: `rootweave-chart --generations 4 --name "Ada Lovelace"`,
    // then `soffice --headless --convert-to xls:"MS Excel 97"` (LibreOffice 7.4, Debian 12).
    const Workbook wb = loadWorkbook(sourceTree() + "/tests/spreadsheet/data/chart4_libreoffice.xls");
    const Worksheet& ws = wb.sheet(0);
    EXPECT_EQ(ws.cell(2, 2)->text, "Family Tree for Ada Lovelace");
    EXPECT_EQ(ws.cell(3, 2)->text, "4 Generations");
    EXPECT_EQ(ws.mergedRanges().size(), 2u);
    EXPECT_EQ(ws.columnWidth(1), 693);  // LibreOffice writes the widths without the "user-set" flag
    for (std::int32_t c = 2; c <= 6; ++c) {
        EXPECT_EQ(ws.columnWidth(c), 6325) << c;
    }
    EXPECT_EQ(ws.effectiveStyle(2, 2).font.name, "Tahoma");
    EXPECT_EQ(ws.effectiveStyle(2, 2).numberFormat, "");
    // The first box of the most distant generation: filled, framed.
    const CellStyle& box = ws.effectiveStyle(5, 2);
    EXPECT_TRUE(box.solidFill);
    EXPECT_EQ(box.border(Edge::Top).line, LineStyle::Thin);
}
