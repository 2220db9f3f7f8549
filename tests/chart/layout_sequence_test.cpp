#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/layout.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

// The exact calls the layout makes for small charts: order, member names and the type of every value.
namespace rw::chart {
namespace {

using Lines = std::vector<std::string>;

Lines heading(const std::string& title, const std::string& subtitle) {
    return {
        "Cells.Font.Name = \"Tahoma\"",
        "Columns(\"A:A\").ColumnWidth = \"2\"",
        "Columns(\"B:B\").ColumnWidth = \"24\"",
        "Columns(\"C:C\").ColumnWidth = \"24\"",
        "Columns(\"D:D\").ColumnWidth = \"24\"",
        "Columns(\"E:E\").ColumnWidth = \"24\"",
        "Columns(\"F:F\").ColumnWidth = \"24\"",
        "Range(\"B2:F2\").Merge()",
        "Cells(2%,2%).HorizontalAlignment = -4131%",
        "Cells(2%,2%).Font.Size = 20%",
        "Cells(2%,2%).Font.Name = \"Tahoma\"",
        "Cells(2%,2%).Value = \"" + title + "\"",
        "Cells(2%,2%).Font.ColorIndex = 16%",
        "Range(\"B3:F3\").Merge()",
        "Cells(3%,2%).HorizontalAlignment = -4131%",
        "Cells(3%,2%).Font.Size = 11%",
        "Cells(3%,2%).Value = \"" + subtitle + "\"",
    };
}

std::string at(int row, int column) {
    return "Cells(" + std::to_string(row) + "&," + std::to_string(column) + "&)";
}

void box(Lines& lines, int row, int column) {
    lines.push_back(at(row, column) + ".Interior.ColorIndex = 43%");
    for (int edge : {7, 8, 9, 10}) {
        lines.push_back(at(row, column) + ".Borders(" + std::to_string(edge) + "%).LineStyle = 1%");
    }
}

void edges(Lines& lines, int fromRow, int toRow, int column) {
    for (int row = fromRow; row <= toRow; ++row) {
        lines.push_back(at(row, column) + ".Borders(10%).LineStyle = 1%");
    }
}

struct Recorded {
    test::RecordingAutomation world;
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap{boxes, kCreateTemplateReportName};

    Lines lay(const QString& name, const QString& generations) {
        layoutFamilyTree(trap, world.root(), name, generations);
        return world.effects();
    }
};

TEST(LayoutSequence, OneGeneration) {
    Recorded run;
    Lines expected = heading("Family Tree for Ada", "1 Generations");
    box(expected, 5, 2);
    EXPECT_EQ(run.lay("Ada", "1"), expected);
    EXPECT_TRUE(run.boxes.shown.empty());
}

TEST(LayoutSequence, TwoGenerations) {
    Recorded run;
    Lines expected = heading("Family Tree for Ada", "2 Generations");
    box(expected, 5, 2);
    edges(expected, 5, 7, 2);
    box(expected, 7, 2);
    box(expected, 6, 3);
    EXPECT_EQ(run.lay("Ada", "2"), expected);
    EXPECT_TRUE(run.boxes.shown.empty());
}

TEST(LayoutSequence, ThreeGenerations) {
    Recorded run;
    Lines expected = heading("Family Tree for Ada Lovelace", "3 Generations");
    // Column B: boxes 5, 7, 9, 11, each but the last followed by its connector run of spacing 2.
    box(expected, 5, 2);
    edges(expected, 5, 7, 2);
    box(expected, 7, 2);
    edges(expected, 7, 9, 2);
    box(expected, 9, 2);
    edges(expected, 9, 11, 2);
    box(expected, 11, 2);
    // Column C: boxes 6 and 10, spacing 4.
    box(expected, 6, 3);
    edges(expected, 6, 10, 3);
    box(expected, 10, 3);
    // Column D: the person.
    box(expected, 8, 4);
    EXPECT_EQ(run.lay("Ada Lovelace", "3"), expected);
    EXPECT_TRUE(run.boxes.shown.empty());
}

TEST(LayoutSequence, EveryCellIsReachedFreshFromTheSheet) {
    // Each statement addresses its cell anew, as the spreadsheet's own macros would: a get of Cells on the
    // sheet itself with exactly two arguments of one width.
    Recorded run;
    run.lay("x", "2");
    int cellsGets = 0;
    for (const test::RecordedCall& call : run.world.calls) {
        if (call.kind == test::CallKind::Get && call.member == "Cells" && !call.args.empty()) {
            ++cellsGets;
            EXPECT_TRUE(call.target->isRoot()) << call.text();
            ASSERT_EQ(call.args.size(), 2u);
            EXPECT_EQ(call.args[0].index(), call.args[1].index()) << call.text();
        }
    }
    // 8 heading statements on single cells, 3 boxes of 5 statements, one run of 3 connector cells.
    EXPECT_EQ(cellsGets, 8 + 15 + 3);
}

}  // namespace
}  // namespace rw::chart
