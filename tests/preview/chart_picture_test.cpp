#include "preview/chart_picture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "platform/failure.h"
#include "preview/test_pictures.h"
#include "spreadsheet/picture_sheets.h"
#include "spreadsheet/range_picture.h"

namespace rw::preview {
namespace {

// Paints `area` of the picture at `scale` into an image the size of the scaled area.
QImage render(const ChartPicture& picture, const QRectF& area, double scale = 1.0) {
    QImage image(static_cast<int>(area.width() * scale), static_cast<int>(area.height() * scale),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    painter.translate(-area.topLeft());
    picture.paint(painter, area);
    return image;
}

TEST(ChartPicture, ReadsTheChartFormIntoADisplayList) {
    const auto picture = ChartPicture::fromSvg(test::ancestorChartPicture(3));
    EXPECT_TRUE(picture->isDisplayList());
    EXPECT_EQ(picture->size(), QSize(300, 100 + 4 * 40 + 100));
    // background, 2 headings, 7 boxes of rect + frame + label, 3 connectors
    EXPECT_EQ(picture->elementCount(), 1U + 2U + 7U * 3U + 3U);
}

// The preview draws a snapshot from the shapes it was written from; it must look exactly as its SVG does.
TEST(ChartPicture, ShapesDrawWhatTheirSvgDraws) {
    using sheet::CellRange;
    using sheet::Edge;
    using sheet::LineStyle;
    using sheet::StyleChange;
    struct Case {
        const char* name;
        void (*build)(sheet::Worksheet&);
    };
    const Case cases[] = {
        {"a four-generation chart",
         [](sheet::Worksheet& ws) { test::buildChart(ws, "Ada & <Lovelace>", 4); }},
        {"texts, merged areas, borders, a hidden column",
         [](sheet::Worksheet& ws) {
             ws.setText(CellRange::cell(1, 1), "  two  blanks\tand a tab ");
             ws.setNumber(CellRange::cell(1, 2), 1234.5);
             ws.setText(CellRange::cell(2, 2), "\"quoted\"");
             ws.applyStyle(CellRange::cell(2, 2), StyleChange::alignment(sheet::HorizontalAlignment::Center));
             ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontBold(true));
             ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontName("Courier New"));
             ws.merge(sheet::parseAddress("C3:E5"));
             ws.setText(CellRange::cell(3, 3), "merged");
             ws.applyStyle(sheet::parseAddress("B6:C7"),
                           StyleChange::borderLine(Edge::Top, LineStyle::Double));
             ws.applyStyle(sheet::parseAddress("B6:C7"),
                           StyleChange::borderLine(Edge::Left, LineStyle::Thick));
             ws.applyStyle(sheet::parseAddress("D6:D7"),
                           StyleChange::borderLine(Edge::Bottom, LineStyle::Medium));
             ws.applyStyle(sheet::parseAddress("D6:D7"), StyleChange::fill(10));
             ws.setColumn(4, sheet::ColumnInfo{0, false, sheet::kDefaultStyle, true});
             ws.setText(CellRange::cell(8, 6), "end");
             ws.setText(CellRange::cell(9, 1),
                        "Ann Smith (1801\xE2\x80\x93"
                        "1870)");  // read back as it is
             ws.setText(CellRange::cell(9, 2), "two  inside");
             ws.setText(CellRange::cell(9, 3),
                        "not\xEF\xBF\xBE"
                        "a character");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sheet::Workbook book;
        sheet::Worksheet& ws = book.sheet(0);
        c.build(ws);
        const sheet::picture::Shapes shapes = sheet::rangeShapes(ws, ws.usedRange());
        const auto direct = ChartPicture::fromShapes(shapes);
        const auto read = ChartPicture::fromSvg(QByteArray::fromStdString(sheet::pictureSvg(shapes)));
        ASSERT_TRUE(direct->isDisplayList());
        ASSERT_TRUE(read->isDisplayList());
        EXPECT_EQ(direct->size(), read->size());
        EXPECT_EQ(direct->elementCount(), read->elementCount());
        const QRectF whole(QPointF(0, 0), QSizeF(read->size()));
        for (const double scale : {1.0, 2.5}) {
            // Drawn once first: Qt may draw the first text of a size a shade apart while it caches glyphs.
            render(*read, whole, scale);
            // Compared as colours: the unused byte of an RGB32 pixel may differ where nothing shows.
            EXPECT_EQ(render(*direct, whole, scale).convertToFormat(QImage::Format_RGB888),
                      render(*read, whole, scale).convertToFormat(QImage::Format_RGB888))
                << "at " << scale;
        }
    }
}

TEST(ChartPicture, DrawsShapesWhereTheyAre) {
    QByteArray svg = test::svgHeader(100, 50);
    svg +=
        "<g stroke=\"#00ff00\" stroke-width=\"2\"><line x1=\"0\" y1=\"30\" x2=\"100\" y2=\"30\"/>"
        "<path d=\"m 50,0 v 10 l 10 0 h -5 L55 20\" fill=\"none\"/></g>"
        "<rect x=\"10\" y=\"5\" width=\"20\" height=\"10\" fill=\"#ff0000\"/></svg>";
    const auto picture = ChartPicture::fromSvg(svg);
    ASSERT_TRUE(picture->isDisplayList());
    const QImage image = render(*picture, QRectF(0, 0, 100, 50));
    EXPECT_EQ(image.pixel(15, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(9, 10), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(70, 30), qRgb(0, 255, 0));  // the line, centred on 30 and 2 wide
    EXPECT_EQ(image.pixel(70, 33), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(50, 5), qRgb(0, 255, 0));   // relative move and vertical line
    EXPECT_EQ(image.pixel(55, 15), qRgb(0, 255, 0));  // absolute line after a relative horizontal one
}

TEST(ChartPicture, DrawsZoomedWithoutBlowingUpPixels) {
    const auto picture = ChartPicture::fromSvg(test::plainPicture(40, 40));
    const QImage image = render(*picture, QRectF(0, 0, 40, 40), 4.0);
    ASSERT_EQ(image.size(), QSize(160, 160));
    EXPECT_EQ(image.pixel(39, 39), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(40, 40), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(121, 121), qRgb(0, 0, 255));
}

TEST(ChartPicture, PaintsAStripOfATallPicture) {
    const auto picture = ChartPicture::fromSvg(test::ancestorChartPicture(12));
    ASSERT_TRUE(picture->isDisplayList());
    const int height = picture->size().height();
    // The last leaf box sits 40 pixels above the bottom margin; its fill shows in a strip near the end.
    const QRectF strip(0, height - 200, 300, 200);
    const QImage image = render(*picture, strip);
    const int boxTop = 100 + 2047 * 40 + 10;
    EXPECT_EQ(image.pixel(20, boxTop - static_cast<int>(strip.top()) + 5), qRgb(0xcc, 0xff, 0xcc));
}

TEST(ChartPicture, ShowsTextWithEntitiesAndAnchors) {
    QByteArray svg = test::svgHeader(200, 40);
    svg +=
        "<text x=\"100\" y=\"20\" font-family=\"Arial\" font-size=\"16\" fill=\"#000000\" "
        "text-anchor=\"middle\" dominant-baseline=\"middle\">A &amp; B &lt;C&gt;</text></svg>";
    const auto picture = ChartPicture::fromSvg(svg);
    ASSERT_TRUE(picture->isDisplayList());
    const QImage image = render(*picture, QRectF(0, 0, 200, 40));
    int darkLeft = 200;
    int darkRight = -1;
    for (int x = 0; x < 200; ++x) {
        for (int y = 0; y < 40; ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                darkLeft = std::min(darkLeft, x);
                darkRight = std::max(darkRight, x);
            }
        }
    }
    ASSERT_LE(darkLeft, darkRight) << "no text drawn";
    EXPECT_NEAR((darkLeft + darkRight) / 2.0, 100.0, 6.0);  // centred on its anchor
}

TEST(ChartPicture, AnyOtherSvgStillLoads) {
    for (const char* body : {"<circle cx=\"20\" cy=\"20\" r=\"10\" fill=\"#ff0000\"/>",
                             "<g transform=\"translate(12,12)\"><rect x=\"0\" y=\"0\" width=\"10\" "
                             "height=\"10\" fill=\"#ff0000\"/></g>",
                             "<rect x=\"15\" y=\"15\" width=\"10\" height=\"10\" style=\"fill:#ff0000\"/>"}) {
        const auto picture = ChartPicture::fromSvg(test::svgHeader(40, 40) + body + "</svg>");
        EXPECT_FALSE(picture->isDisplayList()) << body;
        EXPECT_EQ(picture->size(), QSize(40, 40));
        EXPECT_EQ(render(*picture, QRectF(0, 0, 40, 40)).pixel(20, 20), qRgb(255, 0, 0)) << body;
    }
}

TEST(ChartPicture, FileThatIsNoPictureFailsWithADescription) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.svg"));
    EXPECT_THROW(ChartPicture::fromFile(missing), Failure);
    const QString garbage = dir.filePath(QStringLiteral("garbage.svg"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no picture");
    file.close();
    try {
        ChartPicture::fromFile(garbage);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_FALSE(failure.description().empty());
    }
    EXPECT_THROW(ChartPicture::fromSvg(QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=")),
                 Failure);
    // Too large for any canvas, in either form.
    EXPECT_THROW(ChartPicture::fromSvg(test::svgHeader(100, 20'000'000) + "</svg>"), Failure);
    EXPECT_THROW(ChartPicture::fromSvg(test::svgHeader(100, 20'000'000) + "<circle r=\"5\"/></svg>"),
                 Failure);
}

TEST(ChartPicture, NumbersInAnySvgFormLandWhereTheySay) {
    const QByteArray body =
        "<rect x=\"+1e1\" y=\".5e1\" width=\"10.\" height=\" 10px \" fill=\"#ff0000\"/>"
        "<path stroke=\"#0000ff\" stroke-width=\"2\" fill=\"none\" d=\"M25,3E1h1.0e1M25-0.5e1v1\"/>"
        "<line x1=\"0\" y1=\"35\" x2=\"4e+1\" y2=\"35\" stroke=\"#00ff00\" stroke-width=\"2\"/>";
    const auto picture = ChartPicture::fromSvg(test::svgHeader(40, 40) + body + "</svg>");
    ASSERT_TRUE(picture->isDisplayList());
    const QImage image = render(*picture, QRectF(0, 0, 40, 40));
    EXPECT_EQ(image.pixel(15, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(9, 10), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(30, 30), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(20, 35), qRgb(0, 255, 0));
}

TEST(ChartPicture, MalformedNumbersAreNeverMisread) {
    // Each is beyond the chart form: the picture is left to Qt's renderer (or refused), never drawn from a
    // number read wrongly.
    for (const char* body : {"<rect x=\"1e\" y=\"0\" width=\"5\" height=\"5\"/>",
                             "<rect x=\"--1\" y=\"0\" width=\"5\" height=\"5\"/>",
                             "<rect x=\"1.2.3\" y=\"0\" width=\"5\" height=\"5\"/>",
                             "<rect x=\"0x10\" y=\"0\" width=\"5\" height=\"5\"/>",
                             "<rect x=\"1e999\" y=\"0\" width=\"5\" height=\"5\"/>",
                             "<rect x=\"\" y=\"0\" width=\"5\" height=\"5\"/>",
                             "<path stroke=\"#000000\" fill=\"none\" d=\"M0 0h-\"/>",
                             "<path stroke=\"#000000\" fill=\"none\" d=\"M0 0h1e\"/>"}) {
        try {
            EXPECT_FALSE(ChartPicture::fromSvg(test::svgHeader(40, 40) + body + "</svg>")->isDisplayList())
                << body;
        } catch (const Failure&) {
        }
    }
}

// A picture file is read from a folder other programs of the user can write to: however it is built, reading
// it ends in a picture or a failure, never in a crash or a wait of minutes.
TEST(ChartPicture, HostileStructureEndsInAPictureOrAFailure) {
    // Groups nested far deeper than any chart: the reader must not recurse once per level.
    for (const int depth : {300, 100'000}) {
        QByteArray svg = test::svgHeader(40, 40);
        for (int i = 0; i < depth; ++i) {
            svg += "<g>";
        }
        svg += "<rect x=\"0\" y=\"0\" width=\"40\" height=\"40\" fill=\"#ff0000\"/>";
        for (int i = 0; i < depth; ++i) {
            svg += "</g>";
        }
        svg += "</svg>";
        try {
            const auto picture = ChartPicture::fromSvg(svg);
            EXPECT_EQ(picture->size(), QSize(40, 40)) << depth;
        } catch (const Failure&) {
        }
    }

    // Many lines down the whole height of a very tall picture: each meets every band of the vertical index,
    // which must not grow with lines times bands (here beyond what 32-bit offsets hold).
    const int height = 16'000'000;
    QByteArray svg = test::svgHeader(100, height);
    const QByteArray line =
        QStringLiteral("<line x1=\"50\" y1=\"0\" x2=\"50\" y2=\"%1\" stroke=\"#0000ff\"/>")
            .arg(height)
            .toUtf8();
    for (int i = 0; i < 70'000; ++i) {
        svg += line;
    }
    svg += "</svg>";
    const auto picture = ChartPicture::fromSvg(svg);
    EXPECT_EQ(picture->size(), QSize(100, height));
    const QImage strip = render(*picture, QRectF(0, 8'000'000, 100, 20));
    EXPECT_EQ(strip.pixel(50, 10), qRgb(0, 0, 255));
    EXPECT_EQ(strip.pixel(20, 10), qRgb(255, 255, 255));

    // The charts themselves stay in the fast form.
    EXPECT_TRUE(ChartPicture::fromSvg(test::ancestorChartPicture(15))->isDisplayList());
}

}  // namespace
}  // namespace rw::preview
