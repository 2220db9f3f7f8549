#include "spreadsheet/styles.h"

#include <functional>

#include "platform/failure.h"
#include "spreadsheet/text.h"

namespace rw::sheet {

namespace {

std::size_t hashCombine(std::size_t seed, std::size_t v) {
    return seed ^ (v + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace

void StyleChange::applyTo(CellStyle& style) const {
    switch (kind) {
        case Kind::FontName: {
            const std::size_t units = text::utf16Length(text);
            if (units == 0 || units > 31) {
                throw Failure("A font name must have 1 to 31 characters");
            }
            style.font.name = text;
            break;
        }
        case Kind::FontHeight:
            if (number < 20 || number > 8180) {
                throw Failure("A font size must be between 1 and 409 points");
            }
            style.font.heightTwips = static_cast<std::uint16_t>(number);
            break;
        case Kind::FontColor:
            if (!isPaletteColor(number) && number != kAutomaticFontColor) {
                throw Failure("A font colour must be a palette colour or automatic");
            }
            style.font.color = static_cast<std::uint16_t>(number);
            break;
        case Kind::FontBold:
            style.font.bold = number != 0;
            break;
        case Kind::FontItalic:
            style.font.italic = number != 0;
            break;
        case Kind::FontUnderline:
            style.font.underline = number != 0;
            break;
        case Kind::FontStrikeOut:
            style.font.strikeOut = number != 0;
            break;
        case Kind::Fill:
            if (number == 0) {
                style.solidFill = false;
                style.fillColor = kAutomaticLineColor;
            } else if (isPaletteColor(number)) {
                style.solidFill = true;
                style.fillColor = static_cast<std::uint16_t>(number);
            } else {
                throw Failure("A fill colour must be a palette colour");
            }
            break;
        case Kind::Alignment:
            if (number < 0 || number > 7) {
                throw Failure("Unknown horizontal alignment");
            }
            style.alignment = static_cast<HorizontalAlignment>(number);
            break;
        case Kind::ShrinkToFit:
            style.shrinkToFit = number != 0;
            break;
        case Kind::BorderLine: {
            if (number < 0 || number > 13) {
                throw Failure("Unknown border line style");
            }
            Border& b = style.borders[static_cast<int>(edge)];
            b.line = static_cast<LineStyle>(number);
            if (b.line == LineStyle::None) {
                b.color = 0;
            } else if (b.color == 0) {
                b.color = kAutomaticLineColor;
            }
            break;
        }
        case Kind::BorderColor: {
            if (!isPaletteColor(number) && number != kAutomaticLineColor) {
                throw Failure("A border colour must be a palette colour or automatic");
            }
            Border& b = style.borders[static_cast<int>(edge)];
            b.color = static_cast<std::uint16_t>(number);
            if (b.line == LineStyle::None) {
                b.line = LineStyle::Thin;  // a coloured edge shows as a thin line, as in Excel
            }
            break;
        }
    }
}

std::size_t StyleTable::StyleHash::operator()(const CellStyle& s) const {
    std::size_t h = std::hash<std::string>{}(s.font.name);
    h = hashCombine(h, s.font.heightTwips);
    h = hashCombine(h, s.font.color);
    h = hashCombine(h, (s.font.bold ? 1u : 0u) | (s.font.italic ? 2u : 0u) | (s.font.underline ? 4u : 0u) |
                           (s.font.strikeOut ? 8u : 0u) | (s.solidFill ? 16u : 0u));
    h = hashCombine(h, s.fillColor);
    for (const Border& b : s.borders) {
        h = hashCombine(h, static_cast<std::size_t>(b.line) * 256 + b.color);
    }
    h = hashCombine(h, std::hash<std::string>{}(s.numberFormat));
    return hashCombine(h, static_cast<std::size_t>(s.alignment) | (s.shrinkToFit ? 8u : 0u));
}

std::size_t StyleTable::TransitionHash::operator()(const TransitionKey& k) const {
    std::size_t h = k.base;
    h = hashCombine(h, (std::size_t{k.kind} << 8) | k.edge);
    h = hashCombine(h, static_cast<std::uint32_t>(k.number));
    return hashCombine(h, k.textId);
}

StyleTable::StyleTable(const Font& defaultFont) {
    CellStyle s;
    s.font = defaultFont;
    styles_.push_back(s);
    ids_.emplace(s, kDefaultStyle);
}

StyleId StyleTable::intern(const CellStyle& style) {
    auto it = ids_.find(style);
    if (it != ids_.end()) {
        return it->second;
    }
    if (styles_.size() >= kMaxStyles) {
        throw Failure("Too many different cell formats.");
    }
    const auto id = static_cast<StyleId>(styles_.size());
    styles_.push_back(style);
    ids_.emplace(style, id);
    return id;
}

StyleId StyleTable::apply(StyleId base, const StyleChange& change) {
    TransitionKey key{base, static_cast<std::uint8_t>(change.kind), static_cast<std::uint8_t>(change.edge),
                      change.number, 0};
    if (change.kind == StyleChange::Kind::FontName) {
        auto it = textIds_.find(change.text);  // found, as a rule: no new key is built
        if (it == textIds_.end()) {
            it = textIds_.emplace(change.text, static_cast<std::uint32_t>(textIds_.size() + 1)).first;
        }
        key.textId = it->second;
    }
    const std::uint32_t mix = (key.base * 0x9E3779B1u) ^ (std::uint32_t{key.kind} << 24) ^
                              (std::uint32_t{key.edge} << 16) ^ static_cast<std::uint32_t>(key.number) ^
                              (key.textId << 8);
    Memo& memo = memo_[(mix * 0x85EBCA6Bu) >> 26];
    static_assert(kMemoSlots == 64);
    if (memo.set && memo.key == key) {
        return memo.id;
    }
    StyleId id = 0;
    if (auto found = transitions_.find(key); found != transitions_.end()) {
        id = found->second;
    } else {
        CellStyle s = styles_.at(base);
        change.applyTo(s);
        id = intern(s);
        transitions_.emplace(key, id);
    }
    memo = {key, id, true};
    return id;
}

}  // namespace rw::sheet
