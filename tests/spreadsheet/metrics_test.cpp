#include "spreadsheet/workbook.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

using namespace rw::sheet;

TEST(MetricsTest, WidthsAndHeightsMatchExcelsUnits) {
    const Font arial10;
    Font tahoma;
    tahoma.name = "Tahoma";
    EXPECT_EQ(maxDigitWidth(arial10), 7);
    tahoma.heightTwips = 220;
    EXPECT_EQ(maxDigitWidth(tahoma), 8);
    tahoma.heightTwips = 400;
    EXPECT_EQ(maxDigitWidth(tahoma), 15);
    EXPECT_EQ(columnPadding(7), 5);
    EXPECT_EQ(columnPadding(15), 9);
    EXPECT_EQ(columnWidthFromCharacters(24, arial10), 6326);
    EXPECT_EQ(columnWidthFromCharacters(2, arial10), 694);
    EXPECT_EQ(columnWidthFromCharacters(0, arial10), 0);
    EXPECT_EQ(columnWidthPixels(2340, arial10), 64);
    EXPECT_THROW(columnWidthFromCharacters(256, arial10), rw::Failure);
    EXPECT_THROW(columnWidthFromCharacters(-1, arial10), rw::Failure);

    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    EXPECT_EQ(ws.defaultColumnWidth(), 2340);
    EXPECT_EQ(ws.defaultRowHeight(), 255);
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontHeight(400));
    ws.applyStyle(CellRange::cell(3, 2), StyleChange::fontHeight(220));
    EXPECT_EQ(ws.rowHeight(2), 510);
    EXPECT_EQ(ws.rowHeight(3), 285);
    EXPECT_EQ(ws.rowHeight(4), 255);
    ws.setRowHeight(5, 300);
    ws.applyStyle(CellRange::cell(5, 1), StyleChange::fontHeight(400));
    EXPECT_EQ(ws.rowHeight(5), 300);  // a height set by hand stays
    EXPECT_THROW(ws.setRowHeight(6, 0), rw::Failure);
}
