#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>

#include "codec_support.h"
#include "platform/failure.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/same_content.h"
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
using rw::test::le16;
using rw::test::RawRecord;
namespace fs = std::filesystem;

namespace {

PageSetup printReady() {
    PageSetup ps;
    ps.landscape = true;
    ps.fitToPage = true;
    ps.fitWidth = 1;
    ps.fitHeight = 0;
    ps.titleRows = std::pair{2, 3};
    ps.centerHorizontally = true;
    ps.footer = "&CPage &P of &N";
    return ps;
}

// Three sheets; the first and the third repeat rows at the top, the second does not.
Workbook threeSheets() {
    Workbook wb;
    rw::test::drawChart(wb.activeSheet(), 5);
    wb.activeSheet().pageSetup() = printReady();
    wb.addSheet("Plain").setText(CellRange::cell(1, 1), "no titles");
    Worksheet& third = wb.addSheet("Third");
    third.setText(CellRange::cell(70000 / 2, 1), "far down");
    PageSetup& ps = third.pageSetup();
    ps.titleRows = std::pair{1, kMaxRows};
    ps.scalePercent = 55;
    ps.centerVertically = true;
    ps.header = "&L\xc3\x84nn &R&D";
    ps.leftMargin = 0.25;
    ps.footerMargin = 0.1;
    return wb;
}

std::vector<RawRecord> globalsOf(const std::vector<std::uint8_t>& file) {
    std::vector<RawRecord> out;
    for (auto& r : rw::test::records(rw::test::workbookStream(file))) {
        out.push_back(r);
        if (r.id == biff::kEof) {
            break;
        }
    }
    return out;
}

std::size_t indexOf(const std::vector<RawRecord>& recs, std::uint16_t id) {
    for (std::size_t i = 0; i < recs.size(); ++i) {
        if (recs[i].id == id) {
            return i;
        }
    }
    return recs.size();
}

// The description of the failure, or "" when there was none.
std::string failureOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const rw::Failure& f) {
        return f.what();
    }
    return "";
}

// Rewrites the globals of a file with print titles on its first sheet. BOUNDSHEET positions are patched,
// since edits change the length of the globals.
std::vector<std::uint8_t> withGlobals(const std::function<void(std::vector<RawRecord>&)>& edit) {
    Workbook wb;
    rw::test::drawChart(wb.activeSheet(), 2);
    wb.activeSheet().pageSetup() = printReady();
    auto recs = rw::test::records(rw::test::workbookStream(encodeWorkbook(wb)));
    const std::size_t eof = indexOf(recs, biff::kEof);
    std::vector<RawRecord> globals(recs.begin(), recs.begin() + static_cast<std::ptrdiff_t>(eof + 1));
    std::vector<RawRecord> rest(recs.begin() + static_cast<std::ptrdiff_t>(eof + 1), recs.end());
    edit(globals);
    std::size_t length = 0;
    for (const RawRecord& r : globals) {
        length += 4 + r.body.size();
    }
    for (RawRecord& r : globals) {
        if (r.id == biff::kBoundSheet) {
            for (int i = 0; i < 4; ++i) {
                r.body[i] = static_cast<std::uint8_t>(length >> (8 * i));
            }
        }
    }
    globals.insert(globals.end(), rest.begin(), rest.end());
    return cfb::writeSingleStream(rw::test::joinRecords(globals), u"Workbook");
}

RawRecord& nameRecord(std::vector<RawRecord>& recs) {
    return recs[indexOf(recs, biff::kName)];
}

// A NAME record as another program may write it: flags, one-character or longer name, formula.
RawRecord name(std::uint16_t flags, std::u16string text, std::vector<std::uint8_t> rgce, std::uint16_t itab) {
    RawRecord r{biff::kName, 0, {}};
    auto& b = r.body;
    b = {static_cast<std::uint8_t>(flags),
         static_cast<std::uint8_t>(flags >> 8),
         0,
         static_cast<std::uint8_t>(text.size()),
         static_cast<std::uint8_t>(rgce.size()),
         static_cast<std::uint8_t>(rgce.size() >> 8),
         0,
         0,
         static_cast<std::uint8_t>(itab),
         static_cast<std::uint8_t>(itab >> 8),
         0,
         0,
         0,
         0,
         0};
    for (char16_t c : text) {
        b.push_back(static_cast<std::uint8_t>(c));
    }
    b.insert(b.end(), rgce.begin(), rgce.end());
    return r;
}

std::vector<std::uint8_t> area3d(std::uint16_t ixti, std::uint16_t rw1, std::uint16_t rw2, std::uint16_t c1,
                                 std::uint16_t c2) {
    std::vector<std::uint8_t> t{biff::kPtgArea3d};
    for (std::uint16_t v : {ixti, rw1, rw2, c1, c2}) {
        t.push_back(static_cast<std::uint8_t>(v));
        t.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return t;
}

std::optional<std::pair<std::int32_t, std::int32_t>> titlesRead(const std::vector<std::uint8_t>& file) {
    return decodeWorkbook(file).sheet(0).pageSetup().titleRows;
}

}  // namespace

TEST(PrintSetupTest, ComesBackEqualAndByteForByte) {
    const Workbook wb = threeSheets();
    const std::vector<std::uint8_t> first = encodeWorkbook(wb);
    const Workbook back = decodeWorkbook(first);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.sheet(i).pageSetup(), wb.sheet(i).pageSetup()) << "sheet " << i;
    }
    EXPECT_EQ(back.sheet(0).pageSetup(), printReady());
    EXPECT_FALSE(back.sheet(1).pageSetup().titleRows);
    EXPECT_EQ(back.sheet(2).pageSetup().titleRows, (std::pair{1, kMaxRows}));
    EXPECT_TRUE(sameContent(wb, back));
    EXPECT_TRUE(encodeWorkbook(back) == first) << "write -> read -> write changed the bytes";
}

TEST(PrintSetupTest, TitleRowsAreANameLocalToTheirSheet) {
    const auto globals = globalsOf(encodeWorkbook(threeSheets()));
    const std::size_t country = indexOf(globals, biff::kCountry);
    const std::size_t supBook = indexOf(globals, biff::kSupBook);
    const std::size_t externSheet = indexOf(globals, biff::kExternSheet);
    const std::size_t firstName = indexOf(globals, biff::kName);
    const std::size_t sst = indexOf(globals, biff::kSst);
    ASSERT_LT(sst, globals.size());
    EXPECT_TRUE(country < supBook && supBook + 1 == externSheet && externSheet + 1 == firstName &&
                firstName + 2 == sst)
        << "COUNTRY, SUPBOOK, EXTERNSHEET, two NAMEs, SST";

    // A reference to the workbook itself, with its three sheets.
    EXPECT_EQ(globals[supBook].body, (std::vector<std::uint8_t>{3, 0, 0x01, 0x04}));
    // Two entries: sheet 0 and sheet 2 of that reference.
    EXPECT_EQ(globals[externSheet].body,
              (std::vector<std::uint8_t>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0}));
    // Built-in Print_Titles of sheet 1: rows 2-3, all columns, through entry 0.
    EXPECT_EQ(globals[firstName].body,
              (std::vector<std::uint8_t>{0x20, 0,    0,    1, 11, 0, 0, 0, 1, 0, 0, 0,    0, 0,
                                         0,    0x07, 0x3B, 0, 0,  1, 0, 2, 0, 0, 0, 0xFF, 0}));
    const RawRecord& second = globals[firstName + 1];
    EXPECT_EQ(le16(second.body, 8), 3) << "local to the third sheet";
    EXPECT_EQ(le16(second.body, 17), 1) << "second entry";
    EXPECT_EQ(le16(second.body, 19), 0);
    EXPECT_EQ(le16(second.body, 21), 0xFFFF);

    // Without title rows none of these records is written.
    Workbook plain;
    plain.activeSheet().pageSetup().landscape = true;
    const auto none = globalsOf(encodeWorkbook(plain));
    for (std::uint16_t id : {biff::kSupBook, biff::kExternSheet, biff::kName}) {
        EXPECT_EQ(indexOf(none, id), none.size()) << "record " << id;
    }
}

TEST(PrintSetupTest, SheetRecordsHoldTheSetUp) {
    Workbook wb;
    wb.activeSheet().pageSetup() = printReady();
    std::map<std::uint16_t, std::vector<std::uint8_t>> sheet;
    bool inSheet = false;
    for (auto& r : rw::test::records(rw::test::workbookStream(encodeWorkbook(wb)))) {
        if (r.id == biff::kBof) {
            inSheet = le16(r.body, 2) == 0x0010;
        } else if (inSheet) {
            sheet[r.id] = r.body;
        }
    }
    EXPECT_TRUE(le16(sheet[biff::kWsBool], 0) & 0x0100) << "fit to pages";
    EXPECT_EQ(le16(sheet[biff::kHCenter], 0), 1);
    EXPECT_EQ(le16(sheet[biff::kVCenter], 0), 0);
    const auto& setup = sheet[biff::kSetup];
    ASSERT_EQ(setup.size(), 34u);
    EXPECT_EQ(le16(setup, 0), 9) << "A4";
    EXPECT_EQ(le16(setup, 6), 1) << "one page wide";
    EXPECT_EQ(le16(setup, 8), 0) << "as many pages tall as needed";
    EXPECT_EQ(le16(setup, 10) & 0x46, 0) << "landscape, with printer data, orientation set";
    const auto& footer = sheet[biff::kFooter];
    EXPECT_EQ(std::string(footer.begin() + 3, footer.end()), "&CPage &P of &N");
}

TEST(PrintSetupTest, WriterRefusesWhatTheFileCannotHold) {
    const std::vector<std::pair<const char*, std::function<void(PageSetup&)>>> cases = {
        {"scale 9", [](PageSetup& p) { p.scalePercent = 9; }},
        {"scale 401", [](PageSetup& p) { p.scalePercent = 401; }},
        {"fit width", [](PageSetup& p) { p.fitWidth = 32768; }},
        {"fit height", [](PageSetup& p) { p.fitHeight = 65535; }},
        {"negative margin", [](PageSetup& p) { p.leftMargin = -0.1; }},
        {"margin of 49 inches", [](PageSetup& p) { p.bottomMargin = 49; }},
        {"margin not a number", [](PageSetup& p) { p.footerMargin = std::nan(""); }},
        {"infinite margin", [](PageSetup& p) { p.topMargin = std::numeric_limits<double>::infinity(); }},
        {"long footer", [](PageSetup& p) { p.footer = std::string(256, 'x'); }},
        {"long wide header",
         [](PageSetup& p) {
             for (int i = 0; i < 128; ++i) {
                 p.header += "\xe2\x82\xac\xe2\x82\xac";
             }
         }},
        {"title row 0",
         [](PageSetup& p) {
             p.titleRows = std::pair{0, 2};
         }},
        {"title rows reversed",
         [](PageSetup& p) {
             p.titleRows = std::pair{3, 2};
         }},
        {"title rows past the sheet",
         [](PageSetup& p) {
             p.titleRows = std::pair{1, kMaxRows + 1};
         }},
    };
    const fs::path dir = fs::temp_directory_path() / "rw_print_setup_refusals";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& [what, edit] : cases) {
        Workbook wb;
        wb.addSheet("Odd");
        edit(wb.sheet(1).pageSetup());
        const std::string why = failureOf([&] { saveWorkbook(wb, dir / "refused.xls"); });
        EXPECT_NE(why.find("The page set-up of the sheet \"Odd\" cannot be saved"), std::string::npos)
            << what << ": " << why;
    }
    EXPECT_TRUE(fs::is_empty(dir)) << "a refused workbook leaves no file behind";
    fs::remove_all(dir);

    // The limits themselves are fine.
    Workbook edges;
    PageSetup& ps = edges.activeSheet().pageSetup();
    ps.scalePercent = 400;
    ps.fitWidth = ps.fitHeight = 32767;
    ps.leftMargin = 0;
    ps.rightMargin = 48.99;
    ps.footer = std::string(255, 'x');
    ps.titleRows = std::pair{kMaxRows, kMaxRows};
    EXPECT_EQ(decodeWorkbook(encodeWorkbook(edges)).sheet(0).pageSetup(), ps);
}

TEST(PrintSetupTest, ReaderKeepsOnlyTitleRowsItUnderstands) {
    const auto replaceName = [](RawRecord r) {
        return withGlobals([&](std::vector<RawRecord>& g) { nameRecord(g) = r; });
    };
    // Whole rows, and the union of title columns and rows that Excel writes when both are set.
    EXPECT_EQ(titlesRead(replaceName(name(0x20, u"\x07", area3d(0, 4, 6, 0, 0xFF), 1))), (std::pair{5, 7}));
    std::vector<std::uint8_t> both{biff::kPtgMemFunc, 22, 0};
    for (auto part : {area3d(0, 0, 0xFFFF, 0, 1), area3d(0, 1, 2, 0, 0xFF)}) {
        both.insert(both.end(), part.begin(), part.end());
    }
    both.push_back(biff::kPtgUnion);
    EXPECT_EQ(titlesRead(replaceName(name(0x20, u"\x07", both, 1))), (std::pair{2, 3}));
    auto valueClass = area3d(0, 0, 0, 0, 0xFF);
    valueClass[0] = 0x5B;
    EXPECT_EQ(titlesRead(replaceName(name(0x20, u"\x07", valueClass, 1))), (std::pair{1, 1}));

    // Skipped safely: title columns only, a part of the row, a user's name, another built-in name, a name
    // of the whole workbook, a reversed area, an unknown token, a token cut short.
    const std::vector<std::pair<const char*, RawRecord>> skipped = {
        {"columns", name(0x20, u"\x07", area3d(0, 0, 0xFFFF, 0, 2), 1)},
        {"part of a row", name(0x20, u"\x07", area3d(0, 1, 2, 1, 0xFF), 1)},
        {"user name", name(0, u"Titles", area3d(0, 1, 2, 0, 0xFF), 1)},
        {"Print_Area", name(0x20, u"\x06", area3d(0, 1, 2, 0, 0xFF), 1)},
        {"global", name(0x20, u"\x07", area3d(0, 1, 2, 0, 0xFF), 0)},
        {"reversed", name(0x20, u"\x07", area3d(0, 5, 2, 0, 0xFF), 1)},
        {"unknown token", name(0x20, u"\x07", {0x1E, 7, 0}, 1)},
        {"token cut short", name(0x20, u"\x07", {biff::kPtgArea3d, 0, 0, 1, 0}, 1)},
        {"empty formula", name(0x20, u"\x07", {}, 1)},
    };
    for (const auto& [what, rec] : skipped) {
        std::optional<std::pair<std::int32_t, std::int32_t>> titles;
        const std::string why = failureOf([&] { titles = titlesRead(replaceName(rec)); });
        EXPECT_EQ(why, "") << what;
        EXPECT_FALSE(titles) << what;
    }

    // A reference to another sheet or another workbook is not this sheet's titles.
    const auto withReference = [](std::vector<std::uint8_t> supBook, std::vector<std::uint8_t> xti) {
        return withGlobals([&](std::vector<RawRecord>& g) {
            g[indexOf(g, biff::kSupBook)].body = supBook;
            g[indexOf(g, biff::kExternSheet)].body = xti;
        });
    };
    EXPECT_FALSE(titlesRead(withReference({1, 0, 1, 4}, {1, 0, 0, 0, 1, 0, 1, 0})));
    EXPECT_FALSE(titlesRead(withReference({1, 0, 2, 0, 0, 'A', 'B'}, {1, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(titlesRead(withReference({1, 0, 1, 4}, {1, 0, 5, 0, 0, 0, 0, 0})));

    // A long NAME goes on in a CONTINUE record.
    const auto continued = withGlobals([](std::vector<RawRecord>& g) {
        RawRecord& n = nameRecord(g);
        RawRecord tail{biff::kContinue, 0, std::vector<std::uint8_t>(n.body.begin() + 20, n.body.end())};
        n.body.resize(20);
        g.insert(g.begin() + static_cast<std::ptrdiff_t>(indexOf(g, biff::kName) + 1), tail);
    });
    EXPECT_EQ(titlesRead(continued), (std::pair{2, 3}));
}

TEST(PrintSetupTest, ReaderRefusesMalformedNamesAndReferences) {
    const std::vector<std::pair<const char*, std::function<void(std::vector<RawRecord>&)>>> cases = {
        {"NAME cut short", [](auto& g) { nameRecord(g).body.resize(10); }},
        {"NAME formula past its end",
         [](auto& g) { nameRecord(g).body.resize(nameRecord(g).body.size() - 1); }},
        {"NAME name past its end", [](auto& g) { nameRecord(g).body[3] = 200; }},
        {"EXTERNSHEET cut short",
         [](auto& g) { g[indexOf(g, biff::kExternSheet)].body = {2, 0, 0, 0, 0, 0, 0, 0}; }},
        {"EXTERNSHEET without a count", [](auto& g) { g[indexOf(g, biff::kExternSheet)].body = {}; }},
        {"SUPBOOK cut short",
         [](auto& g) {
             g[indexOf(g, biff::kSupBook)].body = {1, 0};
         }},
        {"reference that does not exist", [](auto& g) { nameRecord(g).body[17] = 1; }},
        {"sheet that does not exist", [](auto& g) { nameRecord(g).body[8] = 2; }},
    };
    for (const auto& [what, edit] : cases) {
        const std::string why = failureOf([&] { decodeWorkbook(withGlobals(edit)); });
        EXPECT_EQ(why.rfind("The file is damaged: ", 0), 0u) << what << ": " << why;
    }
}

TEST(PrintSetupTest, ReaderFallsBackToDefaultsForValuesItCannotUse) {
    // Another program's sheet records with values the format does not allow, or leaves undefined.
    Workbook wb;
    wb.activeSheet().pageSetup().landscape = true;
    auto recs = rw::test::records(rw::test::workbookStream(encodeWorkbook(wb)));
    const auto edited = [&](const std::function<void(RawRecord&)>& edit, std::uint16_t id) {
        auto copy = recs;
        for (std::size_t i = indexOf(copy, biff::kEof) + 1; i < copy.size(); ++i) {
            if (copy[i].id == id) {
                edit(copy[i]);
            }
        }
        return decodeWorkbook(cfb::writeSingleStream(rw::test::joinRecords(copy), u"Workbook"))
            .sheet(0)
            .pageSetup();
    };
    const auto setWord = [](std::size_t at, std::uint16_t v) {
        return [=](RawRecord& r) {
            r.body[at] = static_cast<std::uint8_t>(v);
            r.body[at + 1] = static_cast<std::uint8_t>(v >> 8);
        };
    };
    EXPECT_EQ(edited(setWord(2, 0), biff::kSetup).scalePercent, 100);
    EXPECT_EQ(edited(setWord(2, 1000), biff::kSetup).scalePercent, 100);
    EXPECT_EQ(edited(setWord(6, 40000), biff::kSetup).fitWidth, 1);
    EXPECT_EQ(edited(setWord(8, 40000), biff::kSetup).fitHeight, 1);
    const PageSetup noPrinterData = edited(
        [&](RawRecord& r) {
            setWord(10, 0x0004)(r);  // no printer data: paper, scale and orientation are undefined
            setWord(2, 50)(r);
        },
        biff::kSetup);
    EXPECT_FALSE(noPrinterData.landscape);
    EXPECT_EQ(noPrinterData.scalePercent, 100);
    EXPECT_FALSE(edited(setWord(10, 0x0040), biff::kSetup).landscape) << "orientation not set";
    const auto badDouble = [](std::size_t at) {
        return [=](RawRecord& r) {
            for (int i = 0; i < 8; ++i) {
                r.body[at + i] = 0xFF;  // not a number
            }
        };
    };
    EXPECT_EQ(edited(badDouble(16), biff::kSetup).headerMargin, 0.5);
    EXPECT_EQ(edited(badDouble(0), biff::kLeftMargin).leftMargin, 0.75);
    const PageSetup farMargin = edited(setWord(6, 0x4060), biff::kTopMargin);  // 128 inches
    EXPECT_EQ(farMargin.topMargin, 1.0);

    // Whatever was read saves again.
    auto copy = recs;
    for (auto& r : copy) {
        if (r.id == biff::kSetup) {
            setWord(2, 0)(r);
            badDouble(16)(r);
        }
    }
    const Workbook odd = decodeWorkbook(cfb::writeSingleStream(rw::test::joinRecords(copy), u"Workbook"));
    EXPECT_EQ(failureOf([&] { encodeWorkbook(odd); }), "");

    // A footer longer than the format allows is a damaged file.
    const auto longFooter = [&](RawRecord& r) {
        r.body = {0x2C, 0x01, 0};  // 300 characters
        r.body.insert(r.body.end(), 300, 'x');
    };
    EXPECT_EQ(failureOf([&] { edited(longFooter, biff::kFooter); }),
              "The file is damaged: a page header or footer is longer than 255 characters");
}

TEST(PrintSetupTest, IndependentReaderSeesThePrintSetUp) {
    const char* source = std::getenv("ROOTWEAVE_SOURCE_DIR");
    const std::string tree = source ? source : ROOTWEAVE_SOURCE_DIR;
    if (!fs::exists("/usr/bin/python3") ||
        std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-xlrd is not installed";
    }
    const fs::path path = fs::temp_directory_path() / "rw_print_setup_xlrd.xls";
    saveWorkbook(threeSheets(), path);
    const std::string command = "/usr/bin/python3 '" + tree + "/tests/spreadsheet/xlrd_print_check.py' '" +
                                path.string() + "' > '" + path.string() + ".out' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream out(path.string() + ".out");
    const std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_EQ(status, 0) << text;
    EXPECT_EQ(text, "OK\n");
    fs::remove(path);
    fs::remove(path.string() + ".out");
}
