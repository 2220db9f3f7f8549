#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "codec_support.h"
#include "platform/failure.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/same_content.h"
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
using rw::test::le16;
using rw::test::le32;
namespace fs = std::filesystem;

namespace {

void expectRoundTrip(const Workbook& wb) {
    const std::vector<std::uint8_t> first = encodeWorkbook(wb);
    const Workbook back = decodeWorkbook(first);
    EXPECT_TRUE(sameContent(wb, back));
    const std::vector<std::uint8_t> second = encodeWorkbook(back);
    EXPECT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second) << "write -> read -> write changed the bytes";
}

Workbook chart(int generations) {
    Workbook wb;
    rw::test::drawChart(wb.activeSheet(), generations);
    return wb;
}

// Many strings: Latin-1, wider characters and one longer than a whole record, so the table runs over
// several CONTINUE records and splits strings inside their characters.
Workbook manyStrings() {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    for (int i = 0; i < 3000; ++i) {
        std::string s = "name " + std::to_string(i);
        if (i % 3 == 1) {
            s += " \xc3\xa4\xc3\xb6";  // a-umlaut o-umlaut: still 8-bit
        } else if (i % 3 == 2) {
            s += " \xe2\x82\xac \xe4\xb8\xad";  // euro sign and a CJK character: UTF-16
        }
        ws.setText(CellRange::cell(i / 10 + 1, i % 10 + 1), s);
    }
    ws.setText(CellRange::cell(400, 1), std::string(9000, 'x'));
    std::string wide;
    for (int i = 0; i < 5000; ++i) {
        wide += "\xe2\x82\xac";
    }
    ws.setText(CellRange::cell(400, 2), wide);
    ws.setText(CellRange::cell(401, 1), "name 7");  // repeats a string: stored once
    return wb;
}

Workbook everything() {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    rw::test::drawChart(ws, 4);
    ws.setNumber(CellRange::cell(30, 1), 3.25);
    ws.setNumber(CellRange::cell(30, 2), -1e100);
    ws.applyStyle(CellRange::cell(30, 3), StyleChange::fontBold(true));
    ws.applyStyle(CellRange::cell(30, 3), StyleChange{StyleChange::Kind::FontItalic, Edge::Left, 1, {}});
    ws.applyStyle(CellRange::cell(30, 3), StyleChange::borderColor(Edge::Bottom, 10));
    ws.applyStyle(CellRange::cell(30, 3), StyleChange::borderLine(Edge::Top, LineStyle::Double));
    ws.applyStyle(CellRange::cell(30, 3), StyleChange::alignment(HorizontalAlignment::Center));
    ws.applyStyle(CellRange::cell(30, 3), StyleChange::shrinkToFit(true));
    ws.applyStyle(CellRange::wholeColumns(8, 9), StyleChange::fill(13));
    ws.setRowHeight(40, 600);
    ws.pageSetup().landscape = true;
    ws.pageSetup().fitToPage = true;
    ws.pageSetup().fitWidth = 1;
    ws.pageSetup().fitHeight = 0;
    ws.pageSetup().centerHorizontally = true;
    ws.pageSetup().footer = "&CPage &P of &N";
    ws.pageSetup().titleRows = std::pair{2, 3};
    wb.setPaletteColor(20, Rgb{1, 2, 3});
    Worksheet& second = wb.addSheet("Second \xc3\xa4");
    second.setText(CellRange::cell(1, 1), "on the second sheet");
    second.merge(parseAddress("A5:C9"));
    wb.setActiveSheet(1);
    return wb;
}

}  // namespace

TEST(RoundTripTest, VariedWorkbooksComeBackByteForByte) {
    expectRoundTrip(Workbook());
    expectRoundTrip(chart(1));
    expectRoundTrip(chart(6));
    expectRoundTrip(manyStrings());
    expectRoundTrip(everything());

    Workbook merges;
    for (int i = 0; i < 1500; ++i) {  // more than one MERGEDCELLS record holds
        merges.activeSheet().merge(CellRange{i * 2 + 1, 1, i * 2 + 1, 3});
    }
    expectRoundTrip(merges);
}

TEST(RoundTripTest, ReadsBackWhatWasWritten) {
    const Workbook wb = everything();
    const Workbook back = decodeWorkbook(encodeWorkbook(wb));
    ASSERT_EQ(back.sheetCount(), 2u);
    EXPECT_EQ(back.activeSheetIndex(), 1u);
    const Worksheet& ws = back.sheet(0);
    EXPECT_EQ(ws.cell(2, 2)->text, "Family Tree for Ann");
    EXPECT_EQ(ws.effectiveStyle(2, 2).font.heightTwips, 400);
    EXPECT_EQ(ws.effectiveStyle(2, 2).font.color, 23);
    EXPECT_EQ(ws.effectiveStyle(2, 6).font.heightTwips, 400);  // the merged area shows the top-left format
    EXPECT_EQ(ws.effectiveStyle(9, 2).fillColor, 50);
    EXPECT_EQ(ws.effectiveStyle(1000, 50).font.name, "Tahoma");
    EXPECT_EQ(ws.cell(30, 2)->number, -1e100);
    EXPECT_TRUE(ws.effectiveStyle(30, 3).shrinkToFit);
    EXPECT_FALSE(ws.effectiveStyle(30, 2).shrinkToFit);
    EXPECT_EQ(ws.rowHeight(2), 510);
    EXPECT_EQ(ws.rowHeight(40), 600);
    EXPECT_EQ(ws.columnWidth(2), 6326);
    EXPECT_EQ(ws.pageSetup(), wb.sheet(0).pageSetup());
    EXPECT_EQ(back.paletteColor(20), (Rgb{1, 2, 3}));
    EXPECT_EQ(back.sheet(1).name(), "Second \xc3\xa4");
    EXPECT_EQ(ws.usedRange(), wb.sheet(0).usedRange());
}

TEST(FileLayoutTest, FollowsTheFormatsRules) {
    const std::vector<std::uint8_t> file = encodeWorkbook(chart(8));
    EXPECT_EQ(file.size() % 512, 0u);
    const std::vector<std::uint8_t> stream = rw::test::workbookStream(file);
    EXPECT_GE(stream.size(), 4096u);
    const auto recs = rw::test::records(stream);
    std::size_t fonts = 0, xfs = 0, mulblanks = 0, blanks = 0;
    std::vector<std::uint32_t> plyPos;
    std::map<std::size_t, std::uint16_t> idAt;
    for (const auto& r : recs) {
        idAt[r.pos] = r.id;
        EXPECT_LE(r.body.size(), biff::kMaxBody);
        if (r.id == biff::kFont) {
            ++fonts;
        } else if (r.id == biff::kXf) {
            const std::uint16_t font = le16(r.body, 0);
            EXPECT_NE(font, 4) << "font index 4 does not exist";
            EXPECT_LE(font, fonts);
            const bool styleXf = le16(r.body, 4) & 0x0004;
            EXPECT_EQ(styleXf, xfs < 15) << "XF " << xfs;
            ++xfs;
        } else if (r.id == biff::kBoundSheet) {
            plyPos.push_back(le32(r.body, 0));
        } else if (r.id == biff::kMulBlank) {
            ++mulblanks;
            const std::size_t n = (r.body.size() - 6) / 2;
            EXPECT_GE(n, 2u);
            EXPECT_EQ(le16(r.body, r.body.size() - 2), le16(r.body, 2) + n - 1);
        } else if (r.id == biff::kBlank || r.id == biff::kLabelSst) {
            EXPECT_GE(le16(r.body, 4), 15) << "cells use cell XFs";
            EXPECT_LT(le16(r.body, 4), xfs);
            blanks += r.id == biff::kBlank;
        }
    }
    EXPECT_GE(fonts, 4u);
    EXPECT_GE(xfs, 16u);
    EXPECT_GT(mulblanks, 0u);  // the merged heading's blanks
    EXPECT_GT(blanks, 0u);
    ASSERT_EQ(plyPos.size(), 1u);
    EXPECT_EQ(idAt[plyPos[0]], biff::kBof);
}

TEST(CompoundFileTest, LargeStreamsUseDifatSectors) {
    std::vector<std::uint8_t> stream(8 * 1024 * 1024 + 123);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        stream[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    }
    const auto file = cfb::writeSingleStream(stream, u"Workbook");
    EXPECT_EQ(file.size() % 512, 0u);
    EXPECT_GT(le32(file, 0x48), 0u) << "DIFAT sectors";
    bool found = false;
    EXPECT_TRUE(cfb::readStream(file, u"WORKBOOK", found) == stream);
    EXPECT_TRUE(found);

    const auto small = cfb::writeSingleStream(std::vector<std::uint8_t>(10, 1), u"Workbook");
    EXPECT_EQ(small.size(), 512u * (1 + 8 + 1 + 1));  // header, 4096 bytes of data, directory, FAT
    EXPECT_EQ(le32(small, 0x44), 0xFFFFFFFEu);
}

class SaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("rw_save_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

TEST_F(SaveTest, ReplacesAnExistingFileOnlyByACompleteOne) {
    const fs::path target = dir_ / "chart.xls";
    std::ofstream(target) << "old contents";
    saveWorkbook(chart(3), target);
    EXPECT_EQ(entries(), 1u) << "no temporary file is left behind";
    EXPECT_TRUE(sameContent(loadWorkbook(target), chart(3)));

    EXPECT_THROW(saveWorkbook(chart(3), dir_ / "missing" / "x.xls"), rw::Failure);
    EXPECT_THROW(saveWorkbook(chart(3), dir_), rw::Failure);
    fs::create_directory(dir_ / "taken.xls");
    std::ofstream(dir_ / "taken.xls" / "inside") << "x";
    EXPECT_THROW(saveWorkbook(chart(3), dir_ / "taken.xls"), rw::Failure);
    EXPECT_EQ(entries(), 2u);
    EXPECT_THROW(loadWorkbook(dir_ / "nothing.xls"), rw::Failure);
}

TEST_F(SaveTest, SavesUnderTheLongestNameTheFolderAllows) {
    // 255 bytes is the longest file name most file systems take; the temporary file must fit as well.
    const fs::path target = dir_ / (std::string(251, 'n') + ".xls");
    saveWorkbook(chart(2), target);
    EXPECT_TRUE(sameContent(loadWorkbook(target), chart(2)));
    EXPECT_EQ(entries(), 1u) << "no temporary file is left behind";
}

TEST_F(SaveTest, KeepsTheWorkbookPrivateAndNeverWritesThroughALink) {
    // A link planted under the target's name is replaced, not followed; the file is its owner's alone.
    const fs::path victim = dir_ / "victim.txt";
    std::ofstream(victim) << "keep me";
    const fs::path target = dir_ / "chart.xls";
    fs::create_symlink(victim, target);
    saveWorkbook(chart(2), target);
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_TRUE(sameContent(loadWorkbook(target), chart(2)));
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(entries(), 2u) << "no temporary file is left behind";
}

TEST_F(SaveTest, AReplacedFileKeepsItsPermissionsAndANewOneGetsTheUsualOnes) {
    const fs::path shared = dir_ / "shared.xls";
    std::ofstream(shared) << "old";
    fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    saveWorkbook(chart(1), shared);
    EXPECT_EQ(fs::status(shared).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const mode_t before = ::umask(027);
    saveWorkbook(chart(1), dir_ / "new.xls");
    ::umask(before);
    EXPECT_EQ(fs::status(dir_ / "new.xls").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(CompoundFileTest, ReadsSmallStreamsFromTheMiniStream) {
    // Built by hand: sector 0 directory, 1 FAT, 2 mini FAT, 3 the mini stream (two 64-byte mini sectors).
    std::vector<std::uint8_t> f(512 * 5, 0);
    const auto p16 = [&](std::size_t at, std::uint32_t v) {
        f[at] = static_cast<std::uint8_t>(v);
        f[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    const auto p32 = [&](std::size_t at, std::uint32_t v) {
        p16(at, v & 0xFFFF);
        p16(at + 2, v >> 16);
    };
    const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(sig), std::end(sig), f.begin());
    p16(0x18, 0x3E);
    p16(0x1A, 3);
    p16(0x1C, 0xFFFE);
    p16(0x1E, 9);
    p16(0x20, 6);
    p32(0x2C, 1);
    p32(0x30, 0);
    p32(0x38, 4096);
    p32(0x3C, 2);
    p32(0x40, 1);
    p32(0x44, 0xFFFFFFFE);
    p32(0x4C, 1);
    for (int i = 1; i < 109; ++i) {
        p32(0x4C + 4 * i, 0xFFFFFFFF);
    }
    const auto entry = [&](int index, const std::u16string& name, std::uint8_t type, std::uint32_t start,
                           std::uint32_t size) {
        const std::size_t base = 512 + 128 * index;
        for (std::size_t i = 0; i < name.size(); ++i) {
            p16(base + 2 * i, name[i]);
        }
        p16(base + 0x40, static_cast<std::uint32_t>((name.size() + 1) * 2));
        f[base + 0x42] = type;
        p32(base + 0x44, 0xFFFFFFFF);
        p32(base + 0x48, 0xFFFFFFFF);
        p32(base + 0x4C, type == 5 ? 1 : 0xFFFFFFFF);
        p32(base + 0x74, start);
        p32(base + 0x78, size);
    };
    entry(0, u"Root Entry", 5, 3, 128);
    entry(1, u"Workbook", 2, 0, 100);
    const std::uint32_t fat[] = {0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFE};
    for (std::size_t i = 0; i < 128; ++i) {
        p32(1024 + 4 * i, i < 4 ? fat[i] : 0xFFFFFFFF);
        p32(1536 + 4 * i, i == 0 ? 1 : (i == 1 ? 0xFFFFFFFE : 0xFFFFFFFF));
    }
    for (std::size_t i = 0; i < 128; ++i) {
        f[2048 + i] = static_cast<std::uint8_t>(i + 1);
    }
    bool found = false;
    const auto s = cfb::readStream(f, u"workbook", found);
    ASSERT_TRUE(found);
    ASSERT_EQ(s.size(), 100u);
    EXPECT_EQ(s[0], 1);
    EXPECT_EQ(s[99], 100);

    p32(1536, 0);  // the mini chain loops back on itself
    EXPECT_THROW(cfb::readStream(f, u"Workbook", found), rw::Failure);
}

TEST(FileLayoutTest, SharedStringIndexPointsAtEachBucketsFirstString) {
    const std::vector<std::uint8_t> stream = rw::test::workbookStream(encodeWorkbook(manyStrings()));
    const auto recs = rw::test::records(stream);
    const auto ext =
        std::find_if(recs.begin(), recs.end(), [](const auto& r) { return r.id == biff::kExtSst; });
    ASSERT_NE(ext, recs.end());
    const std::size_t buckets = (ext->body.size() - 2) / 8;
    EXPECT_GT(buckets, 10u);
    std::size_t sst = 0;
    for (const auto& r : recs) {
        if (r.id == biff::kSst) {
            sst = r.pos;
        }
    }
    for (std::size_t b = 0; b < buckets; ++b) {
        const std::uint32_t ib = le32(ext->body, 2 + 8 * b);
        const std::uint16_t offset = le16(ext->body, 2 + 8 * b + 4);
        const std::size_t recordStart = ib - offset;
        EXPECT_TRUE(recordStart == sst || le16(stream, recordStart) == biff::kContinue) << b;
        if (b == 0) {
            EXPECT_EQ(ib, sst + 12);          // header plus the two counts
            EXPECT_EQ(le16(stream, ib), 6u);  // "name 0"
        }
    }
}

TEST(RoundTripTest, CellsHiddenByAMergedAreaOnlyRepeatItsFormat) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    ws.merge(parseAddress("B2:D4"));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fill(50));
    const auto stream = rw::test::workbookStream(encodeWorkbook(wb));
    std::size_t written = 0;
    for (const auto& r : rw::test::records(stream)) {
        if (r.id == biff::kMulBlank) {
            written += (r.body.size() - 6) / 2;
        }
    }
    EXPECT_EQ(written, 9u);  // every cell of the area carries the fill
    const Workbook back = decodeWorkbook(encodeWorkbook(wb));
    EXPECT_EQ(back.activeSheet().storedCellCount(), 1u);
    EXPECT_TRUE(back.activeSheet().effectiveStyle(4, 4).solidFill);
}

// Sheets with tens of thousands of merged areas must save and open in about the time their size takes;
// a slow path here shows up as a test that never finishes. Overlaps must still be found however far apart
// the two areas sit in the file.
TEST(RoundTripTest, ManyMergedAreasComeBackAndOverlapsAreStillFound) {
    Workbook wb;
    Worksheet& ws = wb.activeSheet();
    constexpr int kAreas = 20000;
    for (int i = 0; i < kAreas; ++i) {
        const int row = i / 100 + 1;
        const int column = i % 100 * 2 + 1;
        ws.merge(CellRange{row, column, row, column + 1});
    }
    ws.merge(CellRange{500, 1, 900, 40});     // tall and wide, over many areas' neighbourhoods
    ws.merge(CellRange{199, 210, 220, 256});  // beside the last rows of small areas
    ws.setText(CellRange{7, 5, 7, 6}, "top-left");
    ws.applyStyle(CellRange{9, 2, 9, 2}, StyleChange::fill(12));  // a hidden cell styles its area
    EXPECT_THROW(ws.setNumber(CellRange::cell(600, 20), 1), rw::Failure);
    ws.merge(CellRange{10, 4, 11, 5});  // absorbs C10:D10, E10:F10, C11:D11 and E11:F11
    ASSERT_EQ(ws.mergedRanges().size(), kAreas + 2u - 3u);
    EXPECT_EQ(ws.mergedRanges().back(), (CellRange{10, 3, 11, 6}));
    EXPECT_EQ(ws.mergedAreaAt(11, 3), (CellRange{10, 3, 11, 6}));
    EXPECT_EQ(ws.mergedAreaAt(200, 200), (CellRange{200, 199, 200, 200}));
    EXPECT_FALSE(ws.mergedAreaAt(201, 1));

    const std::vector<std::uint8_t> file = encodeWorkbook(wb);
    const Workbook back = decodeWorkbook(file);
    EXPECT_TRUE(sameContent(wb, back));
    EXPECT_TRUE(encodeWorkbook(back) == file);
    EXPECT_TRUE(back.activeSheet().effectiveStyle(9, 1).solidFill);
    EXPECT_EQ(back.activeSheet().mergedAreaAt(220, 256), (CellRange{199, 210, 220, 256}));

    // A tall area listed first and a small one far down listed last that reaches into it.
    Workbook bad;
    for (int i = 0; i < 2000; ++i) {
        bad.activeSheet().addMergedRangeUnchecked(CellRange{i + 1, 3, i + 1, 4});
    }
    bad.activeSheet().addMergedRangeUnchecked(CellRange{1, 1, 30000, 1});
    for (int i = 0; i < 2000; ++i) {
        bad.activeSheet().addMergedRangeUnchecked(CellRange{i + 5000, 2, i + 5000, 3});
    }
    bad.activeSheet().addMergedRangeUnchecked(CellRange{29999, 1, 29999, 2});
    try {
        decodeWorkbook(encodeWorkbook(bad));
        ADD_FAILURE() << "overlapping merged areas were accepted";
    } catch (const rw::Failure& f) {
        EXPECT_NE(std::string(f.what()).find("merged areas overlap"), std::string::npos) << f.what();
    }
}
