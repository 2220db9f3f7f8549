#include "family/decode.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace rw::family::detail {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The upper halves of the single-byte character sets (0x80..0xFF).
constexpr std::array<char16_t, 128> kCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr std::array<char16_t, 128> kMacRoman = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// Windows-1252 differs from ISO 8859-1 only in 0x80..0x9F.
constexpr std::array<char16_t, 32> kCp1252Low = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

// ANSEL (ANSI Z39.47 with the family-file additions): 0xA1..0xDF spacing characters, 0xE0..0xFE
// combining marks, which come BEFORE the letter they sit on.
char32_t anselSpacing(unsigned char b) {
    switch (b) {
        case 0xA1:
            return 0x0141;
        case 0xA2:
            return 0x00D8;
        case 0xA3:
            return 0x0110;
        case 0xA4:
            return 0x00DE;
        case 0xA5:
            return 0x00C6;
        case 0xA6:
            return 0x0152;
        case 0xA7:
            return 0x02B9;
        case 0xA8:
            return 0x00B7;
        case 0xA9:
            return 0x266D;
        case 0xAA:
            return 0x00AE;
        case 0xAB:
            return 0x00B1;
        case 0xAC:
            return 0x01A0;
        case 0xAD:
            return 0x01AF;
        case 0xAE:
            return 0x02BC;
        case 0xB0:
            return 0x02BB;
        case 0xB1:
            return 0x0142;
        case 0xB2:
            return 0x00F8;
        case 0xB3:
            return 0x0111;
        case 0xB4:
            return 0x00FE;
        case 0xB5:
            return 0x00E6;
        case 0xB6:
            return 0x0153;
        case 0xB7:
            return 0x02BA;
        case 0xB8:
            return 0x0131;
        case 0xB9:
            return 0x00A3;
        case 0xBA:
            return 0x00F0;
        case 0xBC:
            return 0x01A1;
        case 0xBD:
            return 0x01B0;
        case 0xBE:
            return 0x25A1;
        case 0xBF:
            return 0x25A0;
        case 0xC0:
            return 0x00B0;
        case 0xC1:
            return 0x2113;
        case 0xC2:
            return 0x2117;
        case 0xC3:
            return 0x00A9;
        case 0xC4:
            return 0x266F;
        case 0xC5:
            return 0x00BF;
        case 0xC6:
            return 0x00A1;
        case 0xC7:
            return 0x00DF;
        case 0xC8:
            return 0x20AC;
        case 0xCF:
            return 0x00DF;
        default:
            return kReplacement;
    }
}

char32_t anselCombining(unsigned char b) {
    static constexpr std::array<char16_t, 31> marks = {
        0x0309, 0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x0306, 0x0307, 0x0308, 0x030C, 0x030A,
        0xFE20, 0xFE21, 0x0315, 0x030B, 0x0310, 0x0327, 0x0328, 0x0323, 0x0324, 0x0325, 0x0333,
        0x0332, 0x0326, 0x031C, 0x032E, 0xFE22, 0xFE23, 0x0000, 0x0000, 0x0313,
    };
    const char16_t m = marks[b - 0xE0];
    return m == 0 ? kReplacement : m;
}

bool isValidUtf8(std::string_view s, bool& anyMultiByte) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    anyMultiByte = false;
    while (p < end) {
        // Eight ASCII bytes at a time.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        anyMultiByte = true;
        int n = 0;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= n)
            return false;
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += n + 1;
    }
    return true;
}

void decodeTable(std::string_view s, const char16_t* upper, bool cp1252, std::string& out) {
    out.reserve(out.size() + s.size() + s.size() / 8);
    for (const char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out.push_back(ch);
        } else if (cp1252) {
            appendUtf8(out, b < 0xA0 ? kCp1252Low[b - 0x80] : char32_t{b});
        } else {
            appendUtf8(out, upper[b - 0x80]);
        }
    }
}

void decodeAnsel(std::string_view s, std::string& out) {
    out.reserve(out.size() + s.size() + s.size() / 8);
    std::u32string marks;  // combining marks waiting for their letter
    auto flush = [&] {
        for (const char32_t m : marks)
            appendUtf8(out, m);
        marks.clear();
    };
    for (const char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0xE0 && b <= 0xFE) {
            marks.push_back(anselCombining(b));
            continue;
        }
        if (b == '\r' || b == '\n') {
            flush();  // a mark never reaches over a line end
            out.push_back(ch);
            continue;
        }
        if (b < 0x80) {
            out.push_back(ch);
        } else if (b >= 0xA1) {
            appendUtf8(out, anselSpacing(b));
        } else {
            appendUtf8(out, kReplacement);
        }
        flush();
    }
    flush();
}

void decodeUtf16(std::string_view s, bool bigEndian, std::string& out) {
    out.reserve(out.size() + s.size() / 2 + s.size() / 8);
    const std::size_t units = s.size() / 2;
    auto unit = [&](std::size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(s[2 * i]);
        const auto b = static_cast<unsigned char>(s[2 * i + 1]);
        return bigEndian ? static_cast<char16_t>(a << 8 | b) : static_cast<char16_t>(b << 8 | a);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
                   unit(i + 1) <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
}

// What the header says: HEAD.CHAR and HEAD.GEDC.VERS, read from the ASCII-compatible bytes.
struct HeaderInfo {
    std::string charset;
    std::string version;
    bool hasChar = false;
};

HeaderInfo scanHeader(std::string_view s) {
    HeaderInfo info;
    s = s.substr(0, std::min<std::size_t>(s.size(), 1 << 16));
    bool inHead = false;
    std::string level1;
    std::size_t pos = 0;
    bool first = true;
    while (pos < s.size()) {
        std::size_t end = s.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = s.size();
        std::string_view line = trimBlanks(s.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] < '0' || line[0] > '9')
            continue;
        const char level = line[0];
        const std::size_t sp = line.find(' ');
        if (sp == std::string_view::npos)
            continue;
        std::string_view rest = trimBlanks(line.substr(sp + 1));
        const std::size_t sp2 = rest.find(' ');
        const std::string tag = upperAscii(rest.substr(0, sp2));
        const std::string_view value =
            sp2 == std::string_view::npos ? std::string_view{} : trimBlanks(rest.substr(sp2 + 1));
        if (level == '0') {
            if (!first && inHead)
                break;
            inHead = tag == "HEAD";
            first = false;
            continue;
        }
        if (!inHead)
            continue;
        if (level == '1') {
            level1 = tag;
            if (tag == "CHAR" && !info.hasChar) {
                info.hasChar = true;
                info.charset = upperAscii(value);
            }
        } else if (level == '2' && level1 == "GEDC" && tag == "VERS" && info.version.empty()) {
            info.version = std::string(value);
        }
    }
    return info;
}

}  // namespace

std::string upperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string toNfc(std::string_view text) {
    bool ascii = true;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status))
        return std::string(text);
    std::u16string wide(text.size() + 1, u'\0');
    int32_t wideLength = 0;
    u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &wideLength, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        return std::string(text);
    std::u16string normal(static_cast<std::size_t>(wideLength) * 3 + 1, u'\0');
    const int32_t normalLength = unorm2_normalize(nfc, wide.data(), wideLength, normal.data(),
                                                  static_cast<int32_t>(normal.size()), &status);
    if (U_FAILURE(status))
        return std::string(text);
    std::string out(static_cast<std::size_t>(normalLength) * 3 + 1, '\0');
    int32_t outLength = 0;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &outLength, normal.data(), normalLength,
                       0xFFFD, nullptr, &status);
    if (U_FAILURE(status))
        return std::string(text);
    out.resize(static_cast<std::size_t>(outLength));
    return out;
}

Plan plan(std::string_view head, std::vector<Warning>& warnings) {
    Plan p;
    auto starts = [&](std::string_view prefix) { return head.substr(0, prefix.size()) == prefix; };
    if (starts("\xFF\xFE") || starts("\xFE\xFF") ||
        (head.size() >= 2 && (head[0] == '\0') != (head[1] == '\0'))) {
        // UTF-16, with a byte-order mark or recognised from the first character (exports often carry none).
        const bool big = starts("\xFE\xFF") || (!starts("\xFF\xFE") && head[0] == '\0');
        p.charset = big ? Charset::Utf16BE : Charset::Utf16LE;
        p.encoding = big ? "UTF-16BE" : "UTF-16LE";
        p.skip = starts("\xFF\xFE") || starts("\xFE\xFF") ? 2 : 0;
        std::string decoded;
        decodeInto(p.charset, head.substr(p.skip, (head.size() - p.skip) & ~std::size_t{1}), decoded);
        p.version = scanHeader(decoded).version;
        return p;
    }
    if (starts("\xEF\xBB\xBF")) {
        p.skip = 3;
        p.charset = Charset::Utf8;
        p.encoding = "UTF-8";
        p.version = scanHeader(head.substr(3)).version;
        return p;
    }
    const HeaderInfo header = scanHeader(head);
    p.version = header.version;
    std::string charset = header.charset;
    bool multiByte = false;
    // The head of a longer file may end inside a character: only its whole lines are judged.
    const std::size_t lineEnd = head.find_last_of("\r\n");
    const std::string_view judged =
        head.size() < kHeadBytes || lineEnd == std::string_view::npos ? head : head.substr(0, lineEnd);
    const bool validUtf8 = isValidUtf8(judged, multiByte);
    if (!header.hasChar) {
        const bool seven = !header.version.empty() && header.version[0] >= '7';
        // A 5.x file without CHAR is ANSEL by the rules; but bytes that are valid UTF-8 with letters beyond
        // ASCII are almost certainly UTF-8, and reading them as ANSEL would garble every such name.
        if (seven || (validUtf8 && multiByte)) {
            charset = "UTF-8";
            if (!seven)
                warnings.push_back({0, "The header names no character set; the file is read as UTF-8."});
        } else {
            charset = "ANSEL";
        }
    }
    auto use = [&](Charset c, const char* name) {
        p.charset = c;
        p.encoding = name;
        return p;
    };
    if (charset == "UTF-8" || charset == "UTF8" || charset == "UNICODE" || charset == "UTF-16")
        return use(Charset::Utf8, "UTF-8");
    if (charset == "ANSEL")
        return use(Charset::Ansel, "ANSEL");
    if (charset == "IBMPC" || charset == "IBM PC" || charset == "CP437" || charset == "IBM-PC")
        return use(Charset::Cp437, "IBM PC (code page 437)");
    if (charset == "MACINTOSH" || charset == "MACROMAN" || charset == "MAC")
        return use(Charset::MacRoman, "Mac Roman");
    if (charset == "ASCII")
        return use(Charset::Cp1252, "ASCII");
    const bool known = charset == "ANSI" || charset == "WINDOWS-1252" || charset == "CP1252" ||
                       charset == "ISO-8859-1" || charset == "LATIN1" || charset == "IBM WINDOWS";
    if (!known) {
        warnings.push_back({0, "The character set \"" + header.charset +
                                   "\" is unknown; the file is read as UTF-8 " +
                                   "if it can be, else as Windows-1252."});
        return use(Charset::Utf8, "UTF-8");
    }
    return use(Charset::Cp1252, "Windows-1252");
}

bool decodeInto(Charset charset, std::string_view in, std::string& out) {
    switch (charset) {
        case Charset::Utf8: {
            bool multiByte = false;
            if (!isValidUtf8(in, multiByte))
                return false;
            out.append(in);
            return true;
        }
        case Charset::Utf16LE:
            decodeUtf16(in, false, out);
            return true;
        case Charset::Utf16BE:
            decodeUtf16(in, true, out);
            return true;
        case Charset::Ansel:
            decodeAnsel(in, out);
            return true;
        case Charset::Cp1252:
            decodeTable(in, nullptr, true, out);
            return true;
        case Charset::Cp437:
            decodeTable(in, kCp437.data(), false, out);
            return true;
        case Charset::MacRoman:
            decodeTable(in, kMacRoman.data(), false, out);
            return true;
    }
    return false;
}

void fallBackToWindows1252(Plan& p, std::vector<Warning>& warnings) {
    warnings.push_back({0, "The file says it is UTF-8 but is not; it is read as Windows-1252."});
    p.charset = Charset::Cp1252;
    p.encoding = "Windows-1252";
}

Decoded decode(std::string_view bytes, std::vector<Warning>& warnings) {
    Decoded d;
    Plan p = plan(bytes.substr(0, kHeadBytes), warnings);
    const std::string_view body = bytes.substr(p.skip);
    bool multiByte = false;
    if (p.charset == Charset::Utf8 && !isValidUtf8(body, multiByte))
        fallBackToWindows1252(p, warnings);
    if (p.charset == Charset::Utf8) {
        d.usesInput = true;
        d.skip = p.skip;
    } else {
        if ((p.charset == Charset::Utf16LE || p.charset == Charset::Utf16BE) && body.size() % 2 != 0)
            warnings.push_back({0, "The file ends in half a character; the last byte is ignored."});
        decodeInto(p.charset, body, d.text);
    }
    d.encoding = p.encoding;
    d.version = p.version;
    return d;
}

}  // namespace rw::family::detail
