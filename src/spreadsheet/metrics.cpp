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

namespace {

// Advances of the printable ASCII characters (space to tilde) in 1/2048 em, of a broad sans face.
constexpr std::uint16_t kAsciiAdvance[95] = {
    651,  823,  942,  1716, 1303, 1946, 1597, 563,  799,  799,  1024, 1716, 651,  739,  651,  690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690,  690,  1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604,  604,  1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799,  690,  799,  1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721,  1300, 1298, 569,  569,  1186, 569,  1995, 1298, 1253,
    1300, 1300, 842,  1067, 803,  1298, 1212, 1675, 1212, 1212, 1075, 1303, 690,  1303, 1716};

// The advance of a character outside ASCII: Latin letters with accents as their broadest base letters,
// dashes and arrows as they are set, anything else (CJK, symbols) a full em.
int otherAdvance(char32_t c) {
    if (c == 0x2013 || c == 0x2014) {
        return c == 0x2013 ? 1024 : 2048;
    }
    if (c >= 0x00A0 && c < 0x0250) {
        return 1620;
    }
    if (c >= 0x0300 && c < 0x0370) {
        return 0;  // combining marks sit on the letter before
    }
    return 2048;
}

}  // namespace

int textWidthPixels(const Font& font, std::string_view utf8) {
    std::int64_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            units += (b >= 0x20 && b < 0x7F) ? kAsciiAdvance[b - 0x20] : 0;
            ++i;
            continue;
        }
        const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        units += otherAdvance(c);
        i += static_cast<std::size_t>(length);
    }
    if (font.bold) {
        units += units / 10;
    }
    // Pixels at 96 dots per inch: the font's height in twips / 15, rounded up.
    return static_cast<int>((units * font.heightTwips + 2048 * 15 - 1) / (2048 * 15));
}

std::uint16_t rowHeightForFont(const Font& font) {
    const int px = (font.heightTwips * 83 + 900) / 1000;
    return static_cast<std::uint16_t>(std::min(px * 15, 8175));
}

}  // namespace rw::sheet
