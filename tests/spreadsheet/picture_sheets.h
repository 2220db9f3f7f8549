#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdint>
#include <string>
#include <vector>

#include "spreadsheet/workbook.h"

// Sheets for the picture tests and benchmark: the ancestor chart built straight on the workbook model, the
// way the layout builds it through automation, and a rasteriser for the pictures.
namespace rw::test {

// Palette indexes of the chart's colours (the object model's 43 and 16, plus 7).
inline constexpr std::uint16_t kLimeIndex = 50;
inline constexpr std::uint16_t kTitleGreyIndex = 23;

struct ChartBox {
    std::int32_t row;
    std::int32_t column;
};

// Where the boxes of an n-generation chart stand: column k + 1 holds 2^(n-k) boxes at rows
// 2^(k-1) + 4 + j * 2^k.
inline std::vector<ChartBox> chartBoxes(int generations) {
    std::vector<ChartBox> boxes;
    for (int k = 1; k <= generations; ++k) {
        const std::int32_t count = std::int32_t{1} << (generations - k);
        for (std::int32_t j = 0; j < count; ++j) {
            boxes.push_back({(std::int32_t{1} << (k - 1)) + 4 + j * (std::int32_t{1} << k), k + 1});
        }
    }
    return boxes;
}

// Writes the chart onto an empty sheet: Tahoma everywhere, columns A to F, the merged two-line heading, the
// lime framed boxes and the connector line down the right edge of each column with more than one box.
inline void buildChart(sheet::Worksheet& ws, const std::string& name, int generations) {
    using sheet::CellRange;
    using sheet::Edge;
    using sheet::LineStyle;
    using sheet::StyleChange;
    const sheet::Font font = ws.workbook().defaultFont();  // a copy: styling adds to the style table
    ws.applyStyle(CellRange::wholeSheet(), StyleChange::fontName("Tahoma"));
    ws.setColumnWidth(1, 1, sheet::columnWidthFromCharacters(2, font));
    for (std::int32_t c = 2; c <= 6; ++c) {
        ws.setColumnWidth(c, c, sheet::columnWidthFromCharacters(24, font));
    }
    const CellRange title = CellRange::cell(2, 2);
    ws.merge(sheet::parseAddress("B2:F2"));
    ws.applyStyle(title, StyleChange::alignment(sheet::HorizontalAlignment::Left));
    ws.applyStyle(title, StyleChange::fontHeight(400));
    ws.applyStyle(title, StyleChange::fontName("Tahoma"));
    ws.setText(title, "Family Tree for " + name);
    ws.applyStyle(title, StyleChange::fontColor(kTitleGreyIndex));
    const CellRange subtitle = CellRange::cell(3, 2);
    ws.merge(sheet::parseAddress("B3:F3"));
    ws.applyStyle(subtitle, StyleChange::alignment(sheet::HorizontalAlignment::Left));
    ws.applyStyle(subtitle, StyleChange::fontHeight(220));
    ws.setText(subtitle, std::to_string(generations) + " Generations");
    for (int k = 1; k <= generations; ++k) {
        const std::int32_t count = std::int32_t{1} << (generations - k);
        const std::int32_t spacing = std::int32_t{1} << k;
        for (std::int32_t j = 0; j < count; ++j) {
            const std::int32_t row = (std::int32_t{1} << (k - 1)) + 4 + j * spacing;
            const CellRange box = CellRange::cell(row, k + 1);
            ws.applyStyle(box, StyleChange::fill(kLimeIndex));
            for (Edge e : {Edge::Left, Edge::Top, Edge::Bottom, Edge::Right}) {
                ws.applyStyle(box, StyleChange::borderLine(e, LineStyle::Thin));
            }
            if (j + 1 < count) {
                for (std::int32_t r = row; r <= row + spacing; ++r) {
                    ws.applyStyle(CellRange::cell(r, k + 1),
                                  StyleChange::borderLine(Edge::Right, LineStyle::Thin));
                }
            }
        }
    }
}

// The SVG drawn at factor 1 on white. A null image when Qt cannot read it.
inline QImage rasterise(const QByteArray& svg) {
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(renderer.defaultSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), renderer.defaultSize()));
    return image;
}

inline bool isLime(QRgb p) {
    return p == qRgb(0x99, 0xCC, 0x00);
}
inline bool isWhite(QRgb p) {
    return p == qRgb(0xFF, 0xFF, 0xFF);
}
inline bool isBlack(QRgb p) {
    return p == qRgb(0, 0, 0);
}
inline bool isGridGrey(QRgb p) {
    return p == qRgb(0xC0, 0xC0, 0xC0);
}

}  // namespace rw::test
