#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <map>
#include <set>

#include "platform/failure.h"
#include "spreadsheet/picture_sheets.h"
#include "spreadsheet/range_picture.h"
#include "spreadsheet/svg_out.h"

namespace rw {
namespace {

using sheet::CellRange;
using sheet::Edge;
using sheet::LineStyle;
using sheet::StyleChange;
using test::isBlack;
using test::isGridGrey;
using test::isLime;
using test::isWhite;

struct Drawn {
    sheet::RangePicture picture;
    sheet::RangeGeometry geometry;
    QImage image;
};

Drawn draw(const sheet::Worksheet& ws, const CellRange& range) {
    Drawn d{sheet::renderRangePicture(ws, range), sheet::rangeGeometry(ws, range), {}};
    d.image = test::rasterise(QByteArray::fromStdString(d.picture.svg));
    return d;
}

QPoint centre(const sheet::RangeGeometry& g, std::int32_t row, std::int32_t column) {
    return {(g.leftOf(column) + g.rightOf(column)) / 2, (g.topOf(row) + g.bottomOf(row)) / 2};
}

bool isTitleGrey(QRgb p) {
    // Anti-aliased grey text: a neutral colour clearly darker than white, never as dark as black text.
    return qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) && qRed(p) < 0xE0 && qRed(p) >= 0x60;
}

// Pixels in a band that satisfy a test.
int countIn(const QImage& image, QRect band, bool (*test)(QRgb)) {
    int n = 0;
    band = band.intersected(image.rect());
    for (int y = band.top(); y <= band.bottom(); ++y) {
        for (int x = band.left(); x <= band.right(); ++x) {
            n += test(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

TEST(RangePictureLook, ChartShowsBoxesConnectorsHeadingAndGridlines) {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    test::buildChart(ws, "Ann", 3);
    const CellRange used = ws.usedRange();
    ASSERT_EQ(used, (CellRange{2, 2, 11, 6}));  // B2:F11, the heading merges counting whole
    const Drawn d = draw(ws, used);
    ASSERT_FALSE(d.image.isNull());
    EXPECT_EQ(d.image.size(), QSize(d.picture.width, d.picture.height));
    EXPECT_EQ(d.picture.width, d.geometry.width());

    std::set<std::pair<int, int>> boxes;
    for (const test::ChartBox& b : test::chartBoxes(3)) {
        boxes.insert({b.row, b.column});
    }
    for (std::int32_t r = 4; r <= 11; ++r) {
        for (std::int32_t c = 2; c <= 6; ++c) {
            const QRgb p = d.image.pixel(centre(d.geometry, r, c));
            if (boxes.count({r, c})) {
                EXPECT_TRUE(isLime(p)) << "box at row " << r << " column " << c;
            } else {
                EXPECT_TRUE(isWhite(p)) << "empty cell at row " << r << " column " << c;
            }
        }
    }

    // Connector lines: the right edge of B from the first box (row 5) to the last (row 11), of C from 6 to
    // 10; column D holds one box and no line.
    auto edgeIsBlack = [&](std::int32_t column, std::int32_t fromRow, std::int32_t toRow) {
        for (int y = d.geometry.topOf(fromRow); y <= d.geometry.bottomOf(toRow); ++y) {
            if (!isBlack(d.image.pixel(d.geometry.rightOf(column), y))) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(edgeIsBlack(2, 5, 11));
    EXPECT_TRUE(edgeIsBlack(3, 6, 10));
    EXPECT_TRUE(isGridGrey(d.image.pixel(d.geometry.rightOf(4), centre(d.geometry, 6, 4).y())));
    EXPECT_TRUE(isGridGrey(d.image.pixel(d.geometry.rightOf(2), centre(d.geometry, 4, 2).y())));
    // Box frames: the bottom edge of B5 and the left edge of D8.
    EXPECT_TRUE(isBlack(d.image.pixel(centre(d.geometry, 5, 2).x(), d.geometry.bottomOf(5))));
    EXPECT_TRUE(isBlack(d.image.pixel(d.geometry.leftOf(4), centre(d.geometry, 8, 4).y())));

    // The grey title in row 2, the black subtitle in row 3, both starting at the left of B.
    const QRect row2(d.geometry.leftOf(2), d.geometry.topOf(2) + 1, 300,
                     d.geometry.bottomOf(2) - d.geometry.topOf(2) - 1);
    const QRect row3(d.geometry.leftOf(2), d.geometry.topOf(3) + 1, 300,
                     d.geometry.bottomOf(3) - d.geometry.topOf(3) - 1);
    EXPECT_GT(countIn(d.image, row2, isTitleGrey), 50);
    EXPECT_EQ(countIn(d.image, row2, [](QRgb p) { return qGray(p) < 0x70; }), 0);  // grey, never darker
    EXPECT_GT(countIn(d.image, row3, [](QRgb p) { return qGray(p) < 0x50; }), 10);
    // The title row is taller than the subtitle row, which is the sheet's own height.
    EXPECT_GT(d.geometry.bottomOf(2) - d.geometry.topOf(2), d.geometry.bottomOf(3) - d.geometry.topOf(3));
    // No gridline inside the merged heading; an empty row shows its gridlines.
    EXPECT_TRUE(isWhite(d.image.pixel(d.geometry.rightOf(5), centre(d.geometry, 2, 5).y())));
    EXPECT_TRUE(isGridGrey(d.image.pixel(d.geometry.rightOf(5), centre(d.geometry, 4, 5).y())));
    // The picture's outer gridlines.
    EXPECT_TRUE(isGridGrey(d.image.pixel(0, centre(d.geometry, 4, 2).y())));
    EXPECT_TRUE(isGridGrey(d.image.pixel(centre(d.geometry, 4, 3).x(), d.picture.height - 1)));
}

TEST(RangePictureLook, RangeAwayFromA1IsPicturedExactly) {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    const std::uint16_t red = 10, blue = 12;  // #FF0000, #0000FF
    ws.applyStyle(CellRange::cell(4, 3), StyleChange::fill(red));
    ws.applyStyle(CellRange::cell(7, 5), StyleChange::fill(blue));
    ws.setColumnWidth(4, 4, sheet::columnWidthFromCharacters(20, book.defaultFont()));
    ws.setRowHeight(6, 600);
    const CellRange used = ws.usedRange();
    ASSERT_EQ(used, (CellRange{4, 3, 7, 5}));
    const Drawn d = draw(ws, used);

    // The size follows from the sheet's own widths and heights of C:E and 4:7 alone.
    int width = 1, height = 1;
    for (std::int32_t c = 3; c <= 5; ++c) {
        width += sheet::columnWidthPixels(ws.columnWidth(c), book.defaultFont());
    }
    for (std::int32_t r = 4; r <= 7; ++r) {
        height += ws.rowHeight(r) / 15;
    }
    EXPECT_EQ(d.picture.width, width);
    EXPECT_EQ(d.picture.height, height);
    EXPECT_EQ(d.image.size(), QSize(width, height));
    // C4 is the top-left cell, E7 the bottom-right one, both filled right to the picture's corners.
    EXPECT_EQ(d.image.pixel(0, 0), qRgb(0xFF, 0, 0));
    EXPECT_EQ(d.image.pixel(width / 5, 4), qRgb(0xFF, 0, 0));
    EXPECT_EQ(d.image.pixel(width - 1, height - 1), qRgb(0, 0, 0xFF));
    EXPECT_TRUE(isWhite(d.image.pixel(centre(d.geometry, 5, 4))));
    EXPECT_EQ(d.geometry.bottomOf(6) - d.geometry.topOf(6), 40);  // 600 twips

    // The same picture comes out wherever the cells stand.
    sheet::Workbook moved;
    sheet::Worksheet& far = moved.activeSheet();
    far.applyStyle(CellRange::cell(1004, 103), StyleChange::fill(red));
    far.applyStyle(CellRange::cell(1007, 105), StyleChange::fill(blue));
    far.setColumnWidth(104, 104, sheet::columnWidthFromCharacters(20, moved.defaultFont()));
    far.setRowHeight(1006, 600);
    EXPECT_EQ(sheet::renderRangePicture(far, far.usedRange()).svg, d.picture.svg);
}

TEST(RangePictureLook, ColumnFormatsShowInEmptyCellsAndHiddenColumnsTakeNoRoom) {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    ws.applyStyle(CellRange::wholeColumns(2, 2), StyleChange::fill(10));
    ws.setText(CellRange::cell(3, 4), "x");
    ws.setColumn(3, sheet::ColumnInfo{ws.columnWidth(3), true, sheet::kDefaultStyle, true});
    const Drawn d = draw(ws, CellRange{1, 1, 4, 4});
    for (std::int32_t r = 1; r <= 4; ++r) {
        EXPECT_EQ(d.image.pixel(centre(d.geometry, r, 2)), qRgb(0xFF, 0, 0)) << "row " << r;
        EXPECT_TRUE(isWhite(d.image.pixel(centre(d.geometry, r, 1))));
    }
    EXPECT_EQ(d.geometry.leftOf(3), d.geometry.rightOf(3));
    EXPECT_EQ(d.picture.width, 1 + 3 * sheet::columnWidthPixels(ws.defaultColumnWidth(), book.defaultFont()));
}

// --- the form of the SVG ---------------------------------------------------------------------------------

struct Subpath {
    QString stroke;
    double x, y;    // start
    double dx, dy;  // one h or v run
};

// Reads the document with the rules of the flat form and fails the test on anything outside it. Returns
// every path's subpaths (each M followed by one h or v, as the renderer writes them).
std::vector<Subpath> checkFlatForm(const std::string& svg) {
    static const std::map<QString, std::set<QString>> allowed = {
        {"svg", {"xmlns", "width", "height", "viewBox", "shape-rendering"}},
        {"g",
         {"fill", "stroke", "stroke-width", "font-family", "font-size", "font-weight", "shape-rendering"}},
        {"rect", {"x", "y", "width", "height", "fill", "shape-rendering"}},
        {"line", {"x1", "y1", "x2", "y2", "stroke", "stroke-width", "shape-rendering"}},
        {"path", {"d", "stroke", "stroke-width", "fill", "shape-rendering"}},
        {"text",
         {"x", "y", "font-family", "font-size", "font-weight", "fill", "text-anchor", "dominant-baseline"}},
    };
    static const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
    static const QRegularExpression hex(QStringLiteral("^#[0-9a-f]{6}$"));
    static const QRegularExpression command(QStringLiteral("M(-?[\\d.]+) (-?[\\d.]+)([hv])(-?[\\d.]+)"));
    std::vector<Subpath> out;
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    std::vector<QString> strokes{QString()};
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            strokes.pop_back();
            --depth;
            continue;
        }
        if (!xml.isStartElement()) {
            continue;
        }
        ++depth;
        const QString name = xml.name().toString();
        EXPECT_TRUE(allowed.count(name)) << name.toStdString();
        EXPECT_EQ(name == "svg", depth == 1);
        QString stroke = strokes.back();
        for (const QXmlStreamAttribute& a : xml.attributes()) {
            const QString an = a.qualifiedName().toString();
            const QString v = a.value().toString();
            EXPECT_TRUE(allowed.count(name) && allowed.at(name).count(an))
                << name.toStdString() << " " << an.toStdString();
            if (an == "x" || an == "y" || an == "width" || an == "height" || an == "font-size" ||
                an == "stroke-width") {
                EXPECT_TRUE(number.match(v).hasMatch()) << an.toStdString() << "=" << v.toStdString();
            }
            if ((an == "fill" && v != "none") || an == "stroke") {
                EXPECT_TRUE(hex.match(v).hasMatch()) << v.toStdString();
            }
            if (an == "stroke") {
                stroke = v;
            }
            if (name == "path" && an == "fill") {
                EXPECT_EQ(v, "none");
            }
            if (an == "d") {
                qsizetype consumed = 0;
                auto it = command.globalMatch(v);
                while (it.hasNext()) {
                    const auto m = it.next();
                    const bool h = m.captured(3) == "h";
                    out.push_back({stroke, m.captured(1).toDouble(), m.captured(2).toDouble(),
                                   h ? m.captured(4).toDouble() : 0, h ? 0 : m.captured(4).toDouble()});
                    consumed += m.capturedLength(0);
                }
                EXPECT_EQ(consumed, v.size()) << "path commands beyond M/h/v: " << v.left(80).toStdString();
            }
        }
        if (name == "svg") {
            const double w = xml.attributes().value("width").toDouble();
            const double h = xml.attributes().value("height").toDouble();
            EXPECT_EQ(xml.attributes().value("viewBox").toString(),
                      QStringLiteral("0 0 %1 %2").arg(w).arg(h));
        }
        strokes.push_back(stroke);
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return out;
}

TEST(RangePictureForm, FlatSubsetWithJoinedBordersAndLongGridlines) {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    const int generations = 5;
    test::buildChart(ws, "Ann & <Bob>", generations);
    // A row of bottom borders across three cells, set cell by cell: one line.
    for (std::int32_t c = 8; c <= 10; ++c) {
        ws.applyStyle(CellRange::cell(40, c), StyleChange::borderLine(Edge::Bottom, LineStyle::Thin));
    }
    const CellRange used = ws.usedRange();
    const sheet::RangePicture picture = sheet::renderRangePicture(ws, used);
    const sheet::RangeGeometry g = sheet::rangeGeometry(ws, used);
    const std::vector<Subpath> subpaths = checkFlatForm(picture.svg);

    int grid = 0;
    for (const Subpath& s : subpaths) {
        if (s.stroke == "#c0c0c0") {
            ++grid;
            // Every gridline crosses the whole picture.
            EXPECT_TRUE((s.dx == picture.width && s.x == 0) || (s.dy == picture.height && s.y == 0));
        }
    }
    EXPECT_EQ(grid, used.rowCount() + 1 + used.columnCount() + 1);

    // The connector of column B and the left edges of column C's boxes lie on one gridline: one segment from
    // the top of B5 to the bottom of the last box of B.
    const double connectorX = g.rightOf(2) + 0.5;
    std::vector<Subpath> onLine;
    for (const Subpath& s : subpaths) {
        if (s.stroke == "#000000" && s.dy != 0 && s.x == connectorX) {
            onLine.push_back(s);
        }
    }
    ASSERT_EQ(onLine.size(), 1u);
    EXPECT_EQ(onLine[0].y, g.topOf(5));
    EXPECT_EQ(onLine[0].y + onLine[0].dy, g.bottomOf((1 << generations) + 3) + 1);

    const double row40 = g.bottomOf(40) + 0.5;
    int onRow40 = 0;
    for (const Subpath& s : subpaths) {
        if (s.dx != 0 && s.y == row40 && s.stroke == "#000000") {
            ++onRow40;
            EXPECT_EQ(s.x, g.leftOf(8));
            EXPECT_EQ(s.x + s.dx, g.rightOf(10) + 1);
        }
    }
    EXPECT_EQ(onRow40, 1);
}

TEST(RangePictureText, EscapedFontsAlignmentsAndBlanks) {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    ws.setText(CellRange::cell(1, 1), " a<b & \"c\"  d ");
    ws.setNumber(CellRange::cell(2, 1), 1234.5);
    ws.setText(CellRange::cell(3, 1), "mid");
    ws.applyStyle(CellRange::cell(3, 1), StyleChange::alignment(sheet::HorizontalAlignment::Center));
    ws.applyStyle(CellRange::cell(3, 1), StyleChange::fontBold(true));
    ws.applyStyle(CellRange::cell(3, 1), StyleChange::fontName("Tahoma"));
    ws.setText(CellRange::cell(4, 1), "line\none\ttab");
    const sheet::RangePicture picture = sheet::renderRangePicture(ws, CellRange{1, 1, 4, 2});
    checkFlatForm(picture.svg);

    struct Text {
        QXmlStreamAttributes attributes;
        QString content;
    };
    std::vector<Text> texts;
    QXmlStreamReader xml(QByteArray::fromStdString(picture.svg));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"text") {
            Text t{xml.attributes(), {}};
            t.content = xml.readElementText();
            texts.push_back(t);
        }
    }
    ASSERT_EQ(texts.size(), 4u);
    const QChar nbsp(0xA0);
    EXPECT_EQ(texts[0].content, QString(nbsp) + "a<b & \"c\" " + nbsp + "d" + nbsp);
    EXPECT_EQ(texts[0].attributes.value("font-family"), u"Arial, sans-serif");
    EXPECT_FALSE(texts[0].attributes.hasAttribute("text-anchor"));  // text: left
    EXPECT_EQ(texts[1].content, "1234.5");
    EXPECT_EQ(texts[1].attributes.value("text-anchor"), u"end");  // numbers: right
    EXPECT_EQ(texts[2].attributes.value("text-anchor"), u"middle");
    EXPECT_EQ(texts[2].attributes.value("font-weight"), u"700");
    EXPECT_EQ(texts[2].attributes.value("font-family"), u"Tahoma, sans-serif");
    EXPECT_EQ(texts[3].content, "line one tab");
    EXPECT_EQ(texts[0].attributes.value("font-size"), u"13.33");  // 10 pt at 96 dots per inch
}

TEST(RangePictureText, NumbersKeepTwoPlacesAtMost) {
    const std::pair<double, const char*> cases[] = {
        {13.333333, "13.33"}, {2.0, "2"},          {0.05, "0.05"}, {1.5, "1.5"},
        {0.125, "0.13"},      {-3.14159, "-3.14"}, {-0.001, "-0"}, {123456.789, "123456.79"},
        {1e300, "1e+300"},  // too long for two places: still a number, not stray bytes
    };
    for (const auto& [value, text] : cases) {
        sheet::svg::SvgOut out;
        out.dec(value);
        EXPECT_EQ(out.s, text) << value;
    }
}

TEST(RangePicture, RangeOutsideTheSheetFails) {
    sheet::Workbook book;
    EXPECT_THROW(sheet::renderRangePicture(book.activeSheet(), CellRange{0, 1, 3, 3}), Failure);
    EXPECT_THROW(sheet::renderRangePicture(book.activeSheet(), CellRange{5, 1, 3, 3}), Failure);
    EXPECT_THROW(sheet::renderRangePicture(book.activeSheet(), CellRange{1, 1, 3, 257}), Failure);
}

TEST(RangePicture, FifteenGenerationChartStaysSmall) {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    test::buildChart(ws, "Ann", 15);
    const CellRange used = ws.usedRange();
    EXPECT_EQ(used, (CellRange{2, 2, 32771, 16}));
    const sheet::RangePicture picture = sheet::renderRangePicture(ws, used);
    EXPECT_LT(picture.svg.size(), 5u * 1000 * 1000);
    EXPECT_EQ(picture.height, sheet::rangeGeometry(ws, used).height());
}

}  // namespace
}  // namespace rw
