#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "chart/automation.h"
#include "platform/error_report.h"
#include "platform/program_names.h"

// The ancestor chart: a two-line heading and one filled, framed box per ancestor, one column per
// generation, written onto a worksheet cell by cell through the automation interface.
namespace rw::chart {

// number raised to the power exponent, checked: a result that is not a number fails with "Invalid procedure
// call or argument", an infinite one from finite operands with "Division by zero" (zero to a negative power)
// or "Overflow". The main window offers it as its public MyPower; the layout is handed it, so a test can
// hand it another.
double MyPower(double number, double exponent);

using PowerFunction = std::function<double(double, double)>;

// The report name of the "Start Creating Template" routine, whose trap the layout's statements run under.
inline const QString kCreateTemplateReportName =
    QString::fromLatin1(names::kReportPrefix) + QStringLiteral(".Form1.PushButton1_Click");

// What the boxes of a filled chart hold: the text of each box by its Ahnentafel number (1 the person, 2a
// and 2a + 1 the father and mother of a). Generation g = floor(log2 a) stands in the column N - g places
// right of column B for an N-generation chart, and number a in its box a - 2^g counted from the top. A
// number without a text leaves its box blank.
using BoxTexts = std::unordered_map<std::uint32_t, std::string>;

// Whether a text fits a box of the chart on one line, in the boxes' font.
bool fitsBox(std::string_view text);

// Writes the whole chart onto `worksheet`: sheet font and column widths, the heading with `nameText` and
// `generationsText` (both exactly as typed), then the tree of boxes for that many generations. Every step
// is one statement of `trap`, labelled 116 to 196; a failing step is reported with its label and the layout
// goes on with the next one.
//
// The caller has checked `generationsText` with checkGenerations. Should a text that fails that check reach
// the layout anyway, the heading is written, the conversion at line 158 is reported, and no box is drawn:
// never a partial tree.
//
// With `boxes` (a filled chart) each box with a text gets it as its value, shrunk to fit its cell, and the
// generation columns right of F get the width of B to F. Without, the chart is the blank template.
void layoutFamilyTree(ErrorTrap& trap, const automation::Dispatch& worksheet, const QString& nameText,
                      const QString& generationsText, const PowerFunction& myPower = MyPower,
                      const BoxTexts* boxes = nullptr);

}  // namespace rw::chart
