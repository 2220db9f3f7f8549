#include "spreadsheet/workbook.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

using namespace rw::sheet;

TEST(UsedRangeTest, FollowsValuesFormatsAndMergedAreasButNotSheetFormats) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    EXPECT_EQ(ws.usedRange(), CellRange::cell(1, 1));
    ws.applyStyle(CellRange::wholeSheet(), StyleChange::fontName("Tahoma"));
    ws.applyStyle(CellRange::wholeColumns(3, 3), StyleChange::fill(50));
    EXPECT_EQ(ws.usedRange(), CellRange::cell(1, 1));
    EXPECT_EQ(ws.storedCellCount(), 0u);
    ws.applyStyle(CellRange::cell(5, 2), StyleChange::fill(50));
    EXPECT_EQ(ws.usedRange(), CellRange::cell(5, 2));
    ws.merge(parseAddress("B2:F2"));
    EXPECT_EQ(ws.usedRange(), (CellRange{2, 2, 5, 6}));  // the merge area counts whole
    ws.setNumber(CellRange::cell(9, 1), 3.5);
    EXPECT_EQ(ws.usedRange(), (CellRange{2, 1, 9, 6}));
}

TEST(MergeTest, KeepsTopLeftAndAbsorbsOverlaps) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    ws.setText(CellRange::cell(2, 2), "kept");
    ws.setText(CellRange::cell(2, 4), "dropped");
    ws.applyStyle(CellRange::cell(2, 5), StyleChange::fill(50));
    ws.merge(parseAddress("B2:F2"));
    EXPECT_EQ(ws.cell(2, 2)->text, "kept");
    EXPECT_FALSE(ws.cell(2, 4).has_value());
    EXPECT_FALSE(ws.effectiveStyle(2, 5).solidFill);

    // A change to any cell of the area changes the area.
    ws.applyStyle(CellRange::cell(2, 6), StyleChange::fill(50));
    EXPECT_TRUE(ws.effectiveStyle(2, 2).solidFill);
    EXPECT_TRUE(ws.effectiveStyle(2, 4).solidFill);
    EXPECT_EQ(ws.storedCellCount(), 1u);

    // Values cannot go into part of a merged area.
    EXPECT_THROW(ws.setText(CellRange::cell(2, 3), "x"), rw::Failure);
    EXPECT_THROW(ws.setText(parseAddress("C2:G2"), "x"), rw::Failure);
    ws.setText(parseAddress("B2:F2"), "whole");
    EXPECT_EQ(ws.cell(2, 2)->text, "whole");

    ws.merge(parseAddress("F1:G3"));  // overlaps: the areas join into B1:G3
    ASSERT_EQ(ws.mergedRanges().size(), 1u);
    EXPECT_EQ(ws.mergedRanges()[0], (CellRange{1, 2, 3, 7}));
    EXPECT_EQ(ws.mergedAreaAt(3, 7), (CellRange{1, 2, 3, 7}));

    ws.merge(CellRange::cell(10, 10));  // a single cell is left alone
    EXPECT_EQ(ws.mergedRanges().size(), 1u);
}

TEST(ValueTest, TextLimitsAndEncoding) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    ws.setText(CellRange::cell(1, 1), std::string(32767, 'a'));
    EXPECT_THROW(ws.setText(CellRange::cell(1, 2), std::string(32768, 'a')), rw::Failure);
    EXPECT_THROW(ws.setText(CellRange::cell(1, 3), "\xc3"), rw::Failure);          // cut short
    EXPECT_THROW(ws.setText(CellRange::cell(1, 3), "\xed\xa0\x80"), rw::Failure);  // a surrogate
    EXPECT_THROW(ws.setNumber(CellRange::cell(1, 3), 1.0 / 0.0), rw::Failure);
    EXPECT_THROW(ws.setText(CellRange::wholeSheet(), "x"), rw::Failure);  // far too many cells
    ws.setText(CellRange::cell(1, 1), "");
    EXPECT_EQ(ws.cell(1, 1)->kind, ValueKind::Empty);
}

TEST(MergeTest, LargeAreasAreFoundAndAbsorbedLikeSmallOnes) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    ws.merge(parseAddress("A1:IV2000"));  // more than a 64th of the sheet: listed apart from the tiles
    EXPECT_EQ(ws.mergedAreaAt(1, 1), parseAddress("A1:IV2000"));  // the only area: no tiles made yet
    EXPECT_FALSE(ws.mergedAreaAt(2001, 1).has_value());
    ws.applyStyle(CellRange::cell(2001, 1), StyleChange::fill(50));
    EXPECT_FALSE(ws.effectiveStyle(2000, 9).solidFill);

    ws.merge(parseAddress("B2002:C2003"));
    EXPECT_EQ(ws.mergedAreaAt(2000, 256), parseAddress("A1:IV2000"));
    EXPECT_EQ(ws.mergedAreaAt(500, 17), parseAddress("A1:IV2000"));
    EXPECT_EQ(ws.mergedAreaAt(2003, 3), parseAddress("B2002:C2003"));
    EXPECT_THROW(ws.setText(CellRange::cell(2000, 2), "x"), rw::Failure);

    ws.merge(parseAddress("C1999:D2002"));  // touches both: they join
    ASSERT_EQ(ws.mergedRanges().size(), 1u);
    EXPECT_EQ(ws.mergedAreaAt(2003, 256), parseAddress("A1:IV2003"));
    EXPECT_EQ(ws.mergedAreaAt(1, 1), parseAddress("A1:IV2003"));
    EXPECT_FALSE(ws.mergedAreaAt(2004, 1).has_value());
}
