#include "spreadsheet/workbook.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "spreadsheet/text.h"

using namespace rw::sheet;

TEST(AddressTest, ParsesEveryFormTheObjectModelUses) {
    EXPECT_EQ(parseAddress("B2"), CellRange::cell(2, 2));
    EXPECT_EQ(parseAddress(" b2:f2 "), (CellRange{2, 2, 2, 6}));
    EXPECT_EQ(parseAddress("$A$1"), CellRange::cell(1, 1));
    EXPECT_EQ(parseAddress("F3:B2"), (CellRange{2, 2, 3, 6}));  // corners in any order
    EXPECT_EQ(parseAddress("A:A"), CellRange::wholeColumns(1, 1));
    EXPECT_EQ(parseAddress("D:B"), CellRange::wholeColumns(2, 4));
    EXPECT_EQ(parseAddress("3:5"), CellRange::wholeRows(3, 5));
    EXPECT_EQ(parseAddress("IV65536"), CellRange::cell(65536, 256));
}

TEST(AddressTest, RefusesWhatDoesNotParseOrLiesOutsideTheSheet) {
    for (const char* bad : {"", "  ", "A0", "IW1", "A65537", "A1:B", "A:1", "1A", "A1:B2:C3", "AAAA1",
                            "A1 B2", "A$", "$1", "A1:", "A1000000000000"}) {
        EXPECT_THROW(parseAddress(bad), rw::Failure) << bad;
    }
}

TEST(AddressTest, FormatsAndNamesColumns) {
    EXPECT_EQ(columnName(1), "A");
    EXPECT_EQ(columnName(26), "Z");
    EXPECT_EQ(columnName(27), "AA");
    EXPECT_EQ(columnName(256), "IV");
    EXPECT_EQ(formatAddress(CellRange{2, 2, 2, 6}), "B2:F2");
    EXPECT_EQ(formatAddress(CellRange::wholeColumns(1, 1)), "A:A");
    EXPECT_EQ(formatAddress(CellRange::wholeRows(3, 3)), "3:3");
    EXPECT_THROW(checkCell(0, 1), rw::Failure);
    EXPECT_THROW(checkCell(1, 257), rw::Failure);
    EXPECT_NO_THROW(checkCell(65536, 256));
}

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

TEST(TextTest, ConvertsBetweenUtf8AndUtf16) {
    namespace text = rw::sheet::text;
    EXPECT_EQ(text::toUtf16("A\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"),
              (std::u16string{u'A', 0xE4, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(text::toUtf8(std::u16string{u'A', 0xE4, 0x20AC, 0xD83D, 0xDE00}),
              "A\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(text::toUtf8(std::u16string{0xD800, u'x'}), "\xef\xbf\xbdx");  // a lone surrogate
    EXPECT_TRUE(text::isLatin1(u"abc\u00ff"));
    EXPECT_FALSE(text::isLatin1(u"\u20ac"));
    for (const char* bad : {"\x80", "\xc0\xaf", "\xe0\x80\xaf", "\xf4\x90\x80\x80", "\xf8", "\xe2\x82"}) {
        EXPECT_THROW(text::toUtf16(bad), rw::Failure) << bad;
    }
}
