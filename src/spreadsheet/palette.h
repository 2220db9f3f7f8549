#pragma once

#include <array>
#include <cstdint>

// The colour palette of the workbook model. Colours are BIFF palette indexes: 8..63 are the 56 palette
// slots (see Workbook::paletteColor), 64 is the automatic (window text) colour of lines and patterns, 65 the
// automatic background, and 0x7FFF the automatic font colour. The object model's ColorIndex n (1..56) is
// palette index n + 7.
namespace rw::sheet {

// Palette and automatic colour indexes.
inline constexpr std::uint16_t kFirstPaletteIndex = 8;
inline constexpr std::uint16_t kLastPaletteIndex = 63;
inline constexpr std::uint16_t kAutomaticLineColor = 64;
inline constexpr std::uint16_t kAutomaticBackground = 65;
inline constexpr std::uint16_t kAutomaticFontColor = 0x7FFF;

inline bool isPaletteColor(std::int32_t c) {
    return c >= kFirstPaletteIndex && c <= kLastPaletteIndex;
}

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The default BIFF8 palette, slots 8..63 (index 0 is slot 8).
const std::array<Rgb, 56>& defaultPalette();

}  // namespace rw::sheet
