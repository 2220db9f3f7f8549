#include "chart/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "chart/number_parse.h"
#include "platform/checked.h"
#include "platform/failure.h"
#include "spreadsheet/metrics.h"

namespace rw::chart {

namespace {

using automation::Dispatch;
using automation::Variant;

// Values of the spreadsheet object model.
constexpr std::int16_t xlLeft = -4131;
constexpr std::int16_t xlEdgeLeft = 7;
constexpr std::int16_t xlEdgeTop = 8;
constexpr std::int16_t xlEdgeBottom = 9;
constexpr std::int16_t xlEdgeRight = 10;
constexpr std::int16_t xlContinuous = 1;

// Palette indexes: lime green boxes, grey title.
constexpr std::int16_t kBoxFill = 43;
constexpr std::int16_t kTitleColour = 16;

const std::string kFontName = "Tahoma";

// The heading: the title in B2 and the subtitle in B3, each merged across B to F. The cells are addressed
// with 16-bit numbers, as the heading's constants are.
constexpr std::int16_t kTitleRow = 2;
constexpr std::int16_t kSubtitleRow = 3;
constexpr std::int16_t kHeadingColumn = 2;

Dispatch cell(const Dispatch& sheet, std::int16_t row, std::int16_t column) {
    return sheet.get("Cells", {row, column});
}

Dispatch cell(const Dispatch& sheet, std::int32_t row, std::int32_t column) {
    return sheet.get("Cells", {row, column});
}

void setColumnWidth(const Dispatch& sheet, const char* address, const char* width) {
    sheet.get("Columns", {std::string(address)}).let("ColumnWidth", std::string(width));
}

// The generation index the tree starts from, as line 158 converts it. Text that the up-front check would
// refuse fails here, so that no partial tree is drawn for it.
std::int32_t convertGenerations(const QString& generationsText) {
    const std::optional<double> value = parseNumber(generationsText);
    if (!value) {
        throw Failure("Type mismatch");
    }
    const std::int32_t index = firstGenerationIndex(*value);
    if (index >= kMaxGenerations) {
        throw Failure(kGenerationsTooMany.toStdString());
    }
    return index;
}

// The generation columns' width in characters, and the boxes' font: the sheet's Tahoma at its default size.
constexpr double kBoxColumnCharacters = 24;
const sheet::Font kBoxFont{.name = kFontName, .heightTwips = 200};
// Pixels a cell's text keeps clear of its left and right gridlines, its frame and a little air.
constexpr int kBoxTextMargin = 8;

// The letters of a sheet column (1 -> "A", 27 -> "AA").
std::string columnLetters(std::int32_t column) {
    std::string letters;
    while (column > 0) {
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
        column = (column - 1) / 26;
    }
    return letters;
}

}  // namespace

bool fitsBox(std::string_view text) {
    static const int available =
        sheet::columnWidthPixels(sheet::columnWidthFromCharacters(kBoxColumnCharacters, sheet::Font{}),
                                 sheet::Font{}) -
        kBoxTextMargin;
    return sheet::textWidthPixels(kBoxFont, text) <= available;
}

double MyPower(double number, double exponent) {
    const double result = std::pow(number, exponent);
    if (std::isnan(result) && !std::isnan(number) && !std::isnan(exponent)) {
        throw Failure("Invalid procedure call or argument");
    }
    if (std::isinf(result) && std::isfinite(number) && std::isfinite(exponent)) {
        throw Failure(number == 0.0 ? "Division by zero" : "Overflow");
    }
    return result;
}

void layoutFamilyTree(ErrorTrap& trap, const Dispatch& sheet, const QString& nameText,
                      const QString& generationsText, const PowerFunction& myPower, const BoxTexts* boxes) {
    // Sheet preparation and heading.
    trap.run(116, [&] { sheet.get("Cells").get("Font").let("Name", kFontName); });
    trap.run(118, [&] { setColumnWidth(sheet, "A:A", "2"); });
    trap.run(120, [&] { setColumnWidth(sheet, "B:B", "24"); });
    trap.run(122, [&] { setColumnWidth(sheet, "C:C", "24"); });
    trap.run(124, [&] { setColumnWidth(sheet, "D:D", "24"); });
    trap.run(126, [&] { setColumnWidth(sheet, "E:E", "24"); });
    trap.run(128, [&] { setColumnWidth(sheet, "F:F", "24"); });
    if (boxes != nullptr) {
        // Names need the room of B to F in every generation column (the person's is column N + 1).
        std::int32_t lastColumn = 0;
        try {
            lastColumn = std::min(convertGenerations(generationsText), kMaxGenerations - 1) + 2;
        } catch (const Failure&) {
            // line 158 reports the text
        }
        for (std::int32_t column = 7; column <= lastColumn; ++column) {
            trap.run(129, [&] {
                const std::string letters = columnLetters(column);
                setColumnWidth(sheet, (letters + ":" + letters).c_str(), "24");
            });
        }
    }

    trap.run(130, [&] { sheet.get("Range", {std::string("B2:F2")}).call("Merge"); });
    trap.run(132, [&] { cell(sheet, kTitleRow, kHeadingColumn).let("HorizontalAlignment", xlLeft); });
    trap.run(134, [&] { cell(sheet, kTitleRow, kHeadingColumn).get("Font").let("Size", std::int16_t{20}); });
    trap.run(136, [&] { cell(sheet, kTitleRow, kHeadingColumn).get("Font").let("Name", kFontName); });
    trap.run(138, [&] {
        cell(sheet, kTitleRow, kHeadingColumn).let("Value", ("Family Tree for " + nameText).toStdString());
    });
    trap.run(140,
             [&] { cell(sheet, kTitleRow, kHeadingColumn).get("Font").let("ColorIndex", kTitleColour); });
    trap.run(142, [&] { sheet.get("Range", {std::string("B3:F3")}).call("Merge"); });
    trap.run(144, [&] { cell(sheet, kSubtitleRow, kHeadingColumn).let("HorizontalAlignment", xlLeft); });
    trap.run(146,
             [&] { cell(sheet, kSubtitleRow, kHeadingColumn).get("Font").let("Size", std::int16_t{11}); });
    trap.run(148, [&] {
        cell(sheet, kSubtitleRow, kHeadingColumn)
            .let("Value", (generationsText + " Generations").toStdString());
    });

    // The tree of boxes, from the most distant generation in column B to the person alone on the right.
    // Fixed widths as the spreadsheet addresses them; the spacing is kept in 32 bits so that doubling it
    // after the last column of a 14- or 15-generation chart is not an overflow.
    std::int32_t column = 0;
    std::int16_t firstRowOffset = 0;
    std::int16_t previousOffset = 0;
    std::int32_t spacing = 0;
    std::int32_t boxCount = 0;
    std::int32_t row = 0;

    trap.run(150, [&] { column = 2; });
    trap.run(152, [&] { firstRowOffset = 0; });
    trap.run(154, [&] { previousOffset = 1; });
    trap.run(156, [&] { spacing = 2; });

    std::int32_t generationIndex = 0;
    if (!trap.run(158, [&] { generationIndex = convertGenerations(generationsText); })) {
        return;  // no start value: draw no tree rather than a guessed one
    }
    while (generationIndex >= 0) {
        trap.run(160, [&] { boxCount = round32(myPower(2.0, generationIndex)); });
        trap.run(162, [&] { firstRowOffset = add16(firstRowOffset, previousOffset); });
        trap.run(164, [&] { previousOffset = firstRowOffset; });
        trap.run(166, [&] { row = add16(firstRowOffset, 4); });

        std::int16_t boxEnd = 0;
        if (trap.run(168, [&] { boxEnd = checkedFit<std::int16_t>(boxCount); })) {
            for (std::int16_t boxNumber = 1; boxNumber <= boxEnd;) {
                trap.run(170, [&] { cell(sheet, row, column).get("Interior").let("ColorIndex", kBoxFill); });
                trap.run(172, [&] {
                    cell(sheet, row, column).get("Borders", {xlEdgeLeft}).let("LineStyle", xlContinuous);
                });
                trap.run(174, [&] {
                    cell(sheet, row, column).get("Borders", {xlEdgeTop}).let("LineStyle", xlContinuous);
                });
                trap.run(176, [&] {
                    cell(sheet, row, column).get("Borders", {xlEdgeBottom}).let("LineStyle", xlContinuous);
                });
                trap.run(178, [&] {
                    cell(sheet, row, column).get("Borders", {xlEdgeRight}).let("LineStyle", xlContinuous);
                });
                if (boxes != nullptr) {
                    // Box j of generation g holds Ahnentafel number 2^g + j.
                    const auto number = (std::uint32_t{1} << generationIndex) + std::uint32_t(boxNumber - 1);
                    if (const auto text = boxes->find(number); text != boxes->end()) {
                        trap.run(179, [&] {
                            const Dispatch box = cell(sheet, row, column);
                            box.let("Value", text->second);
                            box.let("ShrinkToFit", true);
                        });
                    }
                }
                if (trap.test(180, [&] { return boxNumber < boxCount; })) {
                    std::int32_t connectorRow = 0;
                    std::int32_t connectorEnd = 0;
                    if (trap.run(182, [&] {
                            connectorEnd = add32(row, spacing);
                            connectorRow = row;
                        })) {
                        while (connectorRow <= connectorEnd) {
                            trap.run(184, [&] {
                                cell(sheet, connectorRow, column)
                                    .get("Borders", {xlEdgeRight})
                                    .let("LineStyle", xlContinuous);
                            });
                            if (!trap.run(186, [&] { connectorRow = add32(connectorRow, 1); })) {
                                break;
                            }
                        }
                    }
                }
                trap.run(188, [&] { row = add32(row, spacing); });
                if (!trap.run(190, [&] { boxNumber = add16(boxNumber, 1); })) {
                    break;
                }
            }
        }
        trap.run(192, [&] { spacing = mul32(spacing, 2); });
        trap.run(194, [&] { column = add32(column, 1); });
        if (!trap.run(196, [&] { generationIndex = add32(generationIndex, -1); })) {
            break;
        }
    }
}

}  // namespace rw::chart
