#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "support/run_process.h"

// The rootweave-chart executable with the real engine: each saved workbook is read back by xlrd, an
// independent reader, through chart_xls_check.py.
namespace {

using Result = rw::test::ProcessResult;
using rw::test::runProcess;

Result chartTool(const QStringList& args) {
    return runProcess(QStringLiteral(ROOTWEAVE_CHART_TOOL), args);
}

bool engineMissing(const Result& r) {
    return r.err.contains(QStringLiteral("The spreadsheet engine is not available yet"));
}

struct ChartCase {
    const char* generations;
    const char* name;
    int columns;  // generation columns drawn
};

class ChartToolWithEngine : public ::testing::TestWithParam<ChartCase> {};

TEST_P(ChartToolWithEngine, SavesExactlyTheChart) {
    const ChartCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.xls"));
    const Result made =
        chartTool({"--generations", c.generations, "--name", QString::fromUtf8(c.name), "--output", path});
    if (engineMissing(made)) {
        GTEST_SKIP() << "the spreadsheet engine is not built yet";
    }
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.isEmpty()) << made.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"chart.xls"});

    const Result checked =
        runProcess(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(CHART_XLS_CHECK), path, "--columns", QString::number(c.columns), "--title",
                    "Family Tree for " + QString::fromUtf8(c.name), "--subtitle",
                    QString::fromUtf8(c.generations) + " Generations"});
    EXPECT_EQ(checked.exitCode, 0) << checked.out.toStdString() << checked.err.toStdString();
    EXPECT_EQ(checked.out, "OK\n");
}

INSTANTIATE_TEST_SUITE_P(Generations, ChartToolWithEngine,
                         ::testing::Values(ChartCase{"1", "", 1}, ChartCase{"2", "Ada", 2},
                                           ChartCase{"3", "Ada Lovelace", 3}, ChartCase{"6", "Zo\xC3\xAB", 6},
                                           ChartCase{"10", "Ten", 10}, ChartCase{"15", "Fifteen", 15},
                                           ChartCase{"2.5", "Half", 3}, ChartCase{"0", "Nobody", 0}),
                         [](const ::testing::TestParamInfo<ChartCase>& info) {
                             std::string name = std::string("Text") + info.param.generations;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

// The same charts as .xlsx, chosen by the output's ending in any case, read back by openpyxl.
struct XlsxCase {
    const char* generations;
    const char* name;
    const char* file;
};

class ChartToolXlsx : public ::testing::TestWithParam<XlsxCase> {};

TEST_P(ChartToolXlsx, SavesExactlyTheChart) {
    const XlsxCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8(c.file));
    const Result made =
        chartTool({"--generations", c.generations, "--name", QString::fromUtf8(c.name), "--output", path});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(made.out, "Wrote " + path + "\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QString::fromUtf8(c.file)});

    const Result checked = runProcess(QStringLiteral("/usr/bin/python3"),
                                      {QStringLiteral(CHART_XLSX_CHECK), path, "--columns", c.generations,
                                       "--title", "Family Tree for " + QString::fromUtf8(c.name),
                                       "--subtitle", QString::fromUtf8(c.generations) + " Generations"});
    EXPECT_EQ(checked.exitCode, 0) << checked.out.toStdString() << checked.err.toStdString();
    EXPECT_EQ(checked.out, "OK\n");
}

INSTANTIATE_TEST_SUITE_P(Generations, ChartToolXlsx,
                         ::testing::Values(XlsxCase{"1", "", "one.xlsx"},
                                           XlsxCase{"3", "Zo\xC3\xAB Lovelace", "Three.XLSX"},
                                           XlsxCase{"15", "Fifteen", "fifteen.xLsx"}),
                         [](const ::testing::TestParamInfo<XlsxCase>& info) {
                             return std::string("Text") + info.param.generations;
                         });

TEST(ChartToolProcess, BadInputExitsNonZeroWithAMessage) {
    QTemporaryDir dir;
    const Result tooMany =
        chartTool({"--generations", "16", "--name", "x", "--output", dir.filePath("a.xls")});
    EXPECT_EQ(tooMany.exitCode, 2);
    EXPECT_EQ(tooMany.err,
              "rootweave-chart: Number of generations must be 15 or fewer.\n"
              "Try 'rootweave-chart --help'.\n");
    const Result missing = chartTool({"--generations", "3"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith("rootweave-chart: missing --name, --output\n"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(ChartToolProcess, AnOutputTheEngineCannotWriteExitsNonZero) {
    // /proc takes no new files, not even from root.
    const Result r =
        chartTool({"--generations", "2", "--name", "x", "--output", "/proc/rootweave-chart-test.xls"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("rootweave-chart: ")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists("/proc/rootweave-chart-test.xls"));
}

// Pictures from the real engine: each format read back by something other than the code that wrote it.
struct PixelCounts {
    int lime = 0;
    int white = 0;
    int other = 0;
};

PixelCounts countPixels(const QImage& image) {
    PixelCounts counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
            (pixel == 0x99CC00 ? counts.lime : pixel == 0xFFFFFF ? counts.white : counts.other) += 1;
        }
    }
    return counts;
}

// The first page of a PDF drawn by poppler's pdftoppm at `dpi`.
QImage firstPdfPage(const QString& pdf, int dpi) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    EXPECT_FALSE(pdftoppm.isEmpty()) << "pdftoppm is missing (poppler-utils; tools/deps.sh installs it)";
    if (pdftoppm.isEmpty()) {
        return {};
    }
    const QString stem = pdf + QStringLiteral("-page");
    const Result drawn = runProcess(
        pdftoppm, {"-r", QString::number(dpi), "-f", "1", "-l", "1", "-png", "-singlefile", pdf, stem});
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err.toStdString();
    return QImage(stem + QStringLiteral(".png"));
}

TEST(ChartToolPictures, SvgPngAndPdfOfOneChart) {
    QTemporaryDir dir;
    auto make = [&](const QString& picture) {
        const Result made = chartTool({"--generations", "4", "--name", "Ada", "--output",
                                       dir.filePath("chart.xls"), "--picture", dir.filePath(picture)});
        EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
        EXPECT_TRUE(made.err.isEmpty()) << made.err.toStdString();
        EXPECT_TRUE(made.out.endsWith("Wrote " + dir.filePath(picture) + "\n")) << made.out.toStdString();
    };
    make(QStringLiteral("chart.svg"));
    make(QStringLiteral("chart.png"));
    make(QStringLiteral("chart.pdf"));

    QSvgRenderer svg(dir.filePath("chart.svg"));
    ASSERT_TRUE(svg.isValid());
    const QSize size = svg.defaultSize();
    EXPECT_GT(size.width(), 800);       // columns A to F
    EXPECT_GT(size.height(), 16 * 17);  // two heading rows and 16 box rows, at least
    QFile svgFile(dir.filePath("chart.svg"));
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    const QByteArray svgBytes = svgFile.readAll();
    EXPECT_TRUE(svgBytes.contains("Family Tree for Ada"));
    EXPECT_TRUE(svgBytes.contains("4 Generations"));

    QImage png;
    ASSERT_TRUE(png.load(dir.filePath("chart.png"), "PNG"));
    EXPECT_EQ(png.size(), size);
    const PixelCounts pngCounts = countPixels(png);
    EXPECT_GT(pngCounts.lime, 15 * 100);  // 15 boxes of a column's width and a row's height
    EXPECT_GT(pngCounts.white, pngCounts.lime);

    // The page is the picture at 96 pixels an inch: drawn at 96 dpi it is the picture's size again.
    const QImage page = firstPdfPage(dir.filePath("chart.pdf"), 96);
    ASSERT_FALSE(page.isNull());
    EXPECT_LE(std::abs(page.width() - size.width()), 1);
    EXPECT_LE(std::abs(page.height() - size.height()), 1);
    const PixelCounts pdfCounts = countPixels(page);
    EXPECT_GT(pdfCounts.lime, pngCounts.lime / 2);
    EXPECT_GT(pdfCounts.white, pdfCounts.lime);
}

TEST(ChartToolPictures, TheDeepestChartFitsOnePdfPageAndIsTooLargeForPng) {
    QTemporaryDir dir;
    const Result pdf = chartTool({"--generations", "15", "--name", "Deep", "--output",
                                  dir.filePath("deep.xls"), "--picture", dir.filePath("deep.pdf")});
    ASSERT_EQ(pdf.exitCode, 0) << pdf.err.toStdString();
    // Scaled down to 200 inches tall; at 9 dpi the page is 1800 pixels tall, and not blank.
    const QImage page = firstPdfPage(dir.filePath("deep.pdf"), 9);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.height(), 1800);
    EXPECT_LT(page.width(), 20);
    const PixelCounts counts = countPixels(page);
    EXPECT_GT(counts.other + counts.lime, page.width() * page.height() / 4);

    const Result png = chartTool({"--generations", "15", "--name", "Deep", "--output",
                                  dir.filePath("other.xls"), "--picture", dir.filePath("deep.png")});
    EXPECT_EQ(png.exitCode, 1);
    EXPECT_TRUE(png.err.contains("too large for PNG")) << png.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("deep.png")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("other.xls")));
}

TEST(ChartToolPictures, AnUnwritablePictureExitsNonZeroAndWritesNoWorkbook) {
    QTemporaryDir dir;
    const Result r = chartTool({"--generations", "2", "--name", "x", "--output", dir.filePath("a.xls"),
                                "--picture", "/proc/rootweave-chart-test.png"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(
        r.err.startsWith("rootweave-chart: cannot write the picture file /proc/rootweave-chart-test.png"))
        << r.err.toStdString();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// A run that writes .xlsx or draws loads the formats module from beside where the program file really is:
// through a link it is found, while a copy of the program alone says what it cannot load and writes
// nothing. The copy still writes .xls.
TEST(ChartToolPictures, TheFormatsModuleIsFoundThroughALinkAndMissedByACopy) {
    QTemporaryDir dir;
    const QString link = dir.filePath("linked-chart");
    const QString copy = dir.filePath("copied-chart");
    ASSERT_TRUE(QFile::link(QStringLiteral(ROOTWEAVE_CHART_TOOL), link));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ROOTWEAVE_CHART_TOOL), copy));
    const QStringList base{"--generations", "2", "--name", "x", "--output"};
    for (const QStringList& files :
         {QStringList{dir.filePath("a.xlsx")},
          QStringList{dir.filePath("a.xls"), "--picture", dir.filePath("a.svg")}}) {
        const Result copied = runProcess(copy, base + files);
        EXPECT_EQ(copied.exitCode, 1);
        EXPECT_TRUE(copied.err.startsWith("rootweave-chart: cannot load the module for .xlsx workbooks, "
                                          "pictures and printed pages: ") &&
                    copied.err.contains("No such file"))
            << copied.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoSymLinks).size(), 1);  // the copy
        const Result linked = runProcess(link, base + files);
        EXPECT_EQ(linked.exitCode, 0) << linked.err.toStdString();
        for (const QString& file : files.filter(dir.path())) {
            EXPECT_TRUE(QFile::remove(file)) << file.toStdString();
        }
    }
    EXPECT_EQ(runProcess(copy, base + QStringList{dir.filePath("b.xls")}).exitCode, 0);
}

}  // namespace
