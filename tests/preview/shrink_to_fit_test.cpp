#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>

#include "chart/excel_binding.h"
#include "chart/layout.h"
#include "preview/chart_picture.h"
#include "spreadsheet/range_picture.h"
#include "spreadsheet/xls_codec.h"
#include "support/scripted_seams.h"

// Names too long for their box stay inside it on screen and on paper: the chart's picture, drawn by the
// painter that the preview and printing share, shows no ink beside a box on its row.
namespace rw::preview {
namespace {

using automation::Dispatch;

TEST(ShrinkToFit, LongNamesStayInsideTheirBoxes) {
    const std::string texts[] = {
        "Maximilian Alexander Bartholomew Featherstonehaugh-Wolfeschlegel (1820\u20131890)",
        "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
        "\u00C9milie \u00D3lafsd\u00F3ttir Sigr\u00ED\u00F0ur M\u00FCller-L\u00FCdenscheid (bef. 1750/51)",
        "\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F"
        "\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F\u5F20\u4F1F",
        "Ann Smith (1950)",
    };
    constexpr int n = 5;
    chart::BoxTexts boxes;
    for (std::uint32_t a = 1; a < (1u << n); ++a) {
        boxes.emplace(a, texts[a % std::size(texts)]);
    }
    chart::EngineFactory factory;
    const Dispatch excel(factory.createObject("Excel.Application"));
    const Dispatch workbook(automation::toObject(excel.get("Workbooks").call("Add")));
    test::ScriptedMessageBoxes messages;
    ErrorTrap trap(messages, chart::kCreateTemplateReportName);
    chart::layoutFamilyTree(trap, workbook.get("ActiveSheet"), QStringLiteral("Ann"), QString::number(n),
                            chart::MyPower, &boxes);
    ASSERT_EQ(trap.reportsShown(), 0);
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("chart.xls")).toStdString();
    workbook.call("SaveAs", {path});
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const sheet::Workbook book = sheet::decodeWorkbook(bytes);
    const sheet::Worksheet& ws = book.sheet(0);

    // As printed: no gridlines.
    const sheet::CellRange used = ws.usedRange();
    const sheet::RangeGeometry g = sheet::rangeGeometry(ws, used);
    const sheet::RangePicture svg = sheet::renderRangePicture(ws, used, false);
    const auto picture = ChartPicture::fromSvg(QByteArray::fromStdString(svg.svg));
    ASSERT_TRUE(picture->isDisplayList());
    QImage image(svg.width, svg.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        picture->paint(painter, QRectF(0, 0, svg.width, svg.height));
    }
    int boxesSeen = 0;
    for (std::int32_t row = 5; row <= used.lastRow; ++row) {
        for (std::int32_t column = 2; column <= n + 1; ++column) {
            const auto cell = ws.cell(row, column);
            if (!cell || cell->kind != sheet::ValueKind::Text) {
                continue;
            }
            ++boxesSeen;
            // Right of the box, on its row: the next column is empty there in every chart.
            for (int y = g.topOf(row) + 1; y < g.bottomOf(row); ++y) {
                for (int x = g.rightOf(column) + 2; x < g.rightOf(column) + 40 && x < image.width(); ++x) {
                    ASSERT_EQ(QColor(image.pixel(x, y)), QColor(Qt::white))
                        << "ink beside the box at row " << row << " column " << column << ": "
                        << std::string(cell->text);
                }
            }
        }
    }
    EXPECT_EQ(boxesSeen, (1 << n) - 1);
}

}  // namespace
}  // namespace rw::preview
