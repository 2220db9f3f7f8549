#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "spreadsheet/workbook.h"
#include "spreadsheet/xls_records.h"

// Cell formats in the file: FONT, FORMAT, XF, STYLE and PALETTE.
namespace rw::sheet::xls {

// Where the workbook's styles go in the file: XF, FONT and FORMAT numbers, given out as cells need them.
struct Layout {
    std::vector<std::uint16_t> xfOfStyle;   // per style id; 0xFFFF = not written
    std::vector<StyleId> xfStyles;          // styles of XF 16 onwards
    std::vector<Font> fonts;                // fonts of FONT index 5 onwards
    std::vector<std::uint16_t> fontOfXf;    // per entry of xfStyles
    std::vector<std::uint16_t> formatOfXf;  // per entry of xfStyles: the number format's index
    std::vector<std::string> formats;       // codes of the FORMAT records, from index 164 on
};

// The index of a number format: a built-in one's own, else a FORMAT record of the workbook.
std::uint16_t formatIndex(Layout& l, const std::string& code);
std::uint16_t fontIndex(Layout& l, const Font& f, const Font& defaultFont);
[[noreturn]] void unknownFormat();
// The XF of a cell format, numbered when first asked for (once per cell of the sheets being saved).
inline std::uint16_t xfIndex(Layout& l, StyleId id) {
    if (id >= l.xfOfStyle.size()) [[unlikely]] {
        unknownFormat();
    }
    std::uint16_t& xf = l.xfOfStyle[id];
    if (xf == 0xFFFF) {
        xf = static_cast<std::uint16_t>(16 + l.xfStyles.size());
        l.xfStyles.push_back(id);
    }
    return xf;
}

void putFont(RecordSink& s, const Font& f);
void putFormat(RecordSink& s, std::uint16_t index, const std::string& code);
void putStyleXf(RecordSink& s, std::uint16_t font, bool first);
void putCellXf(RecordSink& s, std::uint16_t font, std::uint16_t format, const CellStyle& st, bool defaultXf);
void putPalette(RecordSink& s, const Workbook& wb);

// An XF as read, before its font and number format are looked up.
struct RawXf {
    std::uint16_t font;
    std::uint16_t format;
    CellStyle style;
};

Font parseFont(std::span<const std::uint8_t> body);
RawXf parseXf(std::span<const std::uint8_t> body);
// A FORMAT record, entered into `formats` under its index.
void parseFormat(std::span<const std::uint8_t> body, std::map<std::uint16_t, std::string>& formats);
std::array<Rgb, 56> parsePalette(std::span<const std::uint8_t> body);

}  // namespace rw::sheet::xls
