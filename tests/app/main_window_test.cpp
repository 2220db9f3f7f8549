#include <sys/stat.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "app/main_window.h"
#include "app_fixture.h"
#include "platform/failure.h"
#include "platform/program_names.h"

namespace rw::test {
namespace {

using FirstStart = MainWindowTest;
using Inputs = MainWindowTest;
using Buttons = MainWindowTest;
using Hover = MainWindowTest;
using StartUp = MainWindowTest;
using Ending = MainWindowTest;

TEST_F(FirstStart, EmptyStoreFillsDefaultsAndWritesBothKeys) {
    Form1& f = loadForm();
    EXPECT_EQ(f.Text1->text(), "Jonas Wexley");
    EXPECT_EQ(f.Text2->text(), "5");
    EXPECT_EQ(seams.settings.values, (std::map<QString, QString>{{"Text1", "Jonas Wexley"}, {"Text2", "5"}}));
    EXPECT_TRUE(seams.messages.shown.empty());
    EXPECT_TRUE(seams.programEnd.statuses.empty());
}

TEST_F(Inputs, StoredValuesComeBackAndAreNotRewrittenWhenUnchanged) {
    seams.settings.values = {{"Text1", "Ada Lovelace"}, {"Text2", "12"}};
    Form1& f = loadForm();
    EXPECT_EQ(f.Text1->text(), "Ada Lovelace");
    EXPECT_EQ(f.Text2->text(), "12");
    // Each box changed once from empty, and each change writes its own key.
    EXPECT_EQ(seams.settings.writes, 2);
}

TEST_F(Inputs, ClearedBoxIsStoredEmptyAndTheNextStartShowsItEmpty) {
    Form1& f = loadForm();
    f.Text1->clear();
    EXPECT_EQ(seams.settings.values.at("Text1"), "");
    form.reset();

    Form1& again = loadForm();
    EXPECT_EQ(again.Text1->text(), "");  // the default applies only to an absent key
    EXPECT_EQ(again.Text2->text(), "5");
}

TEST_F(Inputs, EveryKeystrokeStoresTheWholeTextUnchecked) {
    Form1& f = loadForm();
    f.Text2->clear();
    const int before = seams.settings.writes;
    QTest::keyClicks(f.Text2, "2.5x");
    EXPECT_EQ(seams.settings.values.at("Text2"), "2.5x");
    EXPECT_EQ(seams.settings.writes - before, 4);
    QTest::keyClicks(f.Text1, QString::fromUtf8(" Åse, Ø; \"quoted\""));
    EXPECT_EQ(seams.settings.values.at("Text1"), f.Text1->text());
}

TEST_F(Inputs, FocusSelectsTheWholeText) {
    Form1& f = loadForm();
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    EXPECT_EQ(QApplication::focusWidget(), f.Text1);  // first in the tab order
    EXPECT_EQ(f.Text1->selectedText(), "Jonas Wexley");
    EXPECT_EQ(f.Text1->selectionStart(), 0);

    f.Text2->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(f.Text2->selectedText(), "5");
    QTest::keyClick(f.Text2, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), f.Text2);
    EXPECT_EQ(f.Text2->selectedText(), "5");
}

TEST_F(Buttons, SampleDataReplacesBothTextsAndStoresThem) {
    Form1& f = loadForm();
    f.Text1->setText("Someone Else");
    f.Text2->setText("");
    QTest::mouseClick(f.PushButton7, Qt::LeftButton);
    EXPECT_EQ(f.Text1->text(), "Jonas Wexley");
    EXPECT_EQ(f.Text2->text(), "5");
    EXPECT_EQ(seams.settings.values.at("Text1"), "Jonas Wexley");
    EXPECT_EQ(seams.settings.values.at("Text2"), "5");
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(Buttons, StartCreatingTemplateHandsEachClickToTheRunAndNothingElse) {
    Form1& f = loadForm();
    QTest::mouseClick(f.PushButton1, Qt::LeftButton);
    QTest::mouseClick(f.PushButton1, Qt::LeftButton);
    EXPECT_EQ(seams.run.clicks, 2);
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(Buttons, HelpShowsTheExactMessage) {
    Form1& f = loadForm();
    QTest::mouseClick(f.PushButton6, Qt::LeftButton);
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    const ShownBox& box = seams.messages.shown[0];
    EXPECT_EQ(box.text,
              "Questions? Please contact Team Tolvane at " + QString::fromLatin1(addresses::kSupportPage));
    EXPECT_EQ(box.title, "Rootweave");
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
}

TEST_F(Buttons, AFailingHelpBoxIsReportedAtLine100AndTheProgramGoesOn) {
    Form1& f = loadForm();
    bool failed = false;
    seams.messages.onShow = [&failed](const ShownBox&) {
        if (!failed) {
            failed = true;
            throw Failure("Out of string space");
        }
    };
    f.PushButton6_Click();
    ASSERT_EQ(seams.messages.shown.size(), 2u);
    EXPECT_EQ(seams.messages.shown[1].title, "Application Error");
    EXPECT_TRUE(seams.messages.shown[1].text.startsWith(
        "Out of string space\r\nin Rootweave7/29/2014.Form1.PushButton6_Click at line 100\r\r"));
    EXPECT_TRUE(seams.programEnd.statuses.empty());
}

TEST_F(Buttons, CaptionsAndFontsStayAfterEveryCommand) {
    Form1& f = loadForm();
    const auto check = [&f] {
        for (PushButton* b : {f.PushButton1, f.PushButton6, f.PushButton7}) {
            EXPECT_EQ(b->font().family(), "Arial");
            EXPECT_DOUBLE_EQ(b->font().pointSizeF(), 11.25);
            EXPECT_TRUE(b->font().bold());
        }
        EXPECT_EQ(f.PushButton1->text(), "Start Creating Template");
        EXPECT_EQ(f.PushButton6->text(), "Help");
        EXPECT_EQ(f.PushButton7->text(), "Load Sample/Example Data");
    };
    check();
    f.PushButton6_Click();
    f.PushButton7_Click();
    f.PushButton1_Click();
    check();
}

TEST_F(Inputs, ASettingsStoreThatRefusesWritesWarnsOnceAndTheProgramGoesOn) {
    seams.settings.failWrites = true;
    Form1& f = loadForm();
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(seams.messages.shown[0].text, "Settings store refused the write");
    EXPECT_EQ(seams.messages.shown[0].title, "Rootweave");
    EXPECT_EQ(seams.messages.shown[0].icon, MsgIcon::Exclamation);
    QTest::keyClicks(f.Text1, "abc");
    f.PushButton7_Click();
    EXPECT_EQ(seams.messages.shown.size(), 1u);  // not on every keystroke
    EXPECT_EQ(f.Text1->text(), "Jonas Wexley");
    EXPECT_TRUE(seams.programEnd.statuses.empty());
}

void moveOver(QWidget* widget, QPoint at = QPoint(3, 3)) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

TEST_F(Hover, ButtonsShowTheCustomPointerAndTheBackgroundTheDefault) {
    Form1& f = loadForm();
    for (PushButton* b : {f.PushButton1, f.PushButton6, f.PushButton7}) {
        f.mousePointer().set(kPointerDefault);
        moveOver(b);
        EXPECT_EQ(f.mousePointer().get(), kPointerCustom);
    }
    moveOver(&f, QPoint(2, 2));  // the background left of the first button
    EXPECT_EQ(f.mousePointer().get(), kPointerDefault);
}

TEST_F(Hover, FramesAreNotTheBackground) {
    Form1& f = loadForm();
    f.mousePointer().set(kPointerCustom);
    moveOver(f.Frame1);
    EXPECT_EQ(f.mousePointer().get(), kPointerCustom);
}

TEST_F(Hover, HandOverTheButtonsAndArrowOverTheFramesThroughRealMouseMoves) {
    installHandCursor();
    Form1& f = loadForm();
    f.show();  // the pointer moves over the window as the platform reports them
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    struct Step {
        QWidget* over;
        Qt::CursorShape shape;
    };
    const Step steps[] = {
        {f.PushButton1, Qt::BitmapCursor},
        {f.Frame1, Qt::ArrowCursor},
        {f.PushButton7, Qt::BitmapCursor},
        {f.Frame2, Qt::ArrowCursor},
        {f.Text2, Qt::IBeamCursor},
        {f.PushButton6, Qt::BitmapCursor},
        {&f, Qt::ArrowCursor},
    };
    for (const Step& step : steps) {
        QTest::mouseMove(step.over, QPoint(3, 3));
        EXPECT_EQ(step.over->cursor().shape(), step.shape) << step.over->objectName().toStdString();
    }
    // While a run works, the hourglass shows over the frames and the buttons alike.
    f.mousePointer().set(kPointerHourglass);
    for (QWidget* w : {static_cast<QWidget*>(f.Frame1), static_cast<QWidget*>(f.PushButton1)}) {
        QTest::mouseMove(w, QPoint(3, 3));
        EXPECT_EQ(w->cursor().shape(), Qt::WaitCursor) << w->objectName().toStdString();
    }
}

TEST_F(Hover, TheHourglassIsNeverReplaced) {
    Form1& f = loadForm();
    f.mousePointer().set(kPointerHourglass);
    for (QWidget* w : std::initializer_list<QWidget*>{f.PushButton1, f.PushButton6, f.PushButton7}) {
        moveOver(w);
    }
    moveOver(&f, QPoint(2, 2));
    EXPECT_EQ(f.mousePointer().get(), kPointerHourglass);
    EXPECT_EQ(f.cursor().shape(), Qt::WaitCursor);
}

TEST_F(Hover, WithoutTheCursorFileTheButtonsShowTheArrow) {
    Form1& f = loadForm();
    EXPECT_FALSE(f.mousePointer().hasHoverCursor());
    moveOver(f.PushButton6);
    EXPECT_EQ(f.mousePointer().get(), kPointerCustom);
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Hover, TheHandComesFromTheCursorFileBesideTheProgram) {
    installHandCursor();
    Form1& f = loadForm();
    ASSERT_TRUE(seams.messages.shown.empty());
    ASSERT_TRUE(f.mousePointer().hasHoverCursor());
    moveOver(f.PushButton1);
    EXPECT_EQ(f.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(f.cursor().hotSpot(), QPoint(11, 1));
    EXPECT_EQ(f.cursor().pixmap().size(), QSize(32, 32));
}

TEST_F(Hover, ACursorFileThatIsNoCursorEndsTheProgramAtStartUp) {
    writeFile("HAND-M.CUR", QByteArray("this is not a cursor at all"));
    loadForm();
    ASSERT_FALSE(seams.messages.shown.empty());
    EXPECT_TRUE(seams.messages.shown[0].text.contains("Invalid picture"));
    ASSERT_FALSE(seams.programEnd.statuses.empty());
    EXPECT_EQ(seams.programEnd.statuses[0], 1);
}

TEST_F(Hover, ACursorFileThatIsAPipeFailsInsteadOfWaiting) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("HAND-M.CUR")).constData(), 0600), 0);
    loadForm();
    ASSERT_FALSE(seams.messages.shown.empty());
    EXPECT_TRUE(seams.messages.shown[0].text.contains("Invalid picture"));
    EXPECT_EQ(seams.programEnd.statuses, std::vector<int>{1});
}

TEST(CursorFile, ReadsTheHandAndRejectsWhatIsNoCursor) {
    const QCursor hand = loadCursorFile(QStringLiteral(ROOTWEAVE_SOURCE_DIR "/resources/HAND-M.CUR"));
    EXPECT_EQ(hand.hotSpot(), QPoint(11, 1));
    const QImage image = hand.pixmap().toImage();
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);           // transparent corner
    EXPECT_EQ(image.pixelColor(11, 0), QColor(Qt::black));  // outline of the fingertip
    EXPECT_EQ(image.pixelColor(11, 2), QColor(Qt::white));  // inside the finger
    QTemporaryDir dir;
    const auto expectFailure = [&dir](const QByteArray& bytes, const char* description) {
        QFile f(dir.filePath("c.cur"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        try {
            loadCursorFile(f.fileName());
            ADD_FAILURE() << "loaded " << bytes.toHex().toStdString();
        } catch (const Failure& e) {
            EXPECT_EQ(e.description(), description);
        }
    };
    expectFailure(QByteArray(), "Invalid picture");
    expectFailure(QByteArray("\0\0\2\0\1\0", 6) + QByteArray(16, '\0'), "Invalid picture");   // no image
    expectFailure(QByteArray("\0\0\3\0\1\0", 6) + QByteArray(300, '\1'), "Invalid picture");  // not a cursor
    expectFailure(QByteArray((1 << 20) + 1, '\0'), "Invalid picture");                        // far too large
    try {
        loadCursorFile(dir.filePath("missing.cur"));
        ADD_FAILURE();
    } catch (const Failure& e) {
        EXPECT_EQ(e.description(), "Path/File access error");
    }
}

TEST_F(StartUp, LayoutIsFixedInTwipsWithTheDesignFontsAndTabOrder) {
    Form1& f = loadForm();
    EXPECT_EQ(f.size(), QSize(536, 201));  // 8040 x 3015 twips
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_EQ(f.PushButton1->geometry(), QRect(8, 8, 520, 27));
    EXPECT_EQ(f.PushButton6->geometry(), QRect(8, 42, 256, 27));
    EXPECT_EQ(f.PushButton7->geometry(), QRect(272, 42, 256, 27));
    EXPECT_EQ(f.Frame1->geometry(), QRect(8, 74, 521, 57));
    EXPECT_EQ(f.Frame2->geometry(), QRect(8, 136, 521, 57));
    EXPECT_EQ(f.Text1->parentWidget(), f.Frame1);
    EXPECT_EQ(f.Text2->parentWidget(), f.Frame2);
    EXPECT_EQ(f.Text1->geometry(), QRect(16, 20, 489, 25));
    EXPECT_EQ(f.Text2->geometry(), QRect(16, 20, 489, 25));
    EXPECT_EQ(f.Frame1->title(), "Family Tree For");
    EXPECT_EQ(f.Frame2->title(), "Number Of Generations (Including Youself)");
    for (QWidget* w : std::initializer_list<QWidget*>{f.Frame1, f.Frame2, f.Text1, f.Text2}) {
        EXPECT_EQ(w->font().family(), "Arial");
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 9.0);
        EXPECT_TRUE(w->font().bold());
    }
    // Tab order: Text1, Text2, then the three buttons.
    std::vector<QWidget*> chain;
    QWidget* w = f.Text1;
    for (int i = 0; i < 5; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus) {
            w = w->nextInFocusChain();
        }
        chain.push_back(w);
    }
    EXPECT_EQ(chain, (std::vector<QWidget*>{f.Text1, f.Text2, f.PushButton1, f.PushButton6, f.PushButton7}));
}

TEST_F(StartUp, CaptionIconAndDesignColoursWithoutASkin) {
    Form1& f = makeForm();
    f.Form_Load();
    EXPECT_EQ(f.windowTitle(), "Rootweave");
    ASSERT_TRUE(QFile::exists(":/rootweave/rootweave.svg"));
    EXPECT_FALSE(f.windowIcon().pixmap(32, 32).isNull());
    EXPECT_EQ(f.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(f.Frame1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(f.Frame2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(f.SkinFramework1->accessLog().isEmpty());
}

TEST_F(StartUp, CentresTheWindowOnTheScreen) {
    Form1& f = loadForm();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(f.pos(), QPoint(static_cast<int>(std::floor((screen.width() - 536) / 2.0)),
                              static_cast<int>(std::floor((screen.height() - 201) / 2.0))));
}

TEST_F(StartUp, OpensTheHomePageOnlyWhenTheDrawIsSeven) {
    seams.clock.seconds = 3723.75;
    seams.random.draws = {0.06};  // floor(6.0) + 1 = 7
    loadForm();
    EXPECT_EQ(seams.random.seeds, (std::vector<std::uint64_t>{3723}));
    EXPECT_EQ(seams.browser.opened, QStringList{QString::fromLatin1(addresses::kHomePage)});

    for (double draw : {0.0599999, 0.07, 0.0, 0.99999}) {
        ScriptedPlatform other;
        other.programFolder = folder.path();
        other.random.draws = {draw};
        Form1 f(other.platform(), other.run);
        f.Form_Load();
        EXPECT_TRUE(other.browser.opened.isEmpty()) << draw;
    }
}

TEST_F(Ending, ClosingTheWindowEndsTheProgramAtOnceWithoutAQuestion) {
    Form1& f = loadForm();
    f.show();
    EXPECT_TRUE(f.close());
    EXPECT_EQ(seams.programEnd.statuses, std::vector<int>{0});
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST(MyPower, RaisesAndTurnsUndefinedResultsIntoFailures) {
    ScriptedPlatform seams;
    Form1 f(seams.platform(), seams.run);
    for (int g = 0; g <= 15; ++g) {
        EXPECT_EQ(f.MyPower(2, g), static_cast<double>(1 << g));
    }
    EXPECT_DOUBLE_EQ(f.MyPower(2, -1), 0.5);
    EXPECT_DOUBLE_EQ(f.MyPower(9, 0.5), 3.0);
    try {
        f.MyPower(2, 2000);
        ADD_FAILURE() << "no overflow";
    } catch (const Failure& e) {
        EXPECT_EQ(e.description(), "Overflow");
    }
    EXPECT_THROW(f.MyPower(-8, 1.0 / 3), Failure);
    EXPECT_THROW(f.MyPower(0, -1), Failure);
}

}  // namespace
}  // namespace rw::test
