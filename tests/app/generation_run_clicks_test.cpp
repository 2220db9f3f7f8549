#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>

#include "generation_run_fixture.h"

// Clicks that arrive while a run works or waits for an answer.
namespace rw::test {
namespace {

// Presses and releases the left button on a widget through the event queue, as the window system delivers
// clicks the program has not yet taken.
void queueClick(QWidget* widget) {
    const QPointF at(5, 5);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            widget, new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                    Qt::NoModifier));
    }
}

TEST_F(GenerationRun, ABurstOfClicksMakesOneRunAndLeavesNoWorkbookBehind) {
    Form1& f = makeForm("Ada", "3");
    for (int i = 0; i < 10; ++i) {
        queueClick(f.PushButton1);
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(tempEntries(), QStringList{QFileInfo(preview->excelFile()).fileName()});

    preview->PushButton8_Click();  // "< Back" removes the one workbook
    EXPECT_TRUE(tempEntries().isEmpty());
    EXPECT_TRUE(f.isVisible());
    queueClick(f.PushButton1);  // and the button works again
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(factory.created, 4);
    EXPECT_EQ(tempEntries().size(), 1);
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(GenerationRun, ClicksThatArriveWhileARunWaitsForAnAnswerAreDropped) {
    // The question about a running Excel waits for the user; clicks reach the button meanwhile.
    userExcel.running = true;
    seams.messages.answers = std::deque<int>(11, kAnswerYes);
    Form1& f = makeForm("Ada", "2");
    bool clicked = false;
    seams.messages.onShow = [&f, &clicked](const ShownBox&) {
        if (std::exchange(clicked, true)) {
            return;
        }
        for (int i = 0; i < 10; ++i) {
            f.PushButton1->click();
        }
    };
    f.PushButton1->click();
    EXPECT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(tempEntries(), QStringList{QFileInfo(preview->excelFile()).fileName()});
}
}  // namespace
}  // namespace rw::test
