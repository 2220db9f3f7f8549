#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace rw::sheet::svg {

// Appends SVG text quickly: integers and half pixels through to_chars, no streams. The text builds up in
// `s`; given a sink, it is handed over in pieces of about 1 MB instead, for a caller that keeps the whole
// document in a buffer of its own (so the document is never held twice).
class SvgOut {
  public:
    using Sink = std::function<void(std::string_view)>;
    static constexpr std::size_t kPiece = std::size_t{1} << 20;

    SvgOut() = default;
    explicit SvgOut(Sink sink) : sink_(std::move(sink)) { s.reserve(kPiece + 4096); }

    std::string s;

    // Hands what is left to the sink; without one, the text stays in `s`.
    void flush() {
        if (sink_ && !s.empty()) {
            sink_(s);
            s.clear();
        }
    }

    SvgOut& raw(std::string_view t) {
        s.append(t);
        return wrote();
    }
    SvgOut& num(std::int64_t v) {
        char buf[24];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
        (void)ec;
        s.append(buf, end);
        return wrote();
    }
    // A value in half pixels: 2 * v.
    SvgOut& half(std::int64_t twice) {
        if (twice % 2 == 0) {
            return num(twice / 2);
        }
        if (twice < 0 && twice > -2) {
            return raw("-0.5");
        }
        num(twice / 2);  // truncates toward zero; the sign is already written
        return raw(".5");
    }
    SvgOut& dec(double v) {
        char buf[32];
        const double hundredths = std::round(v * 100.0);
        if (std::fabs(hundredths) < 1e12) {
            // The digits to_chars gives at two places, from the whole number of hundredths: a box text's
            // four numbers are written this way 32,767 times for a filled chart. "-0" stays "-0".
            char* p = buf;
            if (std::signbit(hundredths)) {
                *p++ = '-';
            }
            const auto whole = static_cast<std::int64_t>(std::fabs(hundredths));
            p = std::to_chars(p, buf + sizeof buf, whole / 100).ptr;
            if (const auto fraction = static_cast<int>(whole % 100); fraction != 0) {
                *p++ = '.';
                *p++ = static_cast<char>('0' + fraction / 10);
                if (fraction % 10 != 0) {
                    *p++ = static_cast<char>('0' + fraction % 10);
                }
            }
            s.append(buf, p);
            return wrote();
        }
        const double rounded = hundredths / 100.0;  // beyond any picture's size, or not a number
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 2);
        if (ec != std::errc()) {  // too long written out in full: the shortest form, which always fits
            s.append(buf, std::to_chars(buf, buf + sizeof buf, rounded).ptr);
            return wrote();
        }
        // Drop trailing zeros of the fraction, and the point itself when nothing is left.
        char* last = end;
        while (last > buf && last[-1] == '0') {
            --last;
        }
        if (last > buf && last[-1] == '.') {
            --last;
        }
        s.append(buf, last);
        return wrote();
    }
    SvgOut& color(std::uint32_t rgb) {
        static constexpr char kHex[] = "0123456789abcdef";
        char buf[7] = {'#'};
        for (int i = 0; i < 6; ++i) {
            buf[1 + i] = kHex[(rgb >> (20 - 4 * i)) & 0xF];
        }
        s.append(buf, 7);
        return wrote();
    }
    // Text content or an attribute value: XML entities for markup characters; characters XML cannot
    // carry become a replacement. Blanks that the SVG white-space rule would drop (leading, trailing,
    // repeated) become no-break spaces, so the text keeps its place as the cell shows it.
    SvgOut& escaped(std::string_view t, bool keepBlanks = false) {
        appendText(s, t, keepBlanks, true);
        return wrote();
    }

    // The same text as a reader of the document gets it back: the characters and blanks as escaped()
    // writes them, without the entities.
    static std::string plain(std::string_view t, bool keepBlanks = false) {
        std::string out;
        out.reserve(t.size());
        appendText(out, t, keepBlanks, false);
        return out;
    }

  private:
    SvgOut& wrote() {
        if (sink_ && s.size() >= kPiece) {
            flush();
        }
        return *this;
    }

    // Characters that go through as they are: most of any text, so they are copied a run at a time.
    static bool passesThrough(unsigned char u, bool entities) {
        return u > 0x20 && u != 0xEF && !(entities && (u == '&' || u == '<' || u == '>' || u == '"'));
    }

    static void appendText(std::string& s, std::string_view t, bool keepBlanks, bool entities) {
        for (std::size_t i = 0; i < t.size(); ++i) {
            std::size_t run = i;
            while (run < t.size() && passesThrough(static_cast<unsigned char>(t[run]), entities)) {
                ++run;
            }
            if (run > i) {
                s.append(t.data() + i, run - i);
                i = run;
                if (i == t.size()) {
                    break;
                }
            }
            const char ch = t[i];
            const auto u = static_cast<unsigned char>(ch);
            if (entities) {
                switch (ch) {
                    case '&':
                        s.append("&amp;");
                        continue;
                    case '<':
                        s.append("&lt;");
                        continue;
                    case '>':
                        s.append("&gt;");
                        continue;
                    case '"':
                        s.append("&quot;");
                        continue;
                    default:
                        break;
                }
            }
            if (u < 0x20 || ch == ' ') {
                const bool lone = i > 0 && i + 1 < t.size() && t[i - 1] != ' ' &&
                                  static_cast<unsigned char>(t[i - 1]) >= 0x20;
                s.append(keepBlanks && !lone ? "\xC2\xA0" : " ");
                continue;
            }
            if (u == 0xEF && i + 2 < t.size() && static_cast<unsigned char>(t[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(t[i + 2]) == 0xBE ||
                 static_cast<unsigned char>(t[i + 2]) == 0xBF)) {
                s.append("\xEF\xBF\xBD");  // U+FFFE and U+FFFF are not XML characters
                i += 2;
                continue;
            }
            s.push_back(ch);
        }
    }

    Sink sink_;
};

}  // namespace rw::sheet::svg
