#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "chart/excel_binding.h"
#include "chart/layout.h"
#include "chart/print_setup.h"
#include "platform/failure.h"
#include "spreadsheet/xls_codec.h"
#include "support/scripted_seams.h"

// Every chart workbook is saved ready to print, through the page set-up the engine gives new sheets: the
// layout's own calls stay as they are.
namespace {

using rw::automation::Dispatch;
using rw::sheet::PageSetup;

PageSetup expectedChartSetUp() {
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

Dispatch newWorkbook(rw::chart::EngineFactory& factory) {
    Dispatch excel(factory.createObject("Excel.Application"));
    return Dispatch(rw::automation::toObject(excel.get("Workbooks").call("Add")));
}

// Lays the chart out on a new workbook of `factory` and saves it to `path`.
void saveChart(rw::chart::EngineFactory& factory, const QString& path, int generations) {
    Dispatch book = newWorkbook(factory);
    rw::test::ScriptedMessageBoxes boxes;
    rw::ErrorTrap trap(boxes, rw::chart::kCreateTemplateReportName);
    rw::chart::layoutFamilyTree(trap, book.get("ActiveSheet"), "Ann", QString::number(generations));
    ASSERT_TRUE(boxes.shown.empty());
    book.call("SaveAs", {path.toStdString()});
    book.call("Close");
}

}  // namespace

TEST(ChartPrintSetupTest, SavedChartsPrintReady) {
    EXPECT_EQ(rw::chart::chartPageSetup(), expectedChartSetUp());

    QTemporaryDir dir;
    rw::chart::EngineFactory factory;
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    for (int generations : {1, 6}) {
        const QString path = dir.filePath(QStringLiteral("chart%1.xls").arg(generations));
        saveChart(factory, path, generations);
        const rw::sheet::Workbook back = rw::sheet::loadWorkbook(path.toStdString());
        EXPECT_EQ(back.sheet(0).pageSetup(), expectedChartSetUp()) << generations << " generations";
        EXPECT_EQ(back.sheet(0).cell(2, 2)->text, "Family Tree for Ann")
            << "the heading is in the title rows";
    }

    // Reopening keeps the file's own set-up: a factory without one does not reset it.
    rw::chart::EngineFactory plain;
    Dispatch excel(plain.createObject("Excel.Application"));
    Dispatch opened(rw::automation::toObject(
        excel.get("Workbooks").call("Open", {dir.filePath(QStringLiteral("chart6.xls")).toStdString()})));
    const QString again = dir.filePath(QStringLiteral("again.xls"));
    opened.call("SaveAs", {again.toStdString()});
    EXPECT_EQ(rw::sheet::loadWorkbook(again.toStdString()).sheet(0).pageSetup(), expectedChartSetUp());
}

TEST(ChartPrintSetupTest, FactoryWithoutASetUpKeepsExcelsDefaults) {
    QTemporaryDir dir;
    rw::chart::EngineFactory factory;
    EXPECT_EQ(factory.newSheetPageSetup(), PageSetup{});
    const QString path = dir.filePath(QStringLiteral("plain.xls"));
    saveChart(factory, path, 3);
    EXPECT_EQ(rw::sheet::loadWorkbook(path.toStdString()).sheet(0).pageSetup(), PageSetup{});

    // An application takes the set-up of its factory when it is created.
    Dispatch before(factory.createObject("Excel.Application"));
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    Dispatch book(rw::automation::toObject(before.get("Workbooks").call("Add")));
    book.call("SaveAs", {path.toStdString()});
    EXPECT_EQ(rw::sheet::loadWorkbook(path.toStdString()).sheet(0).pageSetup(), PageSetup{});
    EXPECT_EQ(rw::sheet::loadWorkbook(path.toStdString()).sheet(0).pageSetup().titleRows, std::nullopt);
}

TEST(ChartPrintSetupTest, ChartToolSavesThePrintSetUp) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tool.xls"));
    QProcess tool;
    tool.start(QStringLiteral(ROOTWEAVE_CHART_TOOL),
               {"--generations", "4", "--name", "Ann", "--output", path});
    ASSERT_TRUE(tool.waitForFinished(60'000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    // The tool's charts print exactly their used range (B2 to the person's box), whatever the program.
    const rw::sheet::Workbook back = rw::sheet::loadWorkbook(path.toStdString());
    PageSetup expected = expectedChartSetUp();
    expected.printArea = rw::sheet::CellRange{2, 2, 19, 6};
    EXPECT_EQ(back.sheet(0).pageSetup(), expected);
    EXPECT_EQ(back.sheet(0).usedRange(), expected.printArea);
}
