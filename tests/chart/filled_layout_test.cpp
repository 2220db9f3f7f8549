#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

#include "chart/excel_binding.h"
#include "chart/layout.h"
#include "support/scripted_seams.h"

// A filled chart through the real layout onto the engine: each box holds the text of its Ahnentafel number
// at the place the blank chart draws it, shrunk to fit, and the generation columns get the room names need.
namespace rw::chart {
namespace {

using automation::Dispatch;

struct Place {
    std::int32_t row;
    std::int32_t column;
};

// Where number a stands in an n-generation chart: generation g = floor(log2 a) is the k-th column drawn
// (k = n - g, sheet column k + 1), and a is its box j = a - 2^g, at row 2^(k-1) + 4 + j * 2^k.
Place placeOf(std::uint32_t a, int n) {
    const int g = std::bit_width(a) - 1;
    const int k = n - g;
    const std::int32_t j = static_cast<std::int32_t>(a - (std::uint32_t{1} << g));
    return {(1 << (k - 1)) + 4 + j * (1 << k), k + 1};
}

class FilledChart : public ::testing::Test {
  protected:
    FilledChart() {
        excel_ = Dispatch(factory_.createObject("Excel.Application"));
        const Dispatch workbook(automation::toObject(excel_.get("Workbooks").call("Add")));
        sheet_ = workbook.get("ActiveSheet");
    }
    void layOut(int n, const BoxTexts& boxes) {
        ErrorTrap trap(boxes_, kCreateTemplateReportName);
        layoutFamilyTree(trap, sheet_, QStringLiteral("Ann"), QString::number(n), MyPower, &boxes);
        EXPECT_EQ(trap.reportsShown(), 0);
    }
    Dispatch cell(Place p) const { return sheet_.get("Cells", {p.row, p.column}); }

    EngineFactory factory_;
    test::ScriptedMessageBoxes boxes_;
    Dispatch excel_;
    Dispatch sheet_;
};

class FilledChartSizes : public FilledChart, public ::testing::WithParamInterface<int> {};

TEST_P(FilledChartSizes, EveryNumberStandsInItsOwnBox) {
    const int n = GetParam();
    BoxTexts texts;
    const std::uint32_t count = (std::uint32_t{1} << n) - 1;
    for (std::uint32_t a = 1; a <= count; ++a) {
        texts.emplace(a, "#" + std::to_string(a));
    }
    layOut(n, texts);
    for (std::uint32_t a = 1; a <= count; ++a) {
        const Dispatch box = cell(placeOf(a, n));
        ASSERT_EQ(std::get<std::string>(box.value("Value")), "#" + std::to_string(a)) << "number " << a;
        ASSERT_TRUE(std::get<bool>(box.value("ShrinkToFit"))) << "number " << a;
        ASSERT_EQ(std::get<std::int32_t>(box.get("Interior").value("ColorIndex")), 43) << "number " << a;
    }
    // Every generation column is as wide as B to F; the heading still spans B to F only.
    for (int column = 2; column <= n + 1; ++column) {
        EXPECT_NEAR(std::get<double>(sheet_.get("Cells", {1, column}).value("ColumnWidth")), 24, 0.01)
            << "column " << column;
    }
    EXPECT_LT(std::get<double>(sheet_.get("Cells", {1, std::max(n + 2, 7)}).value("ColumnWidth")), 24);
}

INSTANTIATE_TEST_SUITE_P(OneToFifteenGenerations, FilledChartSizes, ::testing::Range(1, 16));

TEST_F(FilledChart, UnknownAncestorsLeaveTheirBoxBlankAndFramed) {
    // The person and the mother's father only, in three generations.
    layOut(3, {{1, "Ann"}, {6, "Carl"}});
    for (std::uint32_t a = 1; a <= 7; ++a) {
        const Dispatch box = cell(placeOf(a, 3));
        const automation::Variant value = box.value("Value");
        if (a == 1 || a == 6) {
            EXPECT_EQ(std::get<std::string>(value), a == 1 ? "Ann" : "Carl");
        } else {
            EXPECT_TRUE(std::holds_alternative<std::monostate>(value)) << "number " << a;
            EXPECT_FALSE(std::get<bool>(box.value("ShrinkToFit"))) << "number " << a;
        }
        EXPECT_EQ(std::get<std::int32_t>(box.get("Interior").value("ColorIndex")), 43) << "number " << a;
    }
}

}  // namespace
}  // namespace rw::chart
