#include <gtest/gtest.h>

#include <functional>

#include "codec_support.h"
#include "platform/failure.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
using rw::test::le32;
using rw::test::RawRecord;

namespace {

std::vector<std::uint8_t> sampleFile() {
    Workbook wb;
    rw::test::drawChart(wb.activeSheet(), 3);
    wb.activeSheet().setNumber(CellRange::cell(20, 1), 1);
    return encodeWorkbook(wb);
}

// The failure's description, or "" when the input was accepted.
std::string refusal(const std::vector<std::uint8_t>& file) {
    try {
        decodeWorkbook(file);
    } catch (const rw::Failure& f) {
        return f.what();
    } catch (const std::exception& e) {
        return std::string("unexpected exception: ") + e.what();
    }
    return "";
}

// Edits the records of the sample's workbook stream and wraps them in a new container.
std::vector<std::uint8_t> withRecords(const std::function<void(std::vector<RawRecord>&)>& edit) {
    auto recs = rw::test::records(rw::test::workbookStream(sampleFile()));
    edit(recs);
    return cfb::writeSingleStream(rw::test::joinRecords(recs), u"Workbook");
}

RawRecord* find(std::vector<RawRecord>& recs, std::uint16_t id) {
    for (auto& r : recs) {
        if (r.id == id) {
            return &r;
        }
    }
    return nullptr;
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace

TEST(BadContainerTest, RefusesWhatIsNotACompoundFile) {
    EXPECT_NE(refusal({}), "");
    EXPECT_NE(refusal(std::vector<std::uint8_t>(100, 0xD0)), "");
    EXPECT_NE(refusal(std::vector<std::uint8_t>(4096, 0)), "");
    auto file = sampleFile();
    file[0x1C] = 0xFF;  // byte order
    EXPECT_NE(refusal(file), "");
    file = sampleFile();
    file[0x1E] = 10;  // sector size 1024 is no version we know
    EXPECT_NE(refusal(file), "");
}

TEST(BadContainerTest, RefusesBrokenSectorBookkeeping) {
    const auto good = sampleFile();
    ASSERT_EQ(refusal(good), "");
    const std::size_t sectors = good.size() / 512 - 1;

    auto file = good;
    put32(file, 0x2C, 100000);  // absurd FAT count
    EXPECT_NE(refusal(file), "");

    file = good;
    put32(file, 0x4C, static_cast<std::uint32_t>(sectors + 50));  // FAT sector past the end
    EXPECT_NE(refusal(file), "");

    file = good;
    put32(file, 0x30, static_cast<std::uint32_t>(sectors + 3));  // directory past the end
    EXPECT_NE(refusal(file), "");

    // A loop: the stream's second sector points back to its first.
    file = good;
    const std::size_t fatSector = le32(file, 0x4C);
    put32(file, (fatSector + 1) * 512 + 4, 0);
    EXPECT_NE(refusal(file).find("loop"), std::string::npos) << refusal(file);

    // The chain ends before the stated size.
    file = good;
    put32(file, (fatSector + 1) * 512 + 4 * 2, 0xFFFFFFFE);
    EXPECT_NE(refusal(file), "");

    // The directory claims a stream larger than the file.
    file = good;
    const std::size_t dirSector = le32(file, 0x30);
    put32(file, (dirSector + 1) * 512 + 128 + 0x78, 0x7FFFFFFF);
    EXPECT_NE(refusal(file).find("larger than the file"), std::string::npos);

    // Cut short in the middle of the stream's sectors.
    file = good;
    file.resize(512 * 3);
    EXPECT_NE(refusal(file), "");
}

TEST(BadContainerTest, NamesAMissingOrOlderWorkbookStream) {
    auto file = cfb::writeSingleStream(std::vector<std::uint8_t>(5000, 0), u"Other");
    EXPECT_NE(refusal(file).find("no Workbook stream"), std::string::npos);
    file = cfb::writeSingleStream(std::vector<std::uint8_t>(5000, 0), u"Book");
    EXPECT_NE(refusal(file).find("older Excel format"), std::string::npos);
}

TEST(BadRecordsTest, RefusesEachMalformedRecord) {
    const auto cases = std::vector<std::pair<const char*, std::function<void(std::vector<RawRecord>&)>>>{
        {"no BOF first", [](auto& r) { r.erase(r.begin()); }},
        {"BIFF5 BOF", [](auto& r) { r[0].body[1] = 0x05; }},
        {"record over 8224 bytes", [](auto& r) { find(r, biff::kWriteAccess)->body.resize(9000, ' '); }},
        {"globals without EOF",
         [](auto& r) {
             r.erase(std::find_if(r.begin(), r.end(), [](auto& x) { return x.id == biff::kEof; }), r.end());
         }},
        {"sheet offset past the end",
         [](auto& r) { put32(find(r, biff::kBoundSheet)->body, 0, 0x00FFFFFF); }},
        {"sheet offset not at a BOF", [](auto& r) { put32(find(r, biff::kBoundSheet)->body, 0, 0); }},
        {"cell with a format that does not exist",
         [](auto& r) {
             auto* c = find(r, biff::kBlank);
             c->body[4] = 0xFF;
             c->body[5] = 0x0F;
         }},
        {"shared string index past the table",
         [](auto& r) { put32(find(r, biff::kLabelSst)->body, 6, 999); }},
        {"absurd shared string count", [](auto& r) { put32(find(r, biff::kSst)->body, 4, 0x7FFFFFFF); }},
        {"shared strings cut short", [](auto& r) { find(r, biff::kSst)->body.resize(12); }},
        {"MULBLANK columns that do not add up",
         [](auto& r) { find(r, biff::kMulBlank)->body.back() = 0x40; }},
        {"MULBLANK too short", [](auto& r) { find(r, biff::kMulBlank)->body.resize(6); }},
        {"MERGEDCELLS count that does not match", [](auto& r) { find(r, biff::kMergeCells)->body[0] = 9; }},
        {"overlapping merged areas",
         [](auto& r) {
             auto& b = find(r, biff::kMergeCells)->body;
             b[2 + 8] = 1;  // second area starts on the first's row
             b[2 + 8 + 1] = 0;
         }},
        {"merged area outside the sheet",
         [](auto& r) {
             auto& b = find(r, biff::kMergeCells)->body;
             b[6] = 0;  // colFirst 0x100
             b[7] = 1;
         }},
        {"column record outside the sheet", [](auto& r) { find(r, biff::kColInfo)->body[1] = 1; }},
        {"cell record cut short", [](auto& r) { find(r, biff::kBlank)->body.resize(3); }},
        {"wrong palette size",
         [](auto& r) {
             auto it = std::find_if(r.begin(), r.end(), [](auto& x) { return x.id == biff::kStyle; });
             r.insert(it + 1, RawRecord{biff::kPalette, 0, {56, 0, 1, 2, 3}});
         }},
        {"no fonts", [](auto& r) { std::erase_if(r, [](auto& x) { return x.id == biff::kFont; }); }},
        {"no worksheet",
         [](auto& r) { std::erase_if(r, [](auto& x) { return x.id == biff::kBoundSheet; }); }},
        {"sheet without EOF",
         [](auto& r) {
             auto it = std::find_if(r.rbegin(), r.rend(), [](auto& x) { return x.id == biff::kEof; });
             r.erase(std::next(it).base());
         }},
        {"invalid number",
         [](auto& r) {
             auto& b = find(r, biff::kNumber)->body;
             b[12] = 0xFF;
             b[13] = 0x7F;
         }},
        // RK numbers keep the top 30 bits of a double, which can spell infinity or not-a-number too.
        {"infinite RK number",
         [](auto& r) {
             auto* c = find(r, biff::kNumber);
             c->id = biff::kRk;
             c->body.resize(10);
             put32(c->body, 6, 0x7FF00000);
         }},
        {"not-a-number in a MULRK",
         [](auto& r) {
             auto* c = find(r, biff::kNumber);
             c->id = biff::kMulRk;
             const std::uint8_t column = c->body[2];
             c->body.resize(12);
             put32(c->body, 6, 0x7FF80000 | 0x01);
             c->body[10] = column;
             c->body[11] = 0;
         }},
    };
    for (const auto& [what, edit] : cases) {
        const std::string why = refusal(withRecords(edit));
        EXPECT_NE(why, "") << what << " was accepted";
        EXPECT_EQ(why.find("unexpected"), std::string::npos) << what << ": " << why;
    }
}

TEST(BadRecordsTest, SkipsRecordsItDoesNotKnow) {
    const auto file = withRecords([](auto& r) {
        r.insert(r.begin() + 1, RawRecord{0x1234, 0, {1, 2, 3}});
        auto& ply = find(r, biff::kBoundSheet)->body;
        put32(ply, 0, le32(ply, 0) + 7);  // the sheet moved by the inserted record
        r.insert(r.end() - 1, RawRecord{0x0999, 0, std::vector<std::uint8_t>(100, 7)});
    });
    EXPECT_EQ(refusal(file), "");
}

TEST(BadRecordsTest, EveryTruncationIsRefusedNotCrashed) {
    const auto good = sampleFile();
    for (std::size_t cut = 0; cut < good.size(); cut += 97) {
        std::vector<std::uint8_t> part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::string why = refusal(part);
        EXPECT_EQ(why.find("unexpected"), std::string::npos) << cut << ": " << why;
    }
    // Flipping single bytes anywhere never crashes either.
    for (std::size_t at = 0; at < good.size(); at += 13) {
        auto bad = good;
        bad[at] ^= 0xA5;
        const std::string why = refusal(bad);
        EXPECT_EQ(why.find("unexpected"), std::string::npos) << at << ": " << why;
    }
}
