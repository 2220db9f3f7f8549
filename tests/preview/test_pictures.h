#pragma once

#include <QByteArray>
#include <QString>

// Pictures in the form the chart renderer writes, for the preview's tests and benchmarks.
namespace rw::test {

inline QByteArray svgHeader(int width, int height) {
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" "
               "shape-rendering=\"crispEdges\">\n")
        .arg(width)
        .arg(height)
        .toUtf8();
}

// A white picture of the given size with a red box at its top-left corner and a blue one at its
// bottom-right corner, 10 pixels each.
inline QByteArray plainPicture(int width, int height) {
    QByteArray svg = svgHeader(width, height);
    svg += QStringLiteral("<rect x=\"0\" y=\"0\" width=\"%1\" height=\"%2\" fill=\"#ffffff\"/>\n")
               .arg(width)
               .arg(height)
               .toUtf8();
    svg += "<rect x=\"0\" y=\"0\" width=\"10\" height=\"10\" fill=\"#ff0000\"/>\n";
    svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#0000ff\"/>\n")
               .arg(width - 10)
               .arg(height - 10)
               .toUtf8();
    svg += "</svg>\n";
    return svg;
}

// An ancestor chart of `generations` columns as the chart renderer draws it: a heading, one filled, framed
// box per ancestor with a label, and a connector line down each pair. 15 generations make a picture of
// 1,500 x 655,460 pixels with about 115,000 elements.
inline QByteArray ancestorChartPicture(int generations) {
    const int columnWidth = 100;
    const int boxWidth = 84;
    const int boxHeight = 20;
    const int leafPitch = 40;
    const int heading = 100;
    const int leaves = 1 << (generations - 1);
    const int width = generations * columnWidth;
    const int height = heading + leaves * leafPitch + 100;
    QByteArray svg = svgHeader(width, height);
    svg.reserve(static_cast<qsizetype>(leaves) * 2 * 200);
    svg += QStringLiteral("<rect x=\"0\" y=\"0\" width=\"%1\" height=\"%2\" fill=\"#ffffff\"/>\n")
               .arg(width)
               .arg(height)
               .toUtf8();
    svg +=
        "<g font-family=\"Arial\" font-size=\"20\" font-weight=\"bold\" fill=\"#000000\">\n"
        "<text x=\"10\" y=\"40\">Family Tree For Jane &amp; John Doe</text>\n"
        "<text x=\"10\" y=\"70\" font-size=\"14\">Ancestor chart</text>\n</g>\n";
    svg += "<g font-family=\"Arial\" font-size=\"9\" font-weight=\"normal\" stroke-width=\"1\">\n";
    for (int c = 0; c < generations; ++c) {
        const int count = leaves >> c;
        const int pitch = leafPitch << c;
        const int x = c * columnWidth + 8;
        for (int k = 0; k < count; ++k) {
            const int y = heading + k * pitch + pitch / 2 - boxHeight / 2;
            svg += QStringLiteral(
                       "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#ccffcc\"/>"
                       "<path d=\"M%5 %6 H%7 V%8 H%5 V%6\" stroke=\"#000000\" fill=\"none\"/>"
                       "<text x=\"%9\" y=\"%10\" fill=\"#333333\" text-anchor=\"middle\" "
                       "dominant-baseline=\"middle\">%11</text>\n")
                       .arg(x)
                       .arg(y)
                       .arg(boxWidth)
                       .arg(boxHeight)
                       .arg(x + 0.5)
                       .arg(y + 0.5)
                       .arg(x + boxWidth - 0.5)
                       .arg(y + boxHeight - 0.5)
                       .arg(x + boxWidth / 2)
                       .arg(y + boxHeight / 2)
                       .arg(k + 1)
                       .toUtf8();
            if (k % 2 == 0 && c + 1 < generations) {
                const double lx = x + boxWidth + 4.5;
                svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" stroke=\"#000000\"/>\n")
                           .arg(lx)
                           .arg(y + boxHeight / 2)
                           .arg(y + pitch + boxHeight / 2)
                           .toUtf8();
            }
        }
    }
    svg += "</g>\n</svg>\n";
    return svg;
}

}  // namespace rw::test
