#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/failure.h"
#include "spreadsheet/xlsx_writer.h"

// The .xlsx export keeps its scratch files in the program's temporary folder and leaves nothing there; a
// folder it cannot use is one message naming the folder and its variable, and nothing is written.
namespace {

namespace fs = std::filesystem;
using namespace rw::sheet;

TEST(XlsxTemporaryFolder, ScratchFilesFollowTheRuleAndNothingStays) {
    std::string pattern = "/tmp/rw-xlsx-temp-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern.data());
    fs::create_directory(dir / "scratch");
    std::ofstream(dir / "a-file") << "not a folder";
    const std::string savedTemp = std::getenv("temp") ? std::getenv("temp") : "";
    const std::string savedTmpdir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    struct Case {
        std::string temp;
        std::string tmpdir;
        std::string message;  // empty: saved
    };
    const Case cases[] = {
        {"", (dir / "missing").string(),
         "The temporary folder \"" + (dir / "missing").string() +
             "\" does not exist (it comes from the environment variable TMPDIR)."},
        {(dir / "a-file").string(), (dir / "scratch").string(),
         "The temporary folder \"" + (dir / "a-file").string() +
             "\" is not a folder (it comes from the environment variable temp)."},
        {"", (dir / "scratch").string(), ""},
    };
    Workbook wb;
    wb.activeSheet().setText(CellRange::cell(1, 1), "fine");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.temp + " " + c.tmpdir);
        ::setenv("temp", c.temp.c_str(), 1);
        ::setenv("TMPDIR", c.tmpdir.c_str(), 1);
        const fs::path target = dir / "chart.xlsx";
        try {
            saveWorkbookAsXlsx(wb, target);
            EXPECT_TRUE(c.message.empty()) << "saved";
            std::ifstream in(target, std::ios::binary);
            std::string head(2, '\0');
            in.read(head.data(), 2);
            EXPECT_EQ(head, "PK");
        } catch (const rw::Failure& f) {
            EXPECT_EQ(std::string(f.what()), c.message);
            EXPECT_FALSE(fs::exists(target));
        }
        EXPECT_TRUE(fs::is_empty(dir / "scratch"));
    }
    ::setenv("temp", savedTemp.c_str(), 1);
    ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
    fs::remove_all(dir);
}

}  // namespace
