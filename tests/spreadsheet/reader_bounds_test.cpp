// Hostile workbooks: what a crafted or damaged file may ask of the reader is refused with a clear message,
// or read at a cost that grows with the file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "book_shapes.h"
#include "platform/failure.h"
#include "spreadsheet/xls_codec.h"

using namespace rw::sheet;
using namespace rw::test::shapes;
namespace fs = std::filesystem;

namespace {

// The failure's description, or "" when the file was read.
std::string refusal(const Bytes& file) {
    try {
        decodeWorkbook(file);
    } catch (const rw::Failure& f) {
        return f.what();
    }
    return "";
}

// Two sheets; the second BOUNDSHEET is moved `shift` bytes from where its sheet begins.
Bytes secondSheetMoved(std::int32_t shift) {
    const Bytes first = number(0, 0, 1) + number(1, 0, 2);
    Bytes s = bookStream(basicGlobals(), {first, number(0, 0, 3)}, {0, 1});
    // The second BOUNDSHEET's position: after the globals' own records and the first BOUNDSHEET.
    const std::size_t at = basicGlobals().size() + (4 + 8 + 2) + 4;
    std::uint32_t pos = s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (std::uint32_t{s[at + 3]} << 24);
    pos = static_cast<std::uint32_t>(static_cast<std::int64_t>(pos) + shift);
    for (int i = 0; i < 4; ++i) {
        s[at + i] = static_cast<std::uint8_t>(pos >> (8 * i));
    }
    return cfb::writeSingleStream(s, u"Workbook");
}

// Eight strings of 65,535 characters, each shown by a cell on every one of 255 sheets: every sheet holds
// its own copy of them, more than the file pays for.
Bytes longStringsOnEverySheet() {
    Bytes body;
    for (std::uint16_t i = 0; i < 8; ++i) {
        body += labelSst(0, i, i);
    }
    return bookFile(basicGlobals(longSst(std::vector<std::string>(8, std::string(65535, 'x')))),
                    std::vector<Bytes>(255, body));
}

}  // namespace

TEST(ReaderBoundsTest, HostileShapesAreRefusedClearly) {
    const struct {
        const char* name;
        Bytes file;
        const char* message;
    } cases[] = {
        {"255 sheets at one place", oneSheetManyTimes(1000), "two sheets claim the same place"},
        {"a sheet inside the one before", secondSheetMoved(-14), "a sheet runs into the next one"},
        {"a sheet that starts mid-record", secondSheetMoved(2), "a sheet does not start where"},
        {"a sheet inside the globals", secondSheetMoved(-10000), "outside the workbook stream"},
        {"a sheet past the stream", secondSheetMoved(100000), "outside the workbook stream"},
        {"3 sheets merged whole", wholeSheetMerges(3), "would need more memory than a file of this size"},
        {"a cell in the last row of 100 sheets",
         bookFile(basicGlobals(), std::vector<Bytes>(100, number(0xFFFF, 0, 1))),
         "would need more memory than a file of this size"},
        {"256 sheets", manySmallSheets(256), "at most 255 sheets"},
        {"long strings on 255 sheets", longStringsOnEverySheet(),
         "would need more memory than a file of this"},
        {"an unknown error value", bookFile(basicGlobals(), {boolErr(0, 0, 0x55, true)}), "unknown boolean"},
        {"a boolean that is 2", bookFile(basicGlobals(), {boolErr(0, 0, 2, false)}), "unknown boolean"},
        {"a formula of unknown kind", bookFile(basicGlobals(), {formulaSpecial(0, 0, 9, 0)}), "unknown kind"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(refusal(c.file).find(c.message), std::string::npos) << c.name << ": " << refusal(c.file);
    }
}

TEST(ReaderBoundsTest, LargeButHonestShapesAreRead) {
    // A whole-sheet merge, and as many small sheets as a workbook may have, are within what their files
    // pay for.
    const Workbook merged = decodeWorkbook(wholeSheetMerges(1));
    EXPECT_EQ(merged.sheet(0).mergedRanges(), std::vector<CellRange>{CellRange::wholeSheet()});

    const Workbook many = decodeWorkbook(manySmallSheets(255));
    ASSERT_EQ(many.sheetCount(), 255u);
    EXPECT_EQ(many.sheet(254).name(), "S255");
    EXPECT_EQ(many.sheet(254).cell(2, 1)->text, "sheet 254");
    EXPECT_EQ(many.sheet(254).cell(3, 2)->number, 254);

    // One long string shown by 20,000 cells is held once; a cell changed later changes alone.
    Workbook shared = decodeWorkbook(oneLongStringInManyCells(65535, 20000));
    Worksheet& ws = shared.sheet(0);
    EXPECT_EQ(ws.cell(79, 32)->text, std::string(65535, 'x'));
    ws.setText(CellRange::cell(1, 1), "changed");
    EXPECT_EQ(ws.cell(1, 1)->text, "changed");
    EXPECT_EQ(ws.cell(1, 2)->text.size(), 65535u);
}

TEST(ReaderBoundsTest, AFileShortenedWhileItIsReadIsRefusedNotFatal) {
    const fs::path path = fs::temp_directory_path() / ("rw_shrinking_" + std::to_string(::getpid()) + ".xls");
    const Bytes whole = denseBlanks(4000);
    const auto write = [&](std::size_t size) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(size));
    };
    write(whole.size());
    std::atomic<bool> done{false};
    std::thread shrinker([&] {
        while (!done) {
            fs::resize_file(path, whole.size() / 3);
            write(whole.size());
        }
    });
    int refused = 0;
    for (int i = 0; i < 30; ++i) {
        try {
            loadWorkbook(path);
        } catch (const rw::Failure&) {
            ++refused;  // a clear failure is fine; ending the process is not
        }
    }
    done = true;
    shrinker.join();
    fs::remove(path);
    EXPECT_LE(refused, 30);
}

TEST(ReaderBoundsTest, FilesThatAreNoWorkbookFilesAreRefusedWithoutReadingThem) {
    const fs::path dir = fs::temp_directory_path() / ("rw_reader_bounds_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path big = dir / "big.xls";
    std::ofstream(big).close();
    fs::resize_file(big, kMaxFileSize + 1);  // sparse: no disk is used
    const fs::path fifo = dir / "fifo.xls";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        fs::path path;
        const char* message;
    } cases[] = {
        {big, "is too large to open: 512 MB, and workbooks of up to 512 MB are read"},
        {fifo, "could not be found"},  // a pipe is never opened for reading, so nothing hangs
        {dir, "could not be found"},
        {dir / "missing.xls", "could not be found"},
    };
    for (const auto& c : cases) {
        try {
            loadWorkbook(c.path);
            ADD_FAILURE() << c.path << " was read";
        } catch (const rw::Failure& f) {
            EXPECT_NE(std::string(f.what()).find(c.message), std::string::npos) << f.what();
        }
    }
    fs::remove_all(dir);
}
