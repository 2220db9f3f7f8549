#pragma once

#include <QByteArray>
#include <QString>

#include "chart/picture_clipboard.h"
#include "spreadsheet/range_picture.h"

// The chart picture of rootweave-chart's --picture FILE: SVG as the engine draws it, or, when the file name
// ends in .png or .pdf (in any case), that SVG drawn by Qt into a PNG image or a PDF page.
namespace rw::cli {

enum class PictureFormat { Svg, Png, Pdf };

// By the file name's ending, case-insensitive: ".png" and ".pdf"; anything else is SVG.
PictureFormat pictureFormatOf(const QString& path);

// PNG pictures are drawn whole in memory (4 bytes a pixel) before they are compressed: at most this long a
// side and this many pixels (256 MB of image). Charts of up to 9 generations fit.
inline constexpr int kMaxPngSide = chart::kMaxRasterSide;
inline constexpr qint64 kMaxPngPixels = 64'000'000;

// PDF viewers and printers take pages of up to 200 inches a side. A picture is placed on one page at its
// screen size (96 pixels an inch); a larger one is scaled down, evenly, until its longer side is 200 inches.
// It stays vector, so a viewer's zoom still shows every line and text crisply.
inline constexpr double kMaxPdfPagePoints = 14400.0;
inline constexpr double kPdfPointsPerPixel = 72.0 / 96.0;

// The page size in points that a picture of `width` x `height` pixels gets in a PDF.
QSizeF pdfPageSize(int width, int height);

// The picture's bytes in `format`. Fails with a description (a picture too large for PNG names its size
// and the limits) and never returns partial bytes. PNG and PDF need a QGuiApplication.
QByteArray encodePicture(const sheet::RangePicture& picture, PictureFormat format);

}  // namespace rw::cli
