#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// The one reading of a number typed by the user. The numeric test of "Start Creating Template", the chart
// layout's conversion of the generations text and the command-line tool all go through it, so what one of
// them accepts the others read the same way.
namespace rw::chart {

// Accepts, and nothing else: blanks (spaces, tabs) around the number; an optional sign; digits with an
// optional decimal fraction, whose separator is the locale's decimal separator or "." (either, always);
// an optional exponent "e" or "E" with an optional sign and at least one digit. At least one digit must come
// before the exponent. An empty or blank text is not a number. No group separators, no currency.
std::optional<double> parseNumber(const QString& text, const QLocale& locale = QLocale());

inline bool isNumeric(const QString& text, const QLocale& locale = QLocale()) {
    return parseNumber(text, locale).has_value();
}

// The deepest chart an .xls sheet holds: 15 generations put the lowest box on row 32,771, 16 would need
// 65,539 rows.
inline constexpr int kMaxGenerations = 15;

inline const QString kGenerationsTitle = QStringLiteral("Numerical Value");
inline const QString kGenerationsNotNumeric = QStringLiteral("Number of generations must be numeric.");
inline const QString kGenerationsTooMany = QStringLiteral("Number of generations must be 15 or fewer.");

// The first generation index of a chart: the number minus 1, rounded half to even into 32 bits. Fails with
// "Overflow" when it does not fit.
std::int32_t firstGenerationIndex(double generations);

enum class GenerationsCheck { NotNumeric, TooMany, Ok };

// The check made before any spreadsheet work: the text must be a number, and the chart must fit a sheet
// (a first generation index below 15, fitting 32 bits). Numbers below 0.5 pass: they draw the heading only.
GenerationsCheck checkGenerations(const QString& text, const QLocale& locale = QLocale());

}  // namespace rw::chart
