#include "chart/number_parse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/checked.h"
#include "platform/failure.h"

namespace rw::chart {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// For a plain number that from_chars found out of range: whether it is huge (rather than tiny). Its decimal
// magnitude is the position of the first significant digit relative to the point, plus the exponent.
bool hugeMagnitude(const std::string& plain) {
    const std::size_t e = plain.find('e');
    const std::string mantissa = plain.substr(0, e);
    const std::size_t point = mantissa.find('.');
    const std::size_t intEnd = point == std::string::npos ? mantissa.size() : point;
    const std::size_t firstSignificant = mantissa.find_first_of("123456789");
    if (firstSignificant == std::string::npos) {
        return false;
    }
    long long magnitude = firstSignificant < intEnd ? static_cast<long long>(intEnd - firstSignificant)
                                                    : -static_cast<long long>(firstSignificant - intEnd - 1);
    if (e != std::string::npos) {
        long long exponent = 0;
        const bool negative = plain[e + 1] == '-';
        for (std::size_t i = e + 1; i < plain.size(); ++i) {
            if (plain[i] >= '0' && plain[i] <= '9') {
                exponent = std::min(exponent * 10 + (plain[i] - '0'), 1'000'000'000LL);
            }
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0;
}

}  // namespace

std::optional<double> parseNumber(const QString& text, const QLocale& locale) {
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && isBlank(text[pos])) {
        ++pos;
    }
    while (end > pos && isBlank(text[end - 1])) {
        --end;
    }
    if (pos == end) {
        return std::nullopt;
    }

    // Rewritten into the plain "C" form that from_chars reads, whatever the locale.
    std::string plain;
    plain.reserve(static_cast<std::size_t>(end - pos));
    if (text[pos] == u'+' || text[pos] == u'-') {
        if (text[pos] == u'-') {
            plain.push_back('-');
        }
        ++pos;
    }
    const QString separator = locale.decimalPoint();
    int mantissaDigits = 0;
    while (pos < end && isDigit(text[pos])) {
        plain.push_back(static_cast<char>(text[pos].unicode()));
        ++mantissaDigits;
        ++pos;
    }
    qsizetype separatorLength = 0;
    if (pos < end && text[pos] == u'.') {
        separatorLength = 1;
    } else if (!separator.isEmpty() && QStringView(text).sliced(pos, end - pos).startsWith(separator)) {
        separatorLength = separator.size();
    }
    if (separatorLength > 0) {
        plain.push_back('.');
        pos += separatorLength;
        while (pos < end && isDigit(text[pos])) {
            plain.push_back(static_cast<char>(text[pos].unicode()));
            ++mantissaDigits;
            ++pos;
        }
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (pos < end && (text[pos] == u'e' || text[pos] == u'E')) {
        plain.push_back('e');
        ++pos;
        if (pos < end && (text[pos] == u'+' || text[pos] == u'-')) {
            plain.push_back(static_cast<char>(text[pos].unicode()));
            ++pos;
        }
        int exponentDigits = 0;
        while (pos < end && isDigit(text[pos])) {
            plain.push_back(static_cast<char>(text[pos].unicode()));
            ++exponentDigits;
            ++pos;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (pos != end) {
        return std::nullopt;
    }

    double value = 0;
    const char* first = plain.data();
    const char* last = plain.data() + plain.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // A well-formed number beyond the range of a double: keep its sign and which end of the range it
        // lies at, so range checks refuse a huge one rather than mistaking it for text. Tiny ones are zero.
        const bool negative = plain.front() == '-';
        return hugeMagnitude(plain) ? (negative ? -HUGE_VAL : HUGE_VAL) : (negative ? -0.0 : 0.0);
    }
    if (ec != std::errc() || ptr != last) {
        return std::nullopt;
    }
    return value;
}

std::int32_t firstGenerationIndex(double generations) {
    return round32(generations - 1.0);
}

GenerationsCheck checkGenerations(const QString& text, const QLocale& locale) {
    const std::optional<double> value = parseNumber(text, locale);
    if (!value) {
        return GenerationsCheck::NotNumeric;
    }
    try {
        if (firstGenerationIndex(*value) >= kMaxGenerations) {
            return GenerationsCheck::TooMany;
        }
    } catch (const Failure&) {
        return GenerationsCheck::TooMany;
    }
    return GenerationsCheck::Ok;
}

}  // namespace rw::chart
