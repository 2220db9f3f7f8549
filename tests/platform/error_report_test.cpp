#include <gtest/gtest.h>

#include "platform/checked.h"
#include "platform/error_report.h"
#include "platform/program_names.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

const QString kName = QStringLiteral("Rootweave7/29/2014.Excel1.saveCellsActivesheet");

TEST(ErrorReport, TextIsByteExact) {
    const QString mail = QString::fromLatin1(addresses::kSupportEmail);
    EXPECT_EQ(errorReportText(kName, QStringLiteral("Overflow"), 110),
              QStringLiteral("Overflow\r\nin Rootweave7/29/2014.Excel1.saveCellsActivesheet at line 110\r\r"
                             "Please email screenshot of this message to ") +
                  mail);
    // An empty description starts the text with CR LF.
    EXPECT_EQ(errorReportText(kName, QString(), 100),
              QStringLiteral("\r\nin Rootweave7/29/2014.Excel1.saveCellsActivesheet at line 100\r\r"
                             "Please email screenshot of this message to ") +
                  mail);
}

TEST(ErrorReport, BoxIsAWarningWithOkTitledApplicationError) {
    test::ScriptedMessageBoxes boxes;
    showErrorReport(boxes, kName, QStringLiteral("x"), 104);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
}

TEST(ErrorTrap, ReportsEachFailingStatementInOrderAndGoesOn) {
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap(boxes, kName);
    int value = 5;
    std::vector<int> ran;
    trap.run(100, [&] { throw Failure("first"); });
    trap.run(102, [&] { ran.push_back(102); });
    trap.run(104, [&] { value = add16(32767, 1); });  // fails before storing
    trap.run(106, [&] { throw std::runtime_error("third"); });
    trap.run(108, [&] { ran.push_back(108); });
    EXPECT_EQ(ran, (std::vector<int>{102, 108}));
    EXPECT_EQ(value, 5);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("first\r\nin " + kName + " at line 100\r\r"));
    EXPECT_TRUE(boxes.shown[1].text.startsWith("Overflow\r\nin " + kName + " at line 104\r\r"));
    EXPECT_TRUE(boxes.shown[2].text.startsWith("third\r\nin " + kName + " at line 106\r\r"));
    EXPECT_EQ(trap.reportsShown(), 3);
}

TEST(ErrorTrap, FailingIfTestRunsItsBody) {
    test::ScriptedMessageBoxes boxes;
    ErrorTrap trap(boxes, kName);
    EXPECT_TRUE(trap.test(110, []() -> bool { throw Failure("no sheet"); }));
    EXPECT_FALSE(trap.test(112, [] { return false; }));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains("at line 110"));
}

TEST(RuntimeError, UntrappedFailureShowsTheErrorAndEndsWithNonZeroStatus) {
    test::ScriptedMessageBoxes boxes;
    test::RecordingProgramEnd end;
    bool after = false;
    runUntrapped(boxes, end, [&] {
        throw Failure("Settings store refused the write");
        after = true;
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains("Settings store refused the write"));
    ASSERT_EQ(end.statuses.size(), 1u);
    EXPECT_NE(end.statuses[0], 0);
}

}  // namespace
}  // namespace rw
