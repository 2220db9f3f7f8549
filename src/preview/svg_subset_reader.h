#pragma once

#include <QByteArray>

namespace rw::preview {

class ChartPicture;

// Largest width or height a picture may have: a canvas (a widget) cannot be much larger.
inline constexpr int kLargestSide = 16'000'000;

// Thrown while reading when the document uses anything beyond the flat form the display list covers.
struct Unsupported {};

// Reads the flat chart form into `out`; throws Unsupported for anything else.
void readSvgSubset(const QByteArray& svg, ChartPicture& out);

}  // namespace rw::preview
