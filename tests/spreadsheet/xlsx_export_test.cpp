#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/failure.h"
#include "spreadsheet/xlsx_package_check.h"
#include "spreadsheet/xlsx_writer.h"

// The .xlsx export of workbooks the chart never makes (the chart itself is checked cell by cell through
// rootweave-chart): what the format cannot hold is refused with nothing written, and what it can hold is
// read back by openpyxl, an independent reader.
namespace {

namespace fs = std::filesystem;
using namespace rw::sheet;

struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "rw-xlsx-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(XlsxExportTest, RefusesWhatTheFormatCannotHoldAndWritesNothing) {
    struct Case {
        const char* what;
        std::function<void(Workbook&)> spoil;
        const char* message;
    };
    const Case cases[] = {
        {"a text over 32,767 characters",
         [](Workbook& wb) { wb.activeSheet().putText(7, 3, std::string(32768, 'x')); },
         "The workbook cannot be saved as .xlsx: cell C7 of the sheet \"Sheet1\" holds a text of 32768 "
         "characters; a cell holds at most 32,767 characters"},
        {"a number that is not a number",
         [](Workbook& wb) { wb.activeSheet().putNumber(2, 1, std::nan("")); },
         "The workbook cannot be saved as .xlsx: cell A2 of the sheet \"Sheet1\" holds a number that is "
         "infinite or not a number"},
        {"a footer over 255 characters",
         [](Workbook& wb) { wb.activeSheet().pageSetup().footer = std::string(256, 'f'); },
         "The workbook cannot be saved as .xlsx: the page set-up of the sheet \"Sheet1\" has a page header "
         "or footer longer than 255 characters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path kept = dir.path / "kept.xlsx";
        std::ofstream(kept) << "an earlier file";
        Workbook wb;
        wb.activeSheet().setText(CellRange::cell(1, 1), "fine");
        c.spoil(wb);
        for (const fs::path& target : {kept, dir.path / "new.xlsx"}) {
            try {
                saveWorkbookAsXlsx(wb, target);
                ADD_FAILURE() << "saved " << target;
            } catch (const rw::Failure& f) {
                EXPECT_EQ(std::string(f.what()), c.message);
            }
        }
        EXPECT_EQ(readFile(kept), "an earlier file");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
    }
}

// Nothing but the workbook goes into the file: exported a second apart (the creation time is stored to the
// second), one workbook gives the same bytes.
TEST(XlsxExportTest, TwoExportsOfOneWorkbookAreTheSameBytes) {
    Workbook wb;
    wb.activeSheet().setText(CellRange::cell(2, 2), "Family Tree for Ann");
    wb.activeSheet().merge(parseAddress("B2:F2"));
    const std::vector<std::uint8_t> first = encodeWorkbookAsXlsx(wb);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(encodeWorkbookAsXlsx(wb), first);
}

// A file that cannot be read back whole is a failed save, never an empty or shorter workbook.
TEST(XlsxExportTest, AFileThatCannotBeReadBackIsAFailure) {
    TempDir dir;
    for (const fs::path& unreadable : {dir.path / "missing.xlsx", dir.path}) {
        SCOPED_TRACE(unreadable);
        EXPECT_THROW(readBackXlsx(unreadable), rw::Failure);
    }
}

// Read back by openpyxl: a merged area over several rows with values beside it in its lower rows (which
// rules out writing row by row), numbers, truth values and errors, fonts, palette colours and a second,
// active sheet.
TEST(XlsxExportTest, WorkbooksBeyondTheChartReadBackWhole) {
    if (!fs::exists("/usr/bin/python3") ||
        std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-openpyxl is not installed (tools/deps.sh installs it)";
    }
    TempDir dir;
    Workbook wb;
    Worksheet& first = wb.activeSheet();
    first.merge(parseAddress("B2:C4"));
    first.setText(CellRange::cell(2, 2), "merged");
    first.setNumber(CellRange::cell(3, 4), 2.5);
    first.setNumber(CellRange::cell(4, 1), -7);
    first.putBoolean(5, 1, true);
    first.putError(6, 1, 0x07);  // #DIV/0!
    first.applyStyle(CellRange::cell(3, 4), StyleChange::fontBold(true));
    first.applyStyle(CellRange::cell(3, 4), StyleChange::fontColor(10));  // red
    first.applyStyle(CellRange::cell(4, 1), StyleChange::fontColor(8));   // black
    first.applyStyle(CellRange::cell(4, 1), StyleChange::fill(12));       // blue
    Worksheet& second = wb.addSheet("Second");
    second.setText(CellRange::cell(1, 1), "\xC3\xA9t\xC3\xA9");
    wb.setActiveSheet(1);
    const fs::path path = dir.path / "general.xlsx";
    saveWorkbookAsXlsx(wb, path);

    const std::string script =
        "import openpyxl, sys\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "a, b = wb.worksheets\n"
        "got = [wb.sheetnames, wb.active.title, [str(r) for r in a.merged_cells.ranges], a['B2'].value,\n"
        "       a['D3'].value, a['D3'].font.b, a['D3'].font.color.rgb, a['A4'].value, "
        "a['A4'].font.color.rgb,\n"
        "       a['A4'].fill.fgColor.rgb, a['A5'].value, a['A6'].value, b['A1'].value]\n"
        "want = [['Sheet1', 'Second'], 'Second', ['B2:C4'], 'merged', 2.5, True, 'FFFF0000', -7,\n"
        "        'FF000000', 'FF0000FF', True, '=#DIV/0!', '\\u00e9t\\u00e9']\n"
        "print('OK' if got == want else got)\n";
    const fs::path scriptPath = dir.path / "check.py";
    std::ofstream(scriptPath) << script;
    const std::string command = "/usr/bin/python3 '" + scriptPath.string() + "' '" + path.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    ::pclose(pipe);
    EXPECT_EQ(out, "OK\n");
}

}  // namespace
