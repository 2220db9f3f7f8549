#pragma once

#include <QColor>
#include <QString>
#include <QStringView>
#include <optional>

#include "preview/svg_subset_reader.h"

// The values in the attributes of the flat chart form: numbers, paints, font weights, text, path data. Each
// throws Unsupported for anything beyond that form.
namespace rw::preview::svg {

// The length of the SVG number at the start of `t`: an optional sign, digits with an optional fraction (at
// least one digit in all), an optional exponent with at least one digit. 0 when there is none.
qsizetype numberLength(QStringView t);

// The value of a whole SVG number as numberLength finds it; Unsupported for anything else, or beyond a
// double's range. Charts hold hundreds of thousands of numbers: this stays off the heap.
double parseNumber(QStringView t);

// A length in pixels, with or without its "px".
double number(QStringView text);

// A colour; empty for "none".
std::optional<QRgb> paint(QStringView text);

// A font weight: "normal", "bold" or 1 to 1000.
int weight(QStringView text);

// SVG's default white-space handling: line breaks go, tabs become blanks, runs of blanks become one, and
// the ends are trimmed.
QString collapseBlanks(const QString& raw);

// The numbers and command letters of a path's "d".
class PathScanner {
  public:
    explicit PathScanner(QStringView d) : d_(d) {}

    void skipSeparators() {
        while (pos_ < d_.size() && (d_[pos_].isSpace() || d_[pos_] == u',')) {
            ++pos_;
        }
    }
    bool atEnd() {
        skipSeparators();
        return pos_ >= d_.size();
    }
    bool atCommand() {
        skipSeparators();
        return pos_ < d_.size() && d_[pos_].isLetter() && d_[pos_] != u'e' && d_[pos_] != u'E';
    }
    QChar command() { return d_[pos_++]; }
    double nextNumber() {
        skipSeparators();
        const qsizetype length = numberLength(d_.mid(pos_));
        if (length == 0) {
            throw Unsupported{};
        }
        const double v = parseNumber(d_.mid(pos_, length));
        pos_ += length;
        return v;
    }

  private:
    QStringView d_;
    qsizetype pos_ = 0;
};

}  // namespace rw::preview::svg
