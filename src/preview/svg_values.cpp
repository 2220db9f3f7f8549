#include "preview/svg_values.h"

#include <array>
#include <charconv>
#include <cmath>

namespace rw::preview::svg {

qsizetype numberLength(QStringView t) {
    qsizetype pos = 0;
    const qsizetype size = t.size();
    auto digits = [&] {
        const qsizetype from = pos;
        while (pos < size && t[pos] >= u'0' && t[pos] <= u'9') {
            ++pos;
        }
        return pos - from;
    };
    if (pos < size && (t[pos] == u'-' || t[pos] == u'+')) {
        ++pos;
    }
    qsizetype mantissa = digits();
    if (pos < size && t[pos] == u'.') {
        ++pos;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return 0;
    }
    if (pos < size && (t[pos] == u'e' || t[pos] == u'E')) {
        const qsizetype mark = pos;
        ++pos;
        if (pos < size && (t[pos] == u'-' || t[pos] == u'+')) {
            ++pos;
        }
        if (digits() == 0) {
            pos = mark;  // no exponent after all
        }
    }
    return pos;
}

// The value of a whole SVG number as numberLength finds it; Unsupported for anything else, or beyond a
// double's range. Charts hold hundreds of thousands of numbers: this stays off the heap.
double parseNumber(QStringView t) {
    std::array<char, 64> buffer{};
    if (t.isEmpty() || t.size() >= static_cast<qsizetype>(buffer.size()) || numberLength(t) != t.size()) {
        throw Unsupported{};
    }
    qsizetype from = t.front() == u'+' ? 1 : 0;  // from_chars takes no plus sign
    std::size_t n = 0;
    for (qsizetype i = from; i < t.size(); ++i) {
        buffer[n++] = static_cast<char>(t[i].unicode());  // ASCII only, as numberLength checked
    }
    double v = 0;
    const auto [end, error] = std::from_chars(buffer.data(), buffer.data() + n, v);
    if (error != std::errc() || end != buffer.data() + n || !std::isfinite(v)) {
        throw Unsupported{};
    }
    return v;
}

double number(QStringView text) {
    QStringView t = text.trimmed();
    if (t.endsWith(u"px")) {
        t.chop(2);
    }
    return parseNumber(t);
}

std::optional<QRgb> paint(QStringView text) {
    const QStringView t = text.trimmed();
    if (t == u"none") {
        return std::nullopt;
    }
    const QColor c = QColor::fromString(t);
    if (!c.isValid()) {
        throw Unsupported{};
    }
    return c.rgb();
}

int weight(QStringView text) {
    const QStringView t = text.trimmed();
    if (t == u"normal") {
        return 400;
    }
    if (t == u"bold") {
        return 700;
    }
    bool ok = false;
    const int w = t.toInt(&ok);
    if (!ok || w < 1 || w > 1000) {
        throw Unsupported{};
    }
    return w;
}

// SVG's default white-space handling: line breaks go, tabs become blanks, runs of blanks become one, and
// the ends are trimmed.
QString collapseBlanks(const QString& raw) {
    QString out;
    out.reserve(raw.size());
    for (QChar c : raw) {
        if (c == u'\n' || c == u'\r') {
            continue;
        }
        if (c == u'\t') {
            c = u' ';
        }
        if (c == u' ' && (out.isEmpty() || out.back() == u' ')) {
            continue;
        }
        out.append(c);
    }
    while (out.endsWith(u' ')) {
        out.chop(1);
    }
    return out;
}

}  // namespace rw::preview::svg
