#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "chart/excel_binding.h"
#include "chart_replay.h"
#include "platform/failure.h"
#include "spreadsheet/xls_codec.h"

using rw::automation::Dispatch;
using rw::automation::Variant;
namespace fs = std::filesystem;

namespace {

Dispatch obj(const Variant& v) {
    return Dispatch(rw::automation::toObject(v));
}

std::string failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const rw::Failure& e) {
        return e.what();
    }
    return "";
}

class BindingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("rw_binding_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Dispatch newApp() { return Dispatch(factory_.createObject("Excel.Application")); }

    rw::chart::EngineFactory factory_;
    fs::path dir_;
};

}  // namespace

TEST_F(BindingTest, EachApplicationIsASeparateInstance) {
    Dispatch a = newApp();
    Dispatch b = newApp();
    EXPECT_EQ(std::get<std::string>(a.value("")), "Microsoft Excel");
    a.get("Workbooks").call("Add");
    EXPECT_EQ(std::get<std::int32_t>(a.get("Workbooks").value("count")), 1);
    EXPECT_EQ(std::get<std::int32_t>(b.get("Workbooks").value("Count")), 0);
    EXPECT_NE(failureOf([&] { factory_.createObject("Word.Application"); }), "");
    a.let("Visible", false);
    a.let("DisplayAlerts", false);
    EXPECT_FALSE(std::get<bool>(a.value("Visible")));
}

TEST_F(BindingTest, TheChartCallsBuildTheExpectedSheet) {
    Dispatch app = newApp();
    Dispatch book = obj(app.get("Workbooks").call("Add"));
    Dispatch ws = book.get("ActiveSheet");
    rw::test::replayChart(ws, 3, "Ann");

    Dispatch used = ws.get("UsedRange");
    EXPECT_EQ(std::get<std::int32_t>(used.value("Row")), 2);
    EXPECT_EQ(std::get<std::int32_t>(used.value("Column")), 2);
    EXPECT_EQ(std::get<std::int32_t>(used.get("Rows").value("Count")), 10);    // rows 2..11
    EXPECT_EQ(std::get<std::int32_t>(used.get("Columns").value("count")), 5);  // B..F, the heading merges

    Dispatch title = ws.get("Cells", {std::int16_t{2}, std::int16_t{2}});
    EXPECT_EQ(std::get<std::string>(title.value("Value")), "Family Tree for Ann");
    EXPECT_EQ(std::get<std::int32_t>(title.get("Font").value("ColorIndex")), 16);
    EXPECT_EQ(std::get<double>(title.get("Font").value("Size")), 20.0);
    EXPECT_EQ(std::get<std::string>(
                  ws.get("Cells", {std::int32_t{500}, std::int32_t{40}}).get("Font").value("Name")),
              "Tahoma");
    Dispatch box = ws.get("Range", {std::string("D8")});
    EXPECT_EQ(std::get<std::int32_t>(box.get("Interior").value("ColorIndex")), 43);
    EXPECT_EQ(std::get<std::int32_t>(box.get("Borders", {std::int16_t{9}}).value("LineStyle")), 1);
    Dispatch edge = ws.get("Cells", {std::int32_t{8}, std::int32_t{2}});
    EXPECT_EQ(std::get<std::int32_t>(edge.get("Interior").value("ColorIndex")), -4142);
    EXPECT_EQ(std::get<std::int32_t>(edge.get("Borders", {std::int16_t{10}}).value("LineStyle")), 1);
    EXPECT_EQ(std::get<std::int32_t>(edge.get("Borders", {std::int16_t{7}}).value("LineStyle")), -4142);
    EXPECT_NEAR(std::get<double>(ws.get("Columns", {std::string("B:B")}).value("ColumnWidth")), 24, 0.01);
}

TEST_F(BindingTest, ColorIndexIsThePaletteNumberNotTheFileIndex) {
    Dispatch ws = obj(newApp().get("Workbooks").call("Add")).get("ActiveSheet");
    ws.get("Range", {std::string("A1")}).get("Interior").let("ColorIndex", std::int16_t{43});
    ws.get("Range", {std::string("A2")}).get("Font").let("ColorIndex", std::int32_t{16});
    // Straight to the model: the stored palette indexes are 7 higher.
    bool seen = false;
    rw::chart::EngineFactory factory([&](const rw::sheet::Worksheet& sheet, const rw::sheet::CellRange&) {
        EXPECT_EQ(sheet.effectiveStyle(1, 1).fillColor, 50);
        EXPECT_EQ(sheet.workbook().paletteColor(sheet.effectiveStyle(1, 1).fillColor),
                  (rw::sheet::Rgb{0x99, 0xCC, 0}));
        EXPECT_EQ(sheet.effectiveStyle(2, 1).font.color, 23);
        seen = true;
    });
    Dispatch ws2 = obj(Dispatch(factory.createObject("Excel.Application")).get("Workbooks").call("Add"))
                       .get("ActiveSheet");
    ws2.get("Range", {std::string("A1")}).get("Interior").let("ColorIndex", std::int16_t{43});
    ws2.get("Range", {std::string("A2")}).get("Font").let("ColorIndex", 16.0);
    ws2.get("UsedRange").call("CopyPicture");
    EXPECT_TRUE(seen);
}

TEST_F(BindingTest, FailuresCarryAClearDescription) {
    Dispatch app = newApp();
    Dispatch book = obj(app.get("Workbooks").call("Add"));
    Dispatch ws = book.get("ActiveSheet");
    const auto cells = [&](Variant r, Variant c) { ws.get("Cells", {r, c}); };
    EXPECT_NE(failureOf([&] { ws.get("Celts"); }).find("doesn't support"), std::string::npos);
    EXPECT_NE(failureOf([&] { ws.get("Range", {std::string("B2:")}); }).find("not a valid"),
              std::string::npos);
    EXPECT_NE(failureOf([&] { cells(std::int32_t{0}, std::int32_t{1}); }).find("Row 0"), std::string::npos);
    EXPECT_NE(failureOf([&] { cells(std::int32_t{65537}, std::int32_t{1}); }), "");
    EXPECT_NE(failureOf([&] { cells(std::int16_t{1}, std::int16_t{257}); }).find("Column 257"),
              std::string::npos);
    EXPECT_NE(failureOf([&] { cells(std::string("x"), std::int16_t{1}); }), "");
    Dispatch a1 = ws.get("Range", {std::string("A1")});
    EXPECT_NE(failureOf([&] { a1.get("Borders", {std::int16_t{6}}); }), "");
    EXPECT_NE(failureOf([&] { a1.get("Borders", {std::int16_t{7}}).let("LineStyle", std::int16_t{99}); }),
              "");
    EXPECT_NE(failureOf([&] { a1.let("HorizontalAlignment", std::int16_t{3}); }), "");
    EXPECT_NE(failureOf([&] { a1.get("Font").let("Size", std::int16_t{0}); }), "");
    EXPECT_NE(failureOf([&] { a1.get("Interior").let("ColorIndex", std::int16_t{57}); }), "");
    EXPECT_NE(
        failureOf([&] { ws.get("Columns", {std::string("A:A")}).let("ColumnWidth", std::string("wide")); }),
        "");
    EXPECT_NE(
        failureOf([&] { ws.get("Columns", {std::string("A:A")}).let("ColumnWidth", std::string("300")); }),
        "");
    EXPECT_EQ(failureOf([&] { a1.call("CopyPicture"); }), "CopyPicture is not available");
    EXPECT_NE(failureOf([&] { app.get("Workbooks", {std::int16_t{2}}); }).find("Subscript"),
              std::string::npos);
    EXPECT_NE(failureOf([&] { app.get("Workbooks").call("Open", {(dir_ / "none.xls").string()}); }), "");
    EXPECT_EQ(std::get<std::int32_t>(app.get("Workbooks").value("Count")), 1) << "a failed Open adds nothing";

    book.call("Close");
    EXPECT_NE(failureOf([&] { ws.get("Cells"); }).find("closed"), std::string::npos);
    app.call("Quit");
    EXPECT_NE(failureOf([&] { app.get("Workbooks"); }).find("quit"), std::string::npos);
    EXPECT_NE(failureOf([&] { app.value(""); }).find("quit"), std::string::npos);
}

// Member names match without regard to case, and argument lists of any length arrive whole (a few are
// held in place, longer ones elsewhere; copies keep every kind of value).
TEST_F(BindingTest, MemberNamesInAnyCaseAndArgumentListsOfAnyLength) {
    Dispatch app = newApp();
    Dispatch book = obj(app.get("Workbooks").call("Add"));
    Dispatch ws = book.get("ActiveSheet");
    ws.get("CELLS", {std::int16_t{2}, std::int16_t{3}})
        .get("borders", {std::int16_t{10}})
        .let("lineSTYLE", std::int16_t{1});
    EXPECT_EQ(std::get<std::int32_t>(ws.get("Cells", {2, 3}).get("Borders", {10}).value("LineStyle")), 1);

    const rw::automation::Args four{std::string("a long enough text to live outside the object"), 2, 3.5,
                                    Variant(app.object())};
    rw::automation::Args copy;
    copy = four;
    const rw::automation::Args again(copy);
    ASSERT_EQ(again.size(), 4u);
    EXPECT_EQ(std::get<std::string>(again[0]), "a long enough text to live outside the object");
    EXPECT_EQ(std::get<double>(again.at(2)), 3.5);
    EXPECT_EQ(std::get<rw::automation::ObjectRef>(again[3]), app.object());
    EXPECT_THROW((void)again.at(4), std::out_of_range);
    copy = rw::automation::Args{std::string("short")};
    EXPECT_EQ(copy.size(), 1u);
    EXPECT_EQ(std::get<std::string>(copy[0]), "short");
    EXPECT_NE(failureOf([&] { book.call("Close", four); }).find("Wrong number of arguments"),
              std::string::npos);
}

TEST_F(BindingTest, SaveAsThenOpenInASecondInstance) {
    const std::string path = (dir_ / "qarlow12345678.xls").string();
    Dispatch first = newApp();
    Dispatch book = obj(first.get("Workbooks").call("Add"));
    rw::test::replayChart(book.get("ActiveSheet"), 4, "Ann \xc3\xa4");
    book.call("SaveAs", {path});
    book.call("Close");
    first.call("Quit");

    Dispatch second = newApp();
    second.get("Workbooks").call("Open", {path});
    Dispatch workbooks = second.get("Workbooks");
    const auto count = workbooks.value("Count");
    Dispatch opened = second.get("Workbooks", {count});
    Dispatch used = opened.get("ActiveSheet").get("UsedRange");
    EXPECT_EQ(std::get<std::int32_t>(used.get("Rows").value("Count")), 18);  // rows 2..19
    rw::sheet::Workbook original;
    EXPECT_TRUE(rw::sheet::loadWorkbook(path).activeSheet().cell(2, 2)->text ==
                "Family Tree for Ann \xc3\xa4");
}

// The saved chart as an independent reader sees it.
class XlrdTest : public BindingTest, public ::testing::WithParamInterface<int> {};

TEST_P(XlrdTest, IndependentReaderSeesTheChart) {
    const char* source = std::getenv("ROOTWEAVE_SOURCE_DIR");
    if (!source) {
        source = ROOTWEAVE_SOURCE_DIR;
    }
    if (!fs::exists("/usr/bin/python3") ||
        std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-xlrd is not installed";
    }
    const int generations = GetParam();
    const std::string path = (dir_ / "chart.xls").string();
    Dispatch app = newApp();
    Dispatch book = obj(app.get("Workbooks").call("Add"));
    rw::test::replayChart(book.get("ActiveSheet"), generations, "Ann");
    book.call("SaveAs", {path});
    app.call("Quit");
    const std::string command = "/usr/bin/python3 '" + std::string(source) + "/tests/chart/xlrd_check.py' '" +
                                path + "' " + std::to_string(generations) + " Ann";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

INSTANTIATE_TEST_SUITE_P(Generations, XlrdTest, ::testing::Values(1, 3, 15));

TEST_F(BindingTest, RangesCountIndexAndAddressLikeTheObjectModel) {
    Dispatch ws = obj(newApp().get("Workbooks").call("Add")).get("ActiveSheet");
    Dispatch r = ws.get("Range", {std::string("B2:D5")});
    EXPECT_EQ(std::get<std::int32_t>(r.value("Count")), 12);
    EXPECT_EQ(std::get<std::int32_t>(r.get("Rows").value("Count")), 4);
    EXPECT_EQ(std::get<std::int32_t>(r.get("Columns").value("Count")), 3);
    EXPECT_EQ(std::get<std::int32_t>(r.get("Rows", {std::int16_t{2}}).value("Row")), 3);
    EXPECT_EQ(std::get<std::int32_t>(r.get("Columns", {std::int16_t{3}}).value("Column")), 4);
    EXPECT_EQ(std::get<std::string>(r.value("Address")), "$B$2:$D$5");
    EXPECT_EQ(std::get<std::string>(r.get("Cells", {std::int16_t{2}, std::int16_t{2}}).value("Address")),
              "$C$3");
    EXPECT_EQ(std::get<std::string>(ws.get("Cells", {std::int32_t{257}}).value("Address")), "$A$2");
    Dispatch both = ws.get(
        "Range", {std::string("D4"), Variant{ws.get("Cells", {std::int16_t{1}, std::int16_t{1}}).object()}});
    EXPECT_EQ(std::get<std::string>(both.value("Address")), "$A$1:$D$4");
    EXPECT_EQ(std::get<std::string>(ws.get("Columns", {std::string("C")}).value("Address")), "$C:$C");
    EXPECT_EQ(std::get<std::string>(ws.get("Columns", {std::int16_t{2}}).value("Address")), "$B:$B");
    EXPECT_EQ(std::get<std::string>(ws.get("Rows", {std::string("3:4")}).value("Address")), "$3:$4");
    EXPECT_NE(failureOf([&] { ws.get("Columns", {std::string("B2")}); }), "");
    EXPECT_NE(failureOf([&] { ws.get("Rows", {std::string("B:B")}); }), "");
    EXPECT_NE(failureOf([&] { r.get("Rows", {std::int32_t{70000}}); }), "");
    EXPECT_EQ(std::get<std::string>(ws.get("UsedRange").value("Address")), "$A$1");
}

TEST_F(BindingTest, ValuesKeepTheirTypes) {
    Dispatch ws = obj(newApp().get("Workbooks").call("Add")).get("ActiveSheet");
    const auto cell = [&](const char* a) { return ws.get("Range", {std::string(a)}); };
    cell("A1").let("Value", std::string("text"));
    cell("A2").let("Value", std::int16_t{42});
    cell("A3").let("Value", 2.5);
    cell("A4").let("Value", true);
    cell("A5").let("Value", std::string("gone"));
    cell("A5").let("Value", Variant{});
    EXPECT_EQ(std::get<std::string>(cell("A1").value("Value")), "text");
    EXPECT_EQ(std::get<double>(cell("A2").value("Value")), 42.0);
    EXPECT_EQ(std::get<double>(cell("A3").value("Value")), 2.5);
    EXPECT_EQ(std::get<std::string>(cell("A4").value("Value")), "TRUE");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(cell("A5").value("Value")));
    EXPECT_NE(failureOf([&] { cell("A6").let("Value", cell("A1").object()); }), "");
    EXPECT_NE(failureOf([&] { cell("A6").let("Value", std::string("\xff")); }), "");
}

TEST_F(BindingTest, FormatsThroughEveryStyleObject) {
    rw::sheet::Workbook* seen = nullptr;
    rw::chart::EngineFactory factory([&](const rw::sheet::Worksheet& s, const rw::sheet::CellRange& r) {
        EXPECT_EQ(r, rw::sheet::parseAddress("B2:C3"));
        seen = const_cast<rw::sheet::Workbook*>(&s.workbook());
    });
    Dispatch ws = obj(Dispatch(factory.createObject("excel.application")).get("Workbooks").call("Add"))
                      .get("ActiveSheet");
    Dispatch r = ws.get("Range", {std::string("B2:C3")});
    r.get("Font").let("Bold", true);
    r.get("Font").let("Italic", true);
    r.get("Font").let("Size", 10.5);
    r.get("Borders").let("LineStyle", std::int16_t{1});
    r.get("Borders", {std::int16_t{9}}).let("Weight", std::int32_t{-4138});
    r.get("Borders", {std::int16_t{10}}).let("ColorIndex", std::int16_t{3});
    r.let("HorizontalAlignment", std::int32_t{-4108});
    ws.get("Columns", {std::string("H:H")}).get("Interior").let("ColorIndex", std::int16_t{6});
    ws.get("Rows", {std::int16_t{7}}).let("RowHeight", 30.0);
    ws.get("Range", {std::string("B5:D6")}).call("Merge", {true});
    ws.get("Range", {std::string("B2:C3")}).call("CopyPicture");
    ASSERT_NE(seen, nullptr);
    const auto& sheet = seen->activeSheet();
    const auto& top = sheet.effectiveStyle(2, 2);
    const auto& corner = sheet.effectiveStyle(3, 3);
    EXPECT_TRUE(top.font.bold && top.font.italic);
    EXPECT_EQ(top.font.heightTwips, 210);
    EXPECT_EQ(top.alignment, rw::sheet::HorizontalAlignment::Center);
    EXPECT_EQ(top.border(rw::sheet::Edge::Bottom).line, rw::sheet::LineStyle::Thin);
    EXPECT_EQ(corner.border(rw::sheet::Edge::Bottom).line,
              rw::sheet::LineStyle::Medium);  // the range's bottom edge
    EXPECT_EQ(corner.border(rw::sheet::Edge::Right).color, 10);
    EXPECT_EQ(top.border(rw::sheet::Edge::Right).color, rw::sheet::kAutomaticLineColor);
    EXPECT_EQ(sheet.effectiveStyle(60000, 8).fillColor, 13);  // the whole column
    EXPECT_FALSE(sheet.cell(60000, 8).has_value());
    EXPECT_EQ(sheet.rowHeight(7), 600);
    ASSERT_EQ(sheet.mergedRanges().size(), 2u);  // merged row by row
    EXPECT_EQ(sheet.mergedRanges()[1], rw::sheet::parseAddress("B6:D6"));
}
