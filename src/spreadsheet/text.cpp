#include "spreadsheet/text.h"

#include <cstdint>

namespace rw::sheet::text {

namespace {

// Decodes UTF-8, handing each UTF-16 unit to `unit`; fails on anything that is not valid UTF-8.
template <typename Unit>
void decodeUtf8(std::string_view s, Unit&& unit) {
    std::size_t i = 0;
    const auto bad = [] { throw Failure("The text is not valid UTF-8"); };
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {  // ASCII, the usual case, straight through
            unit(static_cast<char16_t>(b0));
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        int extra = 0;
        if (b0 >= 0xC2 && b0 < 0xE0) {
            cp = b0 & 0x1F;
            extra = 1;
        } else if (b0 >= 0xE0 && b0 < 0xF0) {
            cp = b0 & 0x0F;
            extra = 2;
        } else if (b0 >= 0xF0 && b0 < 0xF5) {
            cp = b0 & 0x07;
            extra = 3;
        } else {
            bad();
        }
        if (i + static_cast<std::size_t>(extra) >= s.size()) {
            bad();
        }
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) {
                bad();
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            bad();
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            unit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
}

}  // namespace

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    decodeUtf8(s, [&](char16_t u) { out.push_back(u); });
    return out;
}

// Counted without building the text: every box text of a filled chart is measured so.
std::size_t utf16Length(std::string_view s) {
    std::size_t units = 0;
    decodeUtf8(s, [&](char16_t) { ++units; });
    return units;
}

std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool isLatin1(std::u16string_view s) {
    for (char16_t c : s) {
        if (c > 0xFF) {
            return false;
        }
    }
    return true;
}

}  // namespace rw::sheet::text
