#pragma once

#include <cstdint>
#include <string_view>

#include "spreadsheet/styles.h"

// Column widths and row heights of the workbook model, and their pixels. Row heights are in twips (1/20
// point, 15 to a pixel); column widths in 1/256 of a character (the widest digit of the workbook's default
// font, cell padding included), as the file stores them.
namespace rw::sheet {

// Metrics shared by the codec and the renderer (96 dots per inch)

// Widest digit of a font in pixels (Arial 10 and Tahoma 10: 7; Tahoma 11: 8; Tahoma 20: 15).
int maxDigitWidth(const Font& font);
// The pixel padding Excel adds to a column: 5 for digit widths up to 8, more for larger fonts.
int columnPadding(int maxDigitWidth);
// A width in characters as the object model's ColumnWidth takes it -> the stored 1/256 units.
std::uint16_t columnWidthFromCharacters(double characters, const Font& defaultFont);
// Stored width -> pixels.
int columnWidthPixels(std::uint16_t width, const Font& defaultFont);
// The width of one line of UTF-8 text in a font, in pixels, erring on the wide side: the advances of a
// broad sans face (wider than Arial and Tahoma) with bold a tenth wider. Text that this says fits a width
// fits it on screen and on paper whichever sans face stands in.
int textWidthPixels(const Font& font, std::string_view utf8);
// The row height a font needs, in twips (whole pixels: Arial/Tahoma 10 -> 255, 11 -> 285, 20 -> 510).
std::uint16_t rowHeightForFont(const Font& font);

}  // namespace rw::sheet
