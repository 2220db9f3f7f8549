#include "spreadsheet/workbook.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

using namespace rw::sheet;

TEST(SheetNameTest, RefusesNamesExcelRefuses) {
    Workbook wb;
    EXPECT_THROW(wb.addSheet("Sheet1"), rw::Failure);
    EXPECT_THROW(wb.addSheet("SHEET1"), rw::Failure);
    EXPECT_THROW(wb.addSheet(""), rw::Failure);
    EXPECT_THROW(wb.addSheet(std::string(32, 'x')), rw::Failure);
    EXPECT_THROW(wb.addSheet("a/b"), rw::Failure);
    EXPECT_THROW(wb.addSheet("'quoted'"), rw::Failure);
    EXPECT_NO_THROW(wb.addSheet("Chart \xc3\xa4"));
    EXPECT_EQ(wb.sheetCount(), 2u);
}

TEST(PaletteTest, ColorIndexesMapToTheDefaultPalette) {
    Workbook wb;
    EXPECT_EQ(wb.paletteColor(50), (Rgb{0x99, 0xCC, 0x00}));  // ColorIndex 43
    EXPECT_EQ(wb.paletteColor(23), (Rgb{0x80, 0x80, 0x80}));  // ColorIndex 16
    EXPECT_EQ(wb.paletteColor(8), (Rgb{0, 0, 0}));
    EXPECT_EQ(wb.paletteColor(63), (Rgb{0x33, 0x33, 0x33}));
    EXPECT_EQ(wb.paletteColor(kAutomaticFontColor), (Rgb{0, 0, 0}));
    EXPECT_EQ(wb.paletteColor(kAutomaticBackground), (Rgb{255, 255, 255}));
    EXPECT_FALSE(wb.hasCustomPalette());
    EXPECT_THROW(wb.setPaletteColor(64, Rgb{}), rw::Failure);
}
