#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "chart/chart_job.h"
#include "chart/excel_binding.h"
#include "chart/print_setup.h"
#include "spreadsheet/xls_codec.h"
#include "spreadsheet/xlsx_writer.h"
#include "support/run_process.h"
#include "support/scripted_seams.h"

// A chart filled from a family file through the chart job, saved, and read back by xlrd and openpyxl: each
// ancestor's text in its Ahnentafel box, repeated people marked, unknown ones blank, a loop stopped with a
// warning, living people hidden when asked.
namespace rw::chart {
namespace {

// Ann's parents John and Mary are both children of Peter (so Peter appears twice); Mary's mother is unknown;
// Peter's father Adam and Adam's father Carl are each other's fathers in this (bad) file.
constexpr std::string_view kFamily = R"(0 HEAD
1 CHAR UTF-8
0 @I1@ INDI
1 NAME Ann /Smith/
1 BIRT
2 DATE 1950
0 @I2@ INDI
1 NAME John /Smith/
1 BIRT
2 DATE 1920
1 DEAT
2 DATE 1990
0 @I3@ INDI
1 NAME Mary Elizabeth Catherine /Jones/
1 BIRT
2 DATE 1925
1 DEAT
2 DATE 2000
0 @I4@ INDI
1 NAME Peter /Smith/
1 BIRT
2 DATE 1890
1 DEAT
2 DATE 1960
0 @I5@ INDI
1 NAME Adam /Loop/
1 BIRT
2 DATE 1800
0 @I6@ INDI
1 NAME Carl /Loop/
1 BIRT
2 DATE 1770
0 @F1@ FAM
1 HUSB @I2@
1 WIFE @I3@
1 CHIL @I1@
0 @F2@ FAM
1 HUSB @I4@
1 CHIL @I2@
1 CHIL @I3@
0 @F3@ FAM
1 HUSB @I5@
1 CHIL @I4@
0 @F4@ FAM
1 HUSB @I6@
1 CHIL @I5@
0 @F5@ FAM
1 HUSB @I5@
1 CHIL @I6@
0 TRLR
)";

// Six generations: column G holds Ann, F her parents, ... B the 32 boxes of generation 5.
const struct {
    const char* cell;
    const char* text;
} kBoxes[] = {
    {"G36", "Living"},  // Ann, born within 110 years
    {"F20", "John Smith (1920\u20131990)"},
    {"F52", "Mary Jones (1925\u20132000)"},  // middle names dropped to fit
    {"E12", "Peter Smith (1890\u20131960)"},
    {"E44", "Peter Smith (1890\u20131960) \u21BA"},
    {"D8", "Adam Loop (b. 1800)"},
    {"D40", "Adam Loop (b. 1800) \u21BA"},
    {"C6", "Carl Loop (b. 1770)"},
    {"C38", "Carl Loop (b. 1770) \u21BA"},
};

TEST(FilledChartFile, EveryAncestorInItsBoxAsIndependentReadersSeeIt) {
    const family::FamilyFile file = family::readFamilyBytes(kFamily);
    QTemporaryDir dir;
    const QString xls = dir.filePath(QStringLiteral("chart.xls"));
    const QString xlsx = dir.filePath(QStringLiteral("chart.xlsx"));

    test::ScriptedMessageBoxes messages;
    ErrorTrap trap(messages, kCreateTemplateReportName);
    EngineFactory factory;
    factory.setNewSheetPageSetup(chartPageSetup());  // as the program and the tool make charts
    factory.setPrintAreaOverUsedRange(true);
    ChartJob job(trap, factory, ChartJob::AfterReport::Stop);
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.layOut(QStringLiteral("Ann Smith"), QStringLiteral("6"),
                           ChartFill{&file, *file.find("I1"), true, 2026}));
    ASSERT_TRUE(job.saveAs(xls));
    job.finish();
    EXPECT_EQ(trap.reportsShown(), 0);
    ASSERT_EQ(job.warnings().size(), 1u);  // the loop, once
    EXPECT_NE(job.warnings()[0].message.find("Loop"), std::string::npos) << job.warnings()[0].message;

    std::ifstream in(xls.toStdString(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    sheet::exportXlsx(sheet::decodeWorkbook(bytes), xlsx.toStdString());

    QJsonObject boxes;
    for (const auto& b : kBoxes) {
        boxes.insert(QString::fromLatin1(b.cell), QString::fromUtf8(b.text));
    }
    const QString boxesFile = dir.filePath(QStringLiteral("boxes.json"));
    QFile json(boxesFile);
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(QJsonDocument(boxes).toJson());
    json.close();

    const struct {
        const char* checker;
        QString file;
    } checks[] = {{CHART_XLS_CHECK, xls}, {CHART_XLSX_CHECK, xlsx}};
    for (const auto& c : checks) {
        const test::ProcessResult checked = test::runProcess(
            QStringLiteral("/usr/bin/python3"),
            {QString::fromLatin1(c.checker), c.file, "--columns", "6", "--title", "Family Tree for Ann Smith",
             "--subtitle", "6 Generations", "--boxes", boxesFile});
        EXPECT_EQ(checked.out, "OK\n") << c.checker << "\n"
                                       << checked.out.toStdString() << checked.err.toStdString();
    }
}

}  // namespace
}  // namespace rw::chart
