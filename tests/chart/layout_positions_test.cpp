#include <gtest/gtest.h>

#include <map>

#include "chart/layout.h"
#include "layout_cells.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

// Where the boxes and connector lines land, for every chart size a sheet holds, against the closed form:
// the k-th column drawn (sheet column k + 1) holds 2^(N-k) boxes at rows 2^(k-1) + 4 + j * 2^k, joined by a
// right-edge line from its first box row to its last.
namespace rw::chart {
namespace {

using testing::Cell;
using testing::CellStyle;

std::map<Cell, CellStyle> closedForm(int n) {
    std::map<Cell, CellStyle> expected;
    for (int k = 1; k <= n; ++k) {
        const int column = k + 1;
        const int count = 1 << (n - k);
        const int first = (1 << (k - 1)) + 4;
        const int step = 1 << k;
        const int last = first + (count - 1) * step;
        for (int row = first; row <= last; ++row) {
            if (count > 1) {
                expected[{row, column}].edges |= testing::kRightEdge;
            }
        }
        for (int j = 0; j < count; ++j) {
            CellStyle& box = expected[{first + j * step, column}];
            box.filled = true;
            box.edges = testing::kAllEdges;
        }
    }
    return expected;
}

class LayoutPositions : public ::testing::TestWithParam<int> {};

TEST_P(LayoutPositions, MatchTheClosedFormWithoutAnyReport) {
    const int n = GetParam();
    test::RecordingAutomation world;
    testing::CellEffects effects(world);
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap(boxes, kCreateTemplateReportName);

    layoutFamilyTree(trap, world.root(), QStringLiteral("Name"), QString::number(n));

    // No report at all, 14 and 15 generations included: the chart is complete.
    EXPECT_EQ(trap.reportsShown(), 0);
    for (const auto& box : boxes.shown) {
        ADD_FAILURE() << box.text.toStdString();
    }
    const std::map<Cell, CellStyle> expected = closedForm(n);
    ASSERT_EQ(effects.cells.size(), expected.size());
    for (const auto& [at, style] : expected) {
        auto it = effects.cells.find(at);
        ASSERT_NE(it, effects.cells.end()) << "row " << at.first << " column " << at.second;
        EXPECT_EQ(it->second.filled, style.filled) << "row " << at.first << " column " << at.second;
        EXPECT_EQ(it->second.edges, style.edges) << "row " << at.first << " column " << at.second;
    }
    // The heading's 17 statements are the only other effects.
    EXPECT_EQ(effects.otherLets, 15);  // 15 lets and 2 merges (calls)

    // The person stands alone in column N + 1; the lowest row is 2^N + 3, in column B.
    EXPECT_EQ(effects.boxes().count({(1 << (n - 1)) + 4, n + 1}), 1u);
    EXPECT_EQ(effects.cells.rbegin()->first.first, (1 << n) + 3);
    EXPECT_EQ(effects.boxes().size(), static_cast<std::size_t>((1 << n) - 1));
}

INSTANTIATE_TEST_SUITE_P(EveryChartASheetHolds, LayoutPositions, ::testing::Range(1, 16));

}  // namespace
}  // namespace rw::chart
