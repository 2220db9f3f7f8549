#include "spreadsheet/metrics.h"

#include <algorithm>
#include <cmath>

#include "platform/failure.h"

namespace rw::sheet {

int maxDigitWidth(const Font& font) {
    // About 0.55 em for the digits of Arial and Tahoma, at 96 dots per inch (15 twips a pixel).
    return std::max(1, (font.heightTwips * 55 + 750) / 1500);
}

int columnPadding(int mdw) {
    return 2 * std::max((mdw + 3) / 4, 2) + 1;
}

std::uint16_t columnWidthFromCharacters(double characters, const Font& defaultFont) {
    if (!std::isfinite(characters) || characters < 0 || characters > 255) {
        throw Failure("A column width must be between 0 and 255 characters");
    }
    if (characters == 0) {
        return 0;
    }
    const int mdw = maxDigitWidth(defaultFont);
    const double units = (characters * mdw + columnPadding(mdw)) * 256.0 / mdw;
    return static_cast<std::uint16_t>(std::min(65535.0, std::floor(units + 1e-9)));
}

int columnWidthPixels(std::uint16_t width, const Font& defaultFont) {
    const int mdw = maxDigitWidth(defaultFont);
    return static_cast<int>((std::int64_t{width} + 128 / mdw) * mdw / 256);
}

std::uint16_t rowHeightForFont(const Font& font) {
    const int px = (font.heightTwips * 83 + 900) / 1000;
    return static_cast<std::uint16_t>(std::min(px * 15, 8175));
}

}  // namespace rw::sheet
