#pragma once

#include <cstdint>
#include <string>

#include "chart/automation.h"

// Replays the automation calls that draw an ancestor chart of `generations` columns onto a worksheet:
// the sheet font, the column widths, the two merged heading lines and, column by column, the filled and
// framed boxes with the connector lines down each column's right edge. Tests and the benchmark use it to
// drive the engine exactly as the chart layout does.
namespace rw::test {

inline void replayChart(const automation::Dispatch& ws, int generations, const std::string& name) {
    using automation::Dispatch;
    ws.get("Cells").get("Font").let("Name", std::string("Tahoma"));
    ws.get("Columns", {std::string("A:A")}).let("ColumnWidth", std::string("2"));
    for (const char* c : {"B:B", "C:C", "D:D", "E:E", "F:F"}) {
        ws.get("Columns", {std::string(c)}).let("ColumnWidth", std::string("24"));
    }
    ws.get("Range", {std::string("B2:F2")}).call("Merge");
    const auto cell = [&](std::int16_t r, std::int16_t c) { return ws.get("Cells", {r, c}); };
    cell(2, 2).let("HorizontalAlignment", std::int16_t{-4131});
    cell(2, 2).get("Font").let("Size", std::int16_t{20});
    cell(2, 2).get("Font").let("Name", std::string("Tahoma"));
    cell(2, 2).let("Value", "Family Tree for " + name);
    cell(2, 2).get("Font").let("ColorIndex", std::int16_t{16});
    ws.get("Range", {std::string("B3:F3")}).call("Merge");
    cell(3, 2).let("HorizontalAlignment", std::int16_t{-4131});
    cell(3, 2).get("Font").let("Size", std::int16_t{11});
    cell(3, 2).let("Value", std::to_string(generations) + " Generations");

    std::int32_t column = 2;
    std::int32_t offset = 0, previous = 1, spacing = 2;
    for (std::int32_t g = generations - 1; g >= 0; --g) {
        const std::int32_t boxes = std::int32_t{1} << g;
        offset += previous;
        previous = offset;
        std::int32_t row = offset + 4;
        for (std::int32_t b = 1; b <= boxes; ++b) {
            Dispatch box = ws.get("Cells", {row, column});
            box.get("Interior").let("ColorIndex", std::int16_t{43});
            for (std::int16_t e = 7; e <= 10; ++e) {
                ws.get("Cells", {row, column}).get("Borders", {e}).let("LineStyle", std::int16_t{1});
            }
            if (b < boxes) {
                for (std::int32_t r = row; r <= row + spacing; ++r) {
                    ws.get("Cells", {r, column})
                        .get("Borders", {std::int16_t{10}})
                        .let("LineStyle", std::int16_t{1});
                }
            }
            row += spacing;
        }
        spacing *= 2;
        ++column;
    }
}

}  // namespace rw::test
