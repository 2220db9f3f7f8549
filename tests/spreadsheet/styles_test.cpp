#include "spreadsheet/workbook.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

using namespace rw::sheet;

TEST(StyleTest, SheetFontReachesLaterCellsAndStylesAreShared) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    ws.applyStyle(CellRange::wholeSheet(), StyleChange::fontName("Tahoma"));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontHeight(400));
    EXPECT_EQ(ws.effectiveStyle(2, 2).font.name, "Tahoma");
    EXPECT_EQ(ws.effectiveStyle(2, 2).font.heightTwips, 400);
    EXPECT_EQ(ws.effectiveStyle(100, 100).font.name, "Tahoma");
    EXPECT_EQ(ws.effectiveStyle(100, 100).font.heightTwips, 200);
    EXPECT_EQ(wb.defaultFont().name, "Arial");  // the workbook's own font stays

    for (int r = 5; r < 500; ++r) {
        ws.applyStyle(CellRange::cell(r, 3), StyleChange::fill(50));
        ws.applyStyle(CellRange::cell(r, 3), StyleChange::borderLine(Edge::Left, LineStyle::Thin));
    }
    EXPECT_EQ(ws.effectiveStyleId(5, 3), ws.effectiveStyleId(499, 3));
    EXPECT_LT(wb.styles().size(), 8u);
    const CellStyle& s = ws.effectiveStyle(7, 3);
    EXPECT_TRUE(s.solidFill);
    EXPECT_EQ(s.fillColor, 50);
    EXPECT_EQ(s.border(Edge::Left).line, LineStyle::Thin);
    EXPECT_EQ(s.border(Edge::Left).color, kAutomaticLineColor);
    EXPECT_EQ(s.border(Edge::Right).line, LineStyle::None);
    EXPECT_EQ(s.border(Edge::Right).color, 0);
}

TEST(StyleTest, RefusesValuesTheFileCannotHoldBeforeChangingAnything) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    const CellRange a1 = CellRange::cell(1, 1);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fontHeight(0)), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fontHeight(9000)), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fontColor(7)), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fill(64)), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fontName("")), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fontName(std::string(32, 'x'))), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::fontName("\xff")), rw::Failure);
    EXPECT_THROW(ws.applyStyle(a1, StyleChange::borderLine(Edge::Top, static_cast<LineStyle>(14))),
                 rw::Failure);
    EXPECT_THROW(ws.applyStyle(CellRange{0, 1, 1, 1}, StyleChange::fill(50)), rw::Failure);
    EXPECT_FALSE(ws.cell(1, 1).has_value());
}

TEST(StyleTest, StopsAtTheFormatLimitWithAClearFailure) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    try {
        for (int i = 0; i < 5000; ++i) {
            ws.applyStyle(CellRange::cell(i / 200 + 1, i % 200 + 1), StyleChange::fontHeight(20 + i));
        }
        FAIL() << "no limit";
    } catch (const rw::Failure& f) {
        EXPECT_STREQ(f.what(), "Too many different cell formats.");
    }
    EXPECT_LE(wb.styles().size(), StyleTable::kMaxStyles);
}
