#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "chart/excel1.h"
#include "chart/excel_binding.h"
#include "chart/layout.h"
#include "chart/picture_clipboard.h"
#include "platform/error_report.h"
#include "spreadsheet/picture_sheets.h"
#include "spreadsheet/range_picture.h"
#include "spreadsheet/xls_codec.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

using automation::Dispatch;
using chart::Excel1::saveCellsActivesheet;

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The line numbers of the reports shown, each checked to be the snapshot's own report.
std::vector<int> reportedLines(const test::ScriptedMessageBoxes& boxes) {
    static const QRegularExpression line(
        QStringLiteral("\r\nin Rootweave7/29/2014\\.Excel1\\.saveCellsActivesheet at line (\\d+)\r\r"));
    std::vector<int> lines;
    for (const test::ShownBox& b : boxes.shown) {
        const QRegularExpressionMatch m = line.match(b.text);
        EXPECT_TRUE(m.hasMatch()) << b.text.toStdString();
        lines.push_back(m.hasMatch() ? m.captured(1).toInt() : -1);
    }
    return lines;
}

// The engine with CopyPicture wired to a clipboard in memory, and a folder for files.
struct Snapshot : ::testing::Test {
    test::MemoryClipboard clipboard;
    chart::PictureClipboard pictures{clipboard};
    chart::EngineFactory engine{pictures.sink()};
    test::ScriptedMessageBoxes boxes;
    QTemporaryDir dir;
    QString picturePath = dir.filePath("temp.bmp");

    // A new workbook in a new instance; the instance lives as long as the workbook reference.
    Dispatch newWorkbook(chart::EngineFactory& factory) {
        Dispatch excel(factory.createObject("Excel.Application"));
        return Dispatch(automation::toObject(excel.get("Workbooks").call("Add")));
    }

    // Lays out the chart, saves it and reopens it the way the generation run does; returns the reopened
    // workbook (the last one of its instance) and the saved file's path.
    std::pair<Dispatch, QString> savedChart(int generations) {
        const QString path = dir.filePath("qarlow12345678.xls");
        {
            Dispatch book = newWorkbook(engine);
            test::ScriptedMessageBoxes layoutBoxes;
            ErrorTrap trap(layoutBoxes, chart::kCreateTemplateReportName);
            chart::layoutFamilyTree(trap, book.get("ActiveSheet"), "Ann", QString::number(generations));
            EXPECT_TRUE(layoutBoxes.shown.empty());
            book.call("SaveAs", {path.toStdString()});
            book.call("Close");
        }
        const Dispatch excel = chart::Excel1::openExcelWorkbook(engine, path);
        const automation::Variant count = excel.get("Workbooks").value("count");
        return {excel.get("Workbooks", {count}), path};
    }
};

TEST_F(Snapshot, ChartPictureGoesToTheFileAndStaysOnTheClipboard) {
    writeFile(picturePath, "an older picture that must go");
    const auto [book, xlsPath] = savedChart(4);
    saveCellsActivesheet(book, picturePath, boxes, clipboard);
    EXPECT_TRUE(boxes.shown.empty());

    const QByteArray written = readFile(picturePath);
    EXPECT_TRUE(written.startsWith("<?xml")) << "SVG whatever the extension says";
    EXPECT_EQ(written, clipboard.svg);
    EXPECT_FALSE(clipboard.png.isEmpty());                         // small enough for a raster copy too
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary left behind

    // The file shows the used range of the saved sheet: lime at every box.
    const sheet::Workbook saved = sheet::loadWorkbook(xlsPath.toStdString());
    const sheet::Worksheet& ws = saved.activeSheet();
    const sheet::RangeGeometry g = sheet::rangeGeometry(ws, ws.usedRange());
    const QImage image = test::rasterise(written);
    ASSERT_EQ(image.size(), QSize(g.width(), g.height()));
    for (const test::ChartBox& b : test::chartBoxes(4)) {
        EXPECT_TRUE(test::isLime(image.pixel((g.leftOf(b.column) + g.rightOf(b.column)) / 2,
                                             (g.topOf(b.row) + g.bottomOf(b.row)) / 2)));
    }
    const QImage raster = QImage::fromData(clipboard.png, "PNG");
    EXPECT_EQ(raster.size(), image.size());
}

TEST_F(Snapshot, UsedRangeEndingInRowOneOrColumnOneWritesNothing) {
    clipboard.svg = "what the user had";
    Dispatch empty = newWorkbook(engine);
    saveCellsActivesheet(empty, picturePath, boxes, clipboard);

    Dispatch rowOne = newWorkbook(engine);
    rowOne.get("ActiveSheet").get("Range", {std::string("B1:E1")}).let("Value", std::string("x"));
    saveCellsActivesheet(rowOne, picturePath, boxes, clipboard);

    Dispatch columnOne = newWorkbook(engine);
    columnOne.get("ActiveSheet").get("Range", {std::string("A2:A9")}).let("Value", std::string("x"));
    saveCellsActivesheet(columnOne, picturePath, boxes, clipboard);

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(QFile::exists(picturePath));
    EXPECT_EQ(clipboard.svg, "what the user had");
}

TEST_F(Snapshot, TheTestUsesTheLastRowAndColumnNotTheCounts) {
    // One cell at C3: one row and one column, but row 3 and column 3, so it is pictured, exactly.
    Dispatch book = newWorkbook(engine);
    book.get("ActiveSheet")
        .get("Cells", {std::int32_t{3}, std::int32_t{3}})
        .get("Interior")
        .let("ColorIndex", std::int16_t{3});
    saveCellsActivesheet(book, picturePath, boxes, clipboard);
    EXPECT_TRUE(boxes.shown.empty());
    const QImage image = test::rasterise(readFile(picturePath));
    sheet::Workbook model;
    const int w = sheet::columnWidthPixels(model.activeSheet().defaultColumnWidth(), model.defaultFont());
    EXPECT_EQ(image.size(), QSize(w + 1, model.activeSheet().defaultRowHeight() / 15 + 1));
    EXPECT_EQ(image.pixel(w / 2, 5), qRgb(0xFF, 0, 0));
}

TEST_F(Snapshot, NoActiveSheetReportsOneHundredToOneHundredFourAndWritesNothing) {
    test::RecordingAutomation world;
    world.failWith = [](const test::RecordedCall& c) -> std::optional<std::string> {
        if (c.member == "ActiveSheet") {
            return "Object variable or With block variable not set";
        }
        return std::nullopt;
    };
    clipboard.svg = "what the user had";
    saveCellsActivesheet(world.root("Workbook"), picturePath, boxes, clipboard);
    EXPECT_EQ(reportedLines(boxes), (std::vector<int>{100, 102, 104}));
    EXPECT_FALSE(QFile::exists(picturePath));
    EXPECT_EQ(clipboard.svg, "what the user had");
    // Nothing was asked beyond the active sheet.
    ASSERT_EQ(world.calls.size(), 1u);
}

TEST_F(Snapshot, FailedCopyReportsOneHundredTenAndStillSavesWhatTheClipboardHolds) {
    chart::EngineFactory noPictures;  // CopyPicture fails
    Dispatch book = newWorkbook(noPictures);
    book.get("ActiveSheet").get("Range", {std::string("B2:C3")}).let("Value", std::string("x"));

    saveCellsActivesheet(book, picturePath, boxes, clipboard);
    EXPECT_EQ(reportedLines(boxes), (std::vector<int>{110, 112}));  // and the clipboard held no picture
    EXPECT_FALSE(QFile::exists(picturePath));

    boxes.shown.clear();
    clipboard.svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1\" height=\"1\"/>";
    saveCellsActivesheet(book, picturePath, boxes, clipboard);
    EXPECT_EQ(reportedLines(boxes), (std::vector<int>{110}));
    EXPECT_EQ(readFile(picturePath), clipboard.svg);
}

TEST_F(Snapshot, UnwritablePathReportsOneHundredTwelve) {
    const auto [book, xlsPath] = savedChart(2);
    for (const QString& bad : {dir.filePath("no such folder/temp.bmp"), dir.path(), QString()}) {
        boxes.shown.clear();
        saveCellsActivesheet(book, bad, boxes, clipboard);
        EXPECT_EQ(reportedLines(boxes), (std::vector<int>{112})) << bad.toStdString();
    }
    EXPECT_FALSE(clipboard.svg.isEmpty());  // the copy itself worked
    EXPECT_FALSE(QFile::exists(dir.filePath("no such folder")));
}

// --- the picture clipboard and picture files -------------------------------------------------------------

TEST(PictureClipboard, SmallPicturesAlsoGoAsPngLargeOnesOnlyAsSvg) {
    test::MemoryClipboard clipboard;
    chart::PictureClipboard pictures(clipboard);
    sheet::Workbook book;
    test::buildChart(book.activeSheet(), "Ann", 3);
    pictures.copy(book.activeSheet(), book.activeSheet().usedRange());
    const sheet::RangePicture expected =
        sheet::renderRangePicture(book.activeSheet(), book.activeSheet().usedRange());
    EXPECT_EQ(clipboard.svg, QByteArray::fromStdString(expected.svg));
    const QImage png = QImage::fromData(clipboard.png, "PNG");
    ASSERT_EQ(png.size(), QSize(expected.width, expected.height));
    const sheet::RangeGeometry g = sheet::rangeGeometry(book.activeSheet(), book.activeSheet().usedRange());
    EXPECT_TRUE(test::isLime(png.pixel((g.leftOf(2) + g.rightOf(2)) / 2, (g.topOf(5) + g.bottomOf(5)) / 2)));

    // Fourteen generations: far over the pixel budget, so no raster copy; the SVG (1.5 MB) is written
    // into the clipboard's buffer in pieces, and arrives whole.
    sheet::Workbook large;
    test::buildChart(large.activeSheet(), "Ann", 14);
    pictures.copy(large.activeSheet(), large.activeSheet().usedRange());
    EXPECT_TRUE(clipboard.png.isEmpty());
    const std::string whole = sheet::pictureSvg(*pictures.lastCopied().shapes);
    ASSERT_GT(whole.size(), std::size_t{1} << 20);
    EXPECT_TRUE(clipboard.svg == QByteArray::fromStdString(whole));
    EXPECT_TRUE(chart::rasterisePicture("not a picture", QSize(10, 10)).isEmpty());
}

TEST(PictureFiles, WritesReplaceSafelyAndFailuresNameThePath) {
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.svg");
    writeFile(path, "old");
    chart::writePictureFile(path, "new picture");
    EXPECT_EQ(readFile(path), "new picture");
    try {
        chart::writePictureFile(dir.filePath("missing/chart.svg"), "x");
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_NE(f.description().find("missing/chart.svg"), std::string::npos) << f.description();
    }
    EXPECT_EQ(readFile(path), "new picture");

    sheet::Workbook book;
    test::buildChart(book.activeSheet(), "Ann", 2);
    chart::writeRangePicture(book.activeSheet(), path);
    EXPECT_EQ(readFile(path),
              QByteArray::fromStdString(
                  sheet::renderRangePicture(book.activeSheet(), book.activeSheet().usedRange()).svg));
}

}  // namespace
}  // namespace rw
