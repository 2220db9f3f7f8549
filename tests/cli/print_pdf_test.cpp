#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "spreadsheet/xls_codec.h"
#include "support/run_process.h"

// rootweave-chart --print, checked from the outside: the PDF's pages as poppler's tools see them, against
// the pages LibreOffice Calc prints from the same workbook.
namespace {

using rw::test::runProcess;

const QString kTool = QStringLiteral(ROOTWEAVE_CHART_TOOL);

// Separate patches of `fill` over every page: the boxes, each counted once however many pages there are.
int countBoxes(const QString& pdf, const QString& folder, QRgb fill) {
    if (runProcess(QStringLiteral("pdftoppm"), {"-r", "40", "-png", pdf, folder + "/page"}).exitCode != 0) {
        return -1;
    }
    int boxes = 0;
    for (const QString& name : QDir(folder).entryList({"page*.png"})) {
        QImage image(folder + "/" + name);
        image = image.convertToFormat(QImage::Format_RGB32);
        const auto isFill = [&](int x, int y) {
            const QRgb p = image.pixel(x, y);
            return std::abs(qRed(p) - qRed(fill)) < 40 && std::abs(qGreen(p) - qGreen(fill)) < 40 &&
                   std::abs(qBlue(p) - qBlue(fill)) < 40;
        };
        std::vector<char> seen(static_cast<std::size_t>(image.width() * image.height()), 0);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (seen[static_cast<std::size_t>(y * image.width() + x)] || !isFill(x, y)) {
                    continue;
                }
                ++boxes;
                std::vector<QPoint> stack{{x, y}};
                seen[static_cast<std::size_t>(y * image.width() + x)] = 1;
                while (!stack.empty()) {
                    const QPoint at = stack.back();
                    stack.pop_back();
                    for (QPoint next :
                         {at + QPoint(1, 0), at - QPoint(1, 0), at + QPoint(0, 1), at - QPoint(0, 1)}) {
                        const auto i = static_cast<std::size_t>(next.y() * image.width() + next.x());
                        if (next.x() >= 0 && next.y() >= 0 && next.x() < image.width() &&
                            next.y() < image.height() && !seen[i] && isFill(next.x(), next.y())) {
                            seen[i] = 1;
                            stack.push_back(next);
                        }
                    }
                }
            }
        }
    }
    return boxes;
}

struct PaperCase {
    int generations;
    const char* paper;  // nullptr: the default
    QPageSize::PageSizeId size;
    int pages;  // as LibreOffice Calc 7.4 prints the saved .xls on that paper
};

class PrintPdfTest : public ::testing::TestWithParam<PaperCase> {};

TEST_P(PrintPdfTest, PagesFollowTheWorkbook) {
    const PaperCase c = GetParam();
    QTemporaryDir dir;
    const QString xls = dir.filePath(QStringLiteral("chart.xls"));
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    QStringList args{"--generations", QString::number(c.generations),
                     "--name",        "Ann Lee",
                     "--output",      xls,
                     "--print",       pdf};
    if (c.paper != nullptr) {
        args << "--paper" << c.paper;
    }
    const auto run = runProcess(kTool, args);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    const rw::sheet::Workbook book = rw::sheet::loadWorkbook(xls.toStdString());
    const rw::sheet::Worksheet& ws = book.sheet(0);
    const int pages = c.pages;
    const QString info = runProcess(QStringLiteral("pdfinfo"), {pdf}).out;
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))))
        << info.toStdString();
    const QSizeF paper = QPageSize(c.size).size(QPageSize::Point);
    EXPECT_TRUE(
        info.contains(QStringLiteral("Page size:       %1 x %2 pts").arg(paper.height()).arg(paper.width())))
        << info.toStdString();

    // Text is text: the heading on every page, and the footer's numbers right.
    const QStringList texts = runProcess(QStringLiteral("pdftotext"), {pdf, "-"}).out.split(u'\f');
    ASSERT_GE(texts.size(), pages);
    for (int p = 1; p <= pages; ++p) {
        const QString& text = texts[p - 1];
        EXPECT_TRUE(text.contains(QStringLiteral("Family Tree for Ann Lee"))) << "page " << p;
        EXPECT_TRUE(text.contains(QStringLiteral("%1 Generations").arg(c.generations))) << "page " << p;
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(p).arg(pages))) << "page " << p;
    }

    const rw::sheet::Rgb lime = book.paletteColor(ws.effectiveStyle(5, 2).fillColor);  // the first box
    EXPECT_EQ(countBoxes(pdf, dir.path(), qRgb(lime.r, lime.g, lime.b)), (1 << c.generations) - 1)
        << "every box exactly once";
}

INSTANTIATE_TEST_SUITE_P(Generations, PrintPdfTest,
                         ::testing::Values(PaperCase{1, nullptr, QPageSize::A4, 1},
                                           PaperCase{5, "a4", QPageSize::A4, 1},
                                           PaperCase{10, "letter", QPageSize::Letter, 21},
                                           PaperCase{12, "a4", QPageSize::A4, 82}),
                         [](const auto& info) {
                             return std::to_string(info.param.generations) + "_" +
                                    (info.param.paper ? info.param.paper : "default");
                         });

TEST(PrintPdfRefusalTest, BadPaperOrPrintFileIsAUsageError) {
    QTemporaryDir dir;
    const QString xls = dir.filePath(QStringLiteral("chart.xls"));
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    const std::vector<QStringList> cases = {
        {"--print", pdf, "--paper", "a3"},
        {"--print", pdf, "--paper", ""},
        {"--print", pdf, "--paper", "legal"},
        {"--paper", "a4"},  // paper without --print
        {"--print", ""},
        {"--print", xls},  // the workbook's own name
    };
    for (const QStringList& extra : cases) {
        const auto run =
            runProcess(kTool, QStringList{"--generations", "3", "--name", "A", "--output", xls} + extra);
        EXPECT_EQ(run.exitCode, 2) << extra.join(u' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(xls) || QFileInfo::exists(pdf)) << extra.join(u' ').toStdString();
    }
}

}  // namespace
