#include "spreadsheet/cell_address.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

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
