#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "chart/active_object.h"
#include "chart/excel1.h"
#include "chart/excel_binding.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

using automation::ObjectRef;
using automation::Variant;
using chart::Excel1::checkExcelOpen;
using chart::Excel1::isExcelRunning;
using chart::Excel1::openExcelWorkbook;

// An active-object lookup that answers with a recorded object whose default value is given, or fails.
class ScriptedLookup : public automation::ActiveObjectLookup {
  public:
    ObjectRef getActiveObject(const std::string& className) override {
        asked.push_back(className);
        if (!running) {
            throw Failure("ActiveX component can't create object");
        }
        world.answer = [this](const test::RecordedCall& c) -> std::optional<Variant> {
            if (c.member.empty()) {
                return defaultValue;
            }
            return std::nullopt;
        };
        return world.root("Excel");
    }
    bool running = true;
    Variant defaultValue = std::string("Microsoft Excel");
    test::RecordingAutomation world;
    std::vector<std::string> asked;
};

const QString kQuestion = QStringLiteral(
    "Excel may be open. It is recommended that you close Excel first.\r"
    "Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.\r\n\r\n"
    "Would you like to proceed anyway?");

TEST(Excel1Instances, NoExcelRunningGoesOnWithoutAMessage) {
    test::ScriptedProcesses processes;
    processes.names = {"bash", "excel", "EXCEL.EXE.old", "wine64-preloader", "soffice.bin"};
    chart::RunningExcelLookup lookup(processes);
    test::ScriptedMessageBoxes boxes;
    EXPECT_FALSE(isExcelRunning(lookup));
    EXPECT_FALSE(checkExcelOpen(lookup, boxes));
    EXPECT_TRUE(boxes.shown.empty());

    ScriptedLookup failing;
    failing.running = false;
    EXPECT_FALSE(checkExcelOpen(failing, boxes));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(failing.asked, std::vector<std::string>{"Excel.Application"});
}

TEST(Excel1Instances, RunningExcelAsksAndYesGoesOnNoAbandons) {
    test::ScriptedProcesses processes;
    processes.names = {"bash", "EXCEL.EXE"};
    chart::RunningExcelLookup lookup(processes);
    test::ScriptedMessageBoxes boxes;
    EXPECT_TRUE(isExcelRunning(lookup));
    EXPECT_TRUE(boxes.shown.empty());

    boxes.answers = {kAnswerYes, kAnswerNo};
    EXPECT_FALSE(checkExcelOpen(lookup, boxes));
    EXPECT_TRUE(checkExcelOpen(lookup, boxes));
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const test::ShownBox& b : boxes.shown) {
        EXPECT_EQ(b.text, kQuestion);
        EXPECT_EQ(b.title, "Rootweave");
        EXPECT_EQ(b.icon, MsgIcon::None);
        EXPECT_EQ(b.buttons, MsgButtons::YesNo);
        EXPECT_EQ(b.defaultAnswer, kAnswerYes);
    }
    // Under a compatibility layer the name may come in any case.
    processes.names = {"excel.exe"};
    EXPECT_TRUE(isExcelRunning(lookup));
}

TEST(Excel1Instances, OnlyTheExactNameCountsAndTheRunningExcelIsLeftAlone) {
    ScriptedLookup lookup;
    EXPECT_TRUE(isExcelRunning(lookup));
    // Nothing but the default value was asked of the running Excel.
    ASSERT_EQ(lookup.world.calls.size(), 1u);
    EXPECT_EQ(lookup.world.calls[0].kind, test::CallKind::Get);
    EXPECT_EQ(lookup.world.calls[0].member, "");

    test::ScriptedMessageBoxes boxes;
    for (const Variant& other :
         {Variant(std::string("microsoft excel")), Variant(std::string("Microsoft Excel ")),
          Variant(std::string("Microsoft Word")), Variant(std::string()), Variant(std::int32_t{0}),
          Variant()}) {
        lookup.defaultValue = other;
        EXPECT_FALSE(isExcelRunning(lookup));
        EXPECT_FALSE(checkExcelOpen(lookup, boxes));
    }
    EXPECT_TRUE(boxes.shown.empty());
    // A failing default value counts as not running, too.
    lookup.defaultValue = std::string("Microsoft Excel");
    lookup.world.failWith = [](const test::RecordedCall&) {
        return std::optional<std::string>("Automation error");
    };
    EXPECT_FALSE(isExcelRunning(lookup));
}

TEST(Excel1Instances, RunningExcelLookupNeverReachesIntoTheProgram) {
    test::ScriptedProcesses processes;
    processes.names = {"EXCEL.EXE"};
    chart::RunningExcelLookup lookup(processes);
    EXPECT_THROW(lookup.getActiveObject("Word.Application"), Failure);
    EXPECT_NO_THROW(lookup.getActiveObject("excel.application"));
    EXPECT_NO_THROW(lookup.getActiveObject("Excel.Application.12"));
    automation::Dispatch excel(lookup.getActiveObject("Excel.Application"));
    EXPECT_EQ(std::get<std::string>(excel.value("")), "Microsoft Excel");
    EXPECT_THROW(excel.get("Workbooks"), Failure);
    EXPECT_THROW(excel.let("Visible", true), Failure);
    EXPECT_THROW(excel.call("Quit"), Failure);
}

TEST(Excel1Instances, OpenExcelWorkbookStartsAFreshHiddenInstance) {
    test::RecordingAutomation world;
    test::RecordingFactory factory(world);
    const automation::Dispatch excel = openExcelWorkbook(factory, QStringLiteral("/tmp/qarlow12345678.xls"));
    EXPECT_TRUE(excel);
    EXPECT_EQ(factory.created, std::vector<std::string>{"Excel.Application"});
    // Only the opening; Visible and DisplayAlerts stay as the new instance has them.
    EXPECT_EQ(world.effects(), std::vector<std::string>{"Workbooks.Open(\"/tmp/qarlow12345678.xls\")()"});
}

TEST(Excel1Instances, OpenExcelWorkbookFailuresReachTheCaller) {
    QTemporaryDir dir;
    chart::EngineFactory engine;
    automation::Dispatch excel;
    EXPECT_THROW(excel = openExcelWorkbook(engine, dir.filePath("missing.xls")), Failure);
    EXPECT_FALSE(excel);

    test::RecordingAutomation world;
    test::RecordingFactory factory(world);
    factory.failCreate = "ActiveX component can't create object";
    EXPECT_THROW(excel = openExcelWorkbook(factory, "/tmp/a.xls"), Failure);
    EXPECT_FALSE(excel);
}

TEST(Excel1Instances, OpenExcelWorkbookOpensTheFileAsTheLastWorkbook) {
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.xls");
    chart::EngineFactory engine;
    {
        automation::Dispatch first(engine.createObject("Excel.Application"));
        automation::Dispatch book(automation::toObject(first.get("Workbooks").call("Add")));
        book.get("ActiveSheet")
            .get("Cells", {std::int32_t{4}, std::int32_t{3}})
            .let("Value", std::string("here"));
        book.call("SaveAs", {path.toStdString()});
        book.call("Close");
        first.call("Quit");
    }
    const automation::Dispatch excel = openExcelWorkbook(engine, path);
    const automation::Variant count = excel.get("Workbooks").value("count");
    EXPECT_EQ(automation::toInt32(count), 1);
    const automation::Dispatch book = excel.get("Workbooks", {count});
    EXPECT_EQ(automation::toText(
                  book.get("ActiveSheet").get("Cells", {std::int32_t{4}, std::int32_t{3}}).value("Value")),
              "here");
}

}  // namespace
}  // namespace rw
