#include "spreadsheet/xls_styles.h"

#include <algorithm>

#include "platform/failure.h"
#include "spreadsheet/number_formats.h"
#include "spreadsheet/text.h"

namespace rw::sheet::xls {

std::uint16_t formatIndex(Layout& l, const std::string& code) {
    if (code.empty()) {
        return 0;
    }
    if (auto builtin = builtinNumberFormatIndex(code)) {
        return *builtin;
    }
    auto it = std::find(l.formats.begin(), l.formats.end(), code);
    if (it == l.formats.end()) {
        it = l.formats.insert(it, code);
    }
    return static_cast<std::uint16_t>(kFirstCustomNumberFormat + (it - l.formats.begin()));
}

std::uint16_t fontIndex(Layout& l, const Font& f, const Font& defaultFont) {
    if (f == defaultFont) {
        return 0;
    }
    for (std::size_t i = 0; i < l.fonts.size(); ++i) {
        if (l.fonts[i] == f) {
            return static_cast<std::uint16_t>(i + 5);
        }
    }
    l.fonts.push_back(f);
    return static_cast<std::uint16_t>(l.fonts.size() + 4);
}

void unknownFormat() {
    throw Failure("Internal error: a cell refers to an unknown format");
}

void putFont(RecordSink& s, const Font& f) {
    s.begin(biff::kFont);
    s.u16(f.heightTwips);
    s.u16((f.italic ? 0x02 : 0) | (f.strikeOut ? 0x08 : 0));
    s.u16(f.color);
    s.u16(f.bold ? 700 : 400);
    s.u16(0);
    s.u8(f.underline ? 1 : 0);
    s.u8(0);  // family
    s.u8(1);  // character set: default
    s.u8(0);
    putString(s, text::toUtf16(f.name), true);
    s.end();
}

void putFormat(RecordSink& s, std::uint16_t index, const std::string& code) {
    s.begin(biff::kFormat);
    s.u16(index);
    putString(s, text::toUtf16(code), false);
    s.end();
}

void putStyleXf(RecordSink& s, std::uint16_t font, bool first) {
    s.begin(biff::kXf);
    s.u16(font);
    s.u16(0);
    s.u16(0xFFF5);  // locked, style XF, no parent
    s.u8(0x20);     // general, bottom
    s.u8(0);
    s.u8(0);
    s.u8(first ? 0x00 : 0xF4);
    s.u32(0);
    s.u32(0);
    s.u16(64 | (65 << 7));
    s.end();
}

void putCellXf(RecordSink& s, std::uint16_t font, std::uint16_t format, const CellStyle& st, bool defaultXf) {
    s.begin(biff::kXf);
    s.u16(font);
    s.u16(format);
    s.u16(0x0001);  // locked, cell XF, parent style XF 0
    s.u8(static_cast<std::uint32_t>(st.alignment) | 0x20);
    s.u8(0);
    s.u8(st.shrinkToFit ? 0x10 : 0x00);  // indent 0; bit 4: shrink to fit
    s.u8(defaultXf ? 0x00 : 0xFC);
    const Border& l = st.border(Edge::Left);
    const Border& r = st.border(Edge::Right);
    const Border& t = st.border(Edge::Top);
    const Border& b = st.border(Edge::Bottom);
    s.u32(static_cast<std::uint32_t>(l.line) | (static_cast<std::uint32_t>(r.line) << 4) |
          (static_cast<std::uint32_t>(t.line) << 8) | (static_cast<std::uint32_t>(b.line) << 12) |
          (std::uint32_t{l.color} << 16) | (std::uint32_t{r.color} << 23));
    s.u32(std::uint32_t{t.color} | (std::uint32_t{b.color} << 7) | ((st.solidFill ? 1u : 0u) << 26));
    s.u16(std::uint32_t{st.solidFill ? st.fillColor : std::uint16_t{64}} | (65u << 7));
    s.end();
}

void putPalette(RecordSink& s, const Workbook& wb) {
    s.begin(biff::kPalette);
    s.u16(56);
    for (const Rgb& c : wb.palette()) {
        s.u8(c.r);
        s.u8(c.g);
        s.u8(c.b);
        s.u8(0);
    }
    s.end();
}

Font parseFont(std::span<const std::uint8_t> body) {
    bytes::Reader r(body, "a FONT record");
    Font f;
    f.heightTwips = r.u16();
    const std::uint16_t flags = r.u16();
    f.color = r.u16();
    f.bold = r.u16() >= 700;
    r.u16();
    f.underline = r.u8() != 0;
    r.skip(3);
    f.name = readString(r, true);
    f.italic = flags & 0x02;
    f.strikeOut = flags & 0x08;
    if (f.heightTwips < 20 || f.heightTwips > 8180) {
        f.heightTwips = std::clamp<std::uint16_t>(f.heightTwips, 20, 8180);
    }
    if (f.name.empty()) {
        f.name = "Arial";
    }
    const bool okColor = (f.color >= kFirstPaletteIndex && f.color <= kLastPaletteIndex);
    if (!okColor) {
        f.color = kAutomaticFontColor;
    }
    return f;
}

namespace {

std::uint16_t paletteOr(std::uint32_t c, std::uint16_t fallback) {
    return (c >= kFirstPaletteIndex && c <= kLastPaletteIndex) ? static_cast<std::uint16_t>(c) : fallback;
}

}  // namespace

RawXf parseXf(std::span<const std::uint8_t> body) {
    bytes::Reader r(body, "an XF record");
    RawXf x;
    x.font = r.u16();
    x.format = r.u16();
    r.u16();
    const std::uint8_t align = r.u8();
    r.skip(1);
    const std::uint8_t indentShrink = r.u8();
    r.skip(1);
    const std::uint32_t b1 = r.u32();
    const std::uint32_t b2 = r.u32();
    const std::uint16_t colors = r.u16();
    CellStyle& s = x.style;
    s.alignment = static_cast<HorizontalAlignment>(align & 0x07);
    s.shrinkToFit = (indentShrink & 0x10) != 0;
    const auto edge = [&](Edge e, std::uint32_t line, std::uint32_t color) {
        Border& b = s.borders[static_cast<int>(e)];
        if (line == 0 || line > 13) {
            return;
        }
        b.line = static_cast<LineStyle>(line);
        b.color = paletteOr(color, kAutomaticLineColor);
    };
    edge(Edge::Left, b1 & 0x0F, (b1 >> 16) & 0x7F);
    edge(Edge::Right, (b1 >> 4) & 0x0F, (b1 >> 23) & 0x7F);
    edge(Edge::Top, (b1 >> 8) & 0x0F, b2 & 0x7F);
    edge(Edge::Bottom, (b1 >> 12) & 0x0F, (b2 >> 7) & 0x7F);
    const std::uint32_t pattern = (b2 >> 26) & 0x3F;
    if (pattern == 1) {
        const std::uint16_t fore = paletteOr(colors & 0x7F, 0);
        if (fore != 0) {
            s.solidFill = true;
            s.fillColor = fore;
        }
    }
    return x;
}

void parseFormat(std::span<const std::uint8_t> body, std::map<std::uint16_t, std::string>& formats) {
    bytes::Reader f(body, "a FORMAT record");
    const std::uint16_t index = f.u16();
    formats[index] = readString(f, false);
}

std::array<Rgb, 56> parsePalette(std::span<const std::uint8_t> body) {
    bytes::Reader p(body, "the PALETTE record");
    const std::uint16_t n = p.u16();
    if (n != 56 || p.left() != 56 * 4) {
        damaged("the palette has the wrong size");
    }
    std::array<Rgb, 56> colors{};
    for (Rgb& c : colors) {
        c.r = p.u8();
        c.g = p.u8();
        c.b = p.u8();
        p.u8();
    }
    return colors;
}

}  // namespace rw::sheet::xls
