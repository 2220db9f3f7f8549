#include <gtest/gtest.h>

#include <QLocale>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "chart/layout.h"
#include "chart/number_parse.h"
#include "layout_cells.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

// The heading for unusual inputs, what odd numbers of generations draw, refused numbers, and failures of
// single statements under the trap.
namespace rw::chart {
namespace {

using testing::Cell;

struct Laid {
    std::vector<std::string> headingTexts;  // the two Value lets, in order
    std::set<Cell> boxes;
    std::set<int> columns;
    std::vector<test::ShownBox> reports;
};

Laid lay(const QString& name, const QString& generations, const PowerFunction& power = MyPower) {
    test::RecordingAutomation world;
    std::vector<std::string> texts;
    testing::CellEffects effects(world);
    auto watchCells = world.observer;
    world.observer = [&](const test::RecordedCall& call) {
        watchCells(call);
        if (call.kind == test::CallKind::Let && call.member == "Value") {
            texts.push_back(call.text());
        }
    };
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap(boxes, kCreateTemplateReportName);
    layoutFamilyTree(trap, world.root(), name, generations, power);
    Laid laid{texts, effects.boxes(), {}, boxes.shown};
    for (const Cell& c : laid.boxes) {
        laid.columns.insert(c.second);
    }
    return laid;
}

std::vector<std::string> heading(const std::string& title, const std::string& subtitle) {
    return {"Cells(2%,2%).Value = \"" + title + "\"", "Cells(3%,2%).Value = \"" + subtitle + "\""};
}

TEST(LayoutHeading, RepeatsTheTextsAsTyped) {
    EXPECT_EQ(lay("", "1").headingTexts, heading("Family Tree for ", "1 Generations"));
    EXPECT_EQ(lay("Ada", " 3").headingTexts, heading("Family Tree for Ada", " 3 Generations"));
    EXPECT_EQ(lay("Zoë Ørsted", "2.5").headingTexts,
              heading("Family Tree for Zo\xC3\xAB \xC3\x98rsted", "2.5 Generations"));
    EXPECT_EQ(lay("x", "0").headingTexts, heading("Family Tree for x", "0 Generations"));
    EXPECT_EQ(lay("x", "-1").headingTexts, heading("Family Tree for x", "-1 Generations"));
}

TEST(LayoutGenerations, FractionsRoundHalfToEven) {
    // The generation index is the number minus 1, rounded half to even.
    EXPECT_EQ(lay("x", "2.5").columns, (std::set<int>{2, 3, 4}));        // 1.5 -> 2
    EXPECT_EQ(lay("x", "3.5").columns, (std::set<int>{2, 3, 4}));        // 2.5 -> 2
    EXPECT_EQ(lay("x", "4.5").columns, (std::set<int>{2, 3, 4, 5, 6}));  // 3.5 -> 4
    EXPECT_EQ(lay("x", "0.5").boxes, (std::set<Cell>{{5, 2}}));          // -0.5 -> 0: one box
    EXPECT_EQ(lay("x", " 3").columns, (std::set<int>{2, 3, 4}));
    EXPECT_EQ(lay("x", "3e0").columns, (std::set<int>{2, 3, 4}));
}

TEST(LayoutGenerations, BelowOneHalfDrawsTheHeadingOnly) {
    for (const char* text : {"0.4", "0", "-1", "-2147483647"}) {
        const Laid laid = lay("x", text);
        EXPECT_TRUE(laid.boxes.empty()) << text;
        EXPECT_EQ(laid.headingTexts.size(), 2u) << text;
        EXPECT_TRUE(laid.reports.empty()) << text;
    }
}

TEST(LayoutGenerations, SixGenerationsReachColumnGWhileTheHeadingStaysOnBToF) {
    const Laid laid = lay("x", "6");
    EXPECT_EQ(laid.columns, (std::set<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(laid.boxes.count({(1 << 5) + 4, 7}), 1u);
}

TEST(LayoutGenerations, DecimalCommaOfTheUsersLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const Laid laid = lay("x", "2,5");
    QLocale::setDefault(saved);
    EXPECT_EQ(laid.columns, (std::set<int>{2, 3, 4}));
    EXPECT_EQ(laid.headingTexts, heading("Family Tree for x", "2,5 Generations"));
}

TEST(LayoutRefusal, NeverAPartialTree) {
    // Texts the up-front check refuses, should they reach the layout anyway: the heading is written, the
    // conversion is reported once at line 158, and no box is drawn.
    struct Case {
        const char* text;
        const char* description;
    };
    for (const Case& c : {Case{"16", "Number of generations must be 15 or fewer."},
                          Case{"15.6", "Number of generations must be 15 or fewer."},
                          Case{"1e10", "Overflow"}, Case{"-1e10", "Overflow"}, Case{"1e999", "Overflow"},
                          Case{"abc", "Type mismatch"}, Case{"", "Type mismatch"}}) {
        const Laid laid = lay("x", c.text);
        EXPECT_TRUE(laid.boxes.empty()) << c.text;
        EXPECT_EQ(laid.headingTexts.size(), 2u) << c.text;
        ASSERT_EQ(laid.reports.size(), 1u) << c.text;
        EXPECT_TRUE(laid.reports[0].text.startsWith(QString::fromUtf8(c.description) + "\r\nin " +
                                                    kCreateTemplateReportName + " at line 158\r\r"))
            << laid.reports[0].text.toStdString();
    }
    // 15.4 (index 14.4 -> 14) is the whole 15-generation chart: every column is asked for its box count.
    std::vector<double> exponents;
    const PowerFunction noBoxes = [&](double, double exponent) {
        exponents.push_back(exponent);
        return 0.0;
    };
    EXPECT_TRUE(lay("x", "15.4", noBoxes).reports.empty());
    EXPECT_EQ(exponents.size(), 15u);
    EXPECT_EQ(exponents.front(), 14.0);
    EXPECT_EQ(exponents.back(), 0.0);
}

// A member failing at one statement: exactly one report with that statement's line, and the layout goes on.
struct FailureCase {
    int line;
    std::string failingCall;  // the text of the recorded call that fails
};

class LayoutTrap : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LayoutTrap, OneReportAtTheFailingLineAndTheRestDrawn) {
    const FailureCase& c = GetParam();
    test::RecordingAutomation world;
    world.failWith = [&](const test::RecordedCall& call) -> std::optional<std::string> {
        if (call.text() == c.failingCall) {
            return "Unable to set the property";
        }
        return std::nullopt;
    };
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap(boxes, kCreateTemplateReportName);
    layoutFamilyTree(trap, world.root(), "x", "3");

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Application Error"));
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Unable to set the property\r\nin " +
                                               kCreateTemplateReportName + " at line " +
                                               QString::number(c.line) + "\r\r"))
        << boxes.shown[0].text.toStdString();
    // Everything after the failing statement still happened: the person's box is the last thing drawn.
    const std::vector<std::string> effects = world.effects();
    ASSERT_FALSE(effects.empty());
    EXPECT_EQ(effects.back(), "Cells(8&,4&).Borders(10%).LineStyle = 1%");
    EXPECT_EQ(std::count(effects.begin(), effects.end(), c.failingCall), 1);
}

INSTANTIATE_TEST_SUITE_P(Lines, LayoutTrap,
                         ::testing::Values(FailureCase{130, "Range(\"B2:F2\").Merge()"},
                                           FailureCase{170, "Cells(7&,2&).Interior.ColorIndex = 43%"},
                                           FailureCase{184, "Cells(8&,2&).Borders(10%).LineStyle = 1%"},
                                           FailureCase{116, "Cells.Font.Name = \"Tahoma\""},
                                           FailureCase{148, "Cells(3%,2%).Value = \"3 Generations\""}),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                             return "Line" + std::to_string(info.param.line);
                         });

TEST(LayoutTrap, FailingGetOfTheCellIsReportedAtItsStatement) {
    // Failing in the middle of a statement (reaching the cell) abandons that statement only.
    test::RecordingAutomation world;
    world.failWith = [](const test::RecordedCall& call) -> std::optional<std::string> {
        if (call.text() == "get Cells(9&,2&)") {
            return "Application-defined or object-defined error";
        }
        return std::nullopt;
    };
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap(boxes, kCreateTemplateReportName);
    layoutFamilyTree(trap, world.root(), "x", "3");
    // Row 9 of column B is reached by the connector run of box 7 (line 184), by the five statements of box 9
    // (170 to 178), and by the connector run of box 9 (184 again).
    std::vector<int> lines;
    for (const auto& shown : boxes.shown) {
        lines.push_back(shown.text.section(" at line ", 1).section('\r', 0, 0).toInt());
    }
    EXPECT_EQ(lines, (std::vector<int>{184, 170, 172, 174, 176, 178, 184}));
}

TEST(LayoutTrap, FailingPowerIsReportedAtLine160AndKeepsThePreviousCount) {
    // MyPower fails on the second column: its box count stays that of the first column (4 boxes), so column
    // C is drawn with 4 boxes instead of 2, exactly as the statement-by-statement trap has it.
    int passes = 0;
    const PowerFunction failingOnce = [&](double number, double exponent) {
        if (++passes == 2) {
            throw Failure("Overflow");
        }
        return MyPower(number, exponent);
    };
    const Laid laid = lay("x", "3", failingOnce);
    ASSERT_EQ(laid.reports.size(), 1u);
    EXPECT_TRUE(
        laid.reports[0].text.startsWith("Overflow\r\nin " + kCreateTemplateReportName + " at line 160\r"));
    EXPECT_EQ(laid.boxes, (std::set<Cell>{{5, 2},
                                          {7, 2},
                                          {9, 2},
                                          {11, 2},  //
                                          {6, 3},
                                          {10, 3},
                                          {14, 3},
                                          {18, 3},  //
                                          {8, 4}}));
}

TEST(MyPower, RaisesNumberToExponent) {
    EXPECT_EQ(MyPower(2.0, 0.0), 1.0);
    EXPECT_EQ(MyPower(2.0, 14.0), 16384.0);
    EXPECT_EQ(MyPower(2.0, -1.0), 0.5);
}

}  // namespace
}  // namespace rw::chart
