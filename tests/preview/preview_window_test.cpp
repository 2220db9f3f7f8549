#include "preview/preview_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt_seams.h"
#include "preview/test_pictures.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

class PreviewWindowTest : public ::testing::Test {
  protected:
    PreviewWindowTest() { form.setAttribute(Qt::WA_DontShowOnScreen); }

    // The hand-over of a picture of the given size at factor 1, then the activation that prepares it.
    void handOver(int width, int height) {
        form.setCanvasPicture(preview::ChartPicture::fromSvg(test::plainPicture(width, height)));
        form.setExcelFile(workbook);
        form.Form_Activate();
    }
    // A picture whose outer size (after the preparation) differs from the viewport's by dw x dh.
    void handOverDifference(int dw, int dh) {
        handOver(form.Picture2->outerWidth() + dw, form.Picture2->outerHeight() + dh);
    }
    void writeWorkbook() {
        QFile file(workbook);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("workbook bytes");
    }
    void clicks(PushButton* button, int n) {
        for (int i = 0; i < n; ++i) {
            button->click();
        }
    }
    void expectNoErrors() {
        EXPECT_TRUE(seams.messages.shown.empty()) << seams.messages.shown.front().text.toStdString();
        EXPECT_TRUE(seams.programEnd.statuses.empty());
    }

    QTemporaryDir dir;
    QString workbook = dir.filePath(QStringLiteral("qarlow12345678.xls"));
    test::ScriptedPlatform seams;
    QWidget mainWindow;
    Form2 form{seams.platform(), &mainWindow};
};

TEST_F(PreviewWindowTest, ControlsCaptionsAndTabOrder) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Preview"));
    EXPECT_EQ(form.Frame1->title(), QStringLiteral("Zoom:"));
    EXPECT_EQ(form.PushButton1->text(), QStringLiteral("Zoom In"));
    EXPECT_EQ(form.PushButton2->text(), QStringLiteral("Zoom Out"));
    EXPECT_EQ(form.PushButton6->text(), QStringLiteral("Save Results To Excel File"));
    EXPECT_EQ(form.PushButton8->text(), QStringLiteral("< Back"));
    EXPECT_EQ(form.PushButton1->parentWidget(), form.Frame1);
    EXPECT_EQ(form.Picture1->parentWidget(), form.Picture2->inner());
    EXPECT_LT(form.PushButton8->x(), form.PushButton6->x());
    EXPECT_EQ(form.HScroll1->width(), form.Picture2->width());
    EXPECT_EQ(form.VScroll1->height(), form.Picture2->height());
    EXPECT_TRUE(form.Zoom_Ori->isHidden());
    EXPECT_TRUE(form.mFirstActivate);

    const std::vector<QWidget*> order = {form.HScroll1,    form.VScroll1,    form.Picture2,
                                         form.Picture1,    form.PushButton1, form.PushButton2,
                                         form.PushButton6, form.PushButton8};
    // Screen readers name every control the user can reach.
    for (QWidget* w : {static_cast<QWidget*>(form.Picture2), static_cast<QWidget*>(form.HScroll1),
                       static_cast<QWidget*>(form.VScroll1), static_cast<QWidget*>(form.PushButton1),
                       static_cast<QWidget*>(form.PushButton8)}) {
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
    }
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, order[i + 1]) << "after control " << i;
    }
}

TEST_F(PreviewWindowTest, PreparationShowsThePictureAtFactorOneInTheCorner) {
    handOver(500, 1000);
    EXPECT_FALSE(form.mFirstActivate);
    EXPECT_EQ(form.mZoom, 1.0F);
    EXPECT_EQ(form.mOrigWidth, 500);
    EXPECT_EQ(form.mOrigHeight, 1000);
    EXPECT_EQ(form.Picture1->outerWidth(), 500);
    EXPECT_EQ(form.Picture1->pos(), QPoint(0, 0));
    EXPECT_TRUE(form.Picture1->hasDrawing());
    EXPECT_FALSE(form.HScroll1->isEnabled());
    EXPECT_TRUE(form.VScroll1->isEnabled());
    expectNoErrors();
}

TEST_F(PreviewWindowTest, ShowingPreparesWhereTheWindowSystemDoesNotActivate) {
    form.setCanvasPicture(preview::ChartPicture::fromSvg(test::plainPicture(500, 1000)));
    form.setExcelFile(workbook);
    form.show();
    EXPECT_FALSE(form.mFirstActivate);
    EXPECT_TRUE(form.VScroll1->isEnabled());
    EXPECT_EQ(form.mVStep, 10);
}

TEST_F(PreviewWindowTest, ZoomOutStopsAtAQuarterAndZoomInAtFour) {
    handOver(500, 1000);
    clicks(form.PushButton2, 4);
    EXPECT_EQ(form.mZoom, 0.25F);
    EXPECT_EQ(form.Picture1->outerWidth(), 125);
    clicks(form.PushButton2, 1);
    EXPECT_EQ(form.mZoom, 0.25F);
    EXPECT_EQ(form.Picture1->outerHeight(), 250);

    handOver(500, 1000);
    clicks(form.PushButton1, 12);
    EXPECT_EQ(form.mZoom, 4.0F);
    EXPECT_EQ(form.Picture1->size(), QSize(2000, 4000));
    clicks(form.PushButton1, 1);
    EXPECT_EQ(form.mZoom, 4.0F);
    EXPECT_EQ(form.Picture1->size(), QSize(2000, 4000));
    expectNoErrors();
}

TEST_F(PreviewWindowTest, ZoomLimitReturnsToFactorOne) {
    handOver(1000, 3000);
    clicks(form.PushButton1, 7);
    EXPECT_EQ(form.mZoom, 2.75F);
    EXPECT_EQ(form.Picture1->size(), QSize(2750, 8250));
    clicks(form.PushButton1, 1);  // 3.0 would be 9000 high
    EXPECT_EQ(form.mZoom, 1.0F);
    EXPECT_EQ(form.Picture1->size(), QSize(2750, 8250));
    EXPECT_EQ(form.mZoomHeight, 3000);
    clicks(form.PushButton1, 1);
    EXPECT_EQ(form.mZoom, 1.25F);
    EXPECT_EQ(form.Picture1->size(), QSize(1250, 3750));
}

TEST_F(PreviewWindowTest, PictureAtTheLimitIsNeverRedrawnAtFactorOne) {
    handOver(600, 9500);
    EXPECT_FALSE(form.Picture1->hasDrawing());
    EXPECT_EQ(form.Picture1->outerHeight(), 9502);  // the picture as handed over, with the border
    clicks(form.PushButton1, 1);
    EXPECT_EQ(form.mZoom, 1.0F);
    EXPECT_FALSE(form.Picture1->hasDrawing());
    clicks(form.PushButton2, 1);
    EXPECT_EQ(form.mZoom, 0.75F);
    EXPECT_TRUE(form.Picture1->hasDrawing());
    EXPECT_EQ(form.Picture1->outerHeight(), 7125);
}

TEST_F(PreviewWindowTest, ScrollStepsAndMaximaFollowTheOverhang) {
    handOverDifference(0, 0);
    EXPECT_FALSE(form.HScroll1->isEnabled());
    EXPECT_EQ(form.mHStep, 0);
    EXPECT_EQ(form.mVStep, 0);

    struct Case {
        int difference, step, maximum;
    };
    for (const Case c : {Case{100, 1, 100}, Case{101, 10, 10}, Case{105, 10, 10}, Case{115, 10, 12}}) {
        handOverDifference(c.difference, c.difference);
        EXPECT_TRUE(form.HScroll1->isEnabled());
        EXPECT_EQ(form.mHStep, c.step) << c.difference;
        EXPECT_EQ(form.HScroll1->maximum(), c.maximum) << c.difference;
        EXPECT_EQ(form.mVStep, c.step) << c.difference;
        EXPECT_EQ(form.VScroll1->maximum(), c.maximum) << c.difference;
    }
    form.HScroll1->setValue(7);
    EXPECT_EQ(form.Picture1->left(), -70);
    form.VScroll1->setValue(12);
    EXPECT_EQ(form.Picture1->top(), -120);
}

TEST_F(PreviewWindowTest, ScrollBarsFollowTheZoomedCanvas) {
    handOverDifference(50, 50);
    clicks(form.PushButton1, 1);  // about 25 % larger: the overhang grows past 100
    const int overhang = form.Picture1->outerWidth() - form.Picture2->outerWidth();
    EXPECT_EQ(form.mHStep, 10);
    EXPECT_EQ(form.HScroll1->maximum(), std::lround(overhang / 10.0));
    EXPECT_EQ(form.HScroll1->value(), 0);
    clicks(form.PushButton2, 2);
    EXPECT_EQ(form.mHStep, 0);
    EXPECT_FALSE(form.HScroll1->isEnabled());
}

TEST_F(PreviewWindowTest, PercentRoutines) {
    handOverDifference(180, 180);  // maximum 18 in both directions
    ASSERT_EQ(form.HScroll1->maximum(), 18);
    form.SetHScrollbarByPercent(form.HScroll1, 50);
    form.SetVScrollbarByPercent(form.VScroll1, 50);
    EXPECT_EQ(form.HScroll1->value(), 9);
    EXPECT_EQ(form.VScroll1->value(), 9);
    EXPECT_EQ(form.Picture1->pos(), QPoint(-90, -90));
    form.SetHScrollbarByPercent(form.HScroll1, -1);
    form.SetVScrollbarByPercent(form.VScroll1, -1);
    EXPECT_EQ(form.HScroll1->value(), 9);
    EXPECT_EQ(form.VScroll1->value(), 9);

    handOverDifference(500, 500);  // maximum 50
    form.SetHScrollbarByPercent(form.HScroll1, 20);
    form.SetHScrollbarByPercent(form.HScroll1, 101);
    form.SetVScrollbarByPercent(form.VScroll1, 101);
    EXPECT_EQ(form.HScroll1->value(), 10);
    EXPECT_EQ(form.VScroll1->value(), 0);
}

TEST_F(PreviewWindowTest, BottomOfAFifteenGenerationPictureIsReachable) {
    handOver(1500, 655'460);
    EXPECT_EQ(form.mZoom, 1.0F);
    const int overhang = form.Picture1->outerHeight() - form.Picture2->outerHeight();
    EXPECT_LE(form.VScroll1->maximum(), 32767);
    EXPECT_GT(form.mVStep, 10);
    form.VScroll1->setValue(form.VScroll1->maximum());
    EXPECT_LE(form.Picture1->top(), -overhang);
    EXPECT_GT(form.Picture1->top(), -overhang - form.mVStep);
    form.SetVScrollbarByPercent(form.VScroll1, 100);
    form.Picture1_MouseUp(Qt::LeftButton, 0, 0);
    expectNoErrors();
}

TEST_F(PreviewWindowTest, SecondHandOverStartsAfresh) {
    handOver(500, 1000);
    clicks(form.PushButton1, 2);
    form.VScroll1->setValue(form.VScroll1->maximum());
    form.PushButton8->click();
    handOver(300, 600);
    EXPECT_EQ(form.mZoom, 1.0F);
    EXPECT_EQ(form.Picture1->pos(), QPoint(0, 0));
    EXPECT_EQ(form.VScroll1->value(), 0);
    clicks(form.PushButton1, 1);
    EXPECT_EQ(form.Picture1->size(), QSize(375, 750));
}

TEST_F(PreviewWindowTest, ActivationWithoutAHandOverChangesNothing) {
    handOver(1000, 3000);
    clicks(form.PushButton1, 1);
    form.VScroll1->setValue(5);
    const QPoint at = form.Picture1->pos();
    form.Form_Activate();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_EQ(form.mZoom, 1.25F);
    EXPECT_EQ(form.Picture1->pos(), at);
    EXPECT_EQ(form.VScroll1->value(), 5);
}

TEST_F(PreviewWindowTest, UnreadablePictureLeavesAnEmptyCanvasThatStillWorks) {
    EXPECT_THROW(form.loadCanvasPicture(dir.filePath(QStringLiteral("missing.svg"))), Failure);
    form.setExcelFile(workbook);
    form.Form_Activate();
    clicks(form.PushButton1, 2);
    clicks(form.PushButton2, 4);
    form.Picture1_MouseDown(Qt::LeftButton, 0, 0);
    form.Picture1_MouseUp(Qt::LeftButton, 0, 0);
    EXPECT_FALSE(form.HScroll1->isEnabled());
    expectNoErrors();
}

TEST_F(PreviewWindowTest, BackDeletesTheWorkbookAndShowsTheMainWindow) {
    writeWorkbook();
    handOver(100, 100);
    form.show();
    form.PushButton8->click();
    EXPECT_FALSE(QFile::exists(workbook));
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(form.isVisible());
    expectNoErrors();
}

TEST_F(PreviewWindowTest, BackReportsAFailedDeleteAndStillReturns) {
    handOver(100, 100);
    form.setExcelFile(QStringLiteral("/proc/version"));  // a file no one may delete
    form.show();
    form.PushButton8->click();
    ASSERT_EQ(seams.messages.shown.size(), 1U);
    EXPECT_TRUE(seams.messages.shown[0].text.contains(
        QStringLiteral("in Rootweave7/29/2014.Form2.PushButton8_Click at line 102")));
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(PreviewWindowTest, ClosingDeletesTheWorkbookAndEndsTheProgram) {
    writeWorkbook();
    handOver(100, 100);
    form.show();
    form.close();
    EXPECT_FALSE(QFile::exists(workbook));
    EXPECT_EQ(seams.programEnd.quits, std::vector<int>{0});

    form.show();  // already gone: still no error
    form.close();
    EXPECT_EQ(seams.programEnd.quits, (std::vector<int>{0, 0}));
    EXPECT_TRUE(seams.programEnd.statuses.empty());
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(PreviewWindowTest, ClosingEndsTheProgramThroughItsEventLoop) {
    // With the real end of the program: the event loop returns (and the program would go on to end as
    // usual, handing the clipboard over) instead of the process ending inside the close.
    QtProgramEnd end;
    const Platform scripted = seams.platform();
    const Platform platform{scripted.messages,    scripted.browser,    scripted.clock,
                            scripted.random,      scripted.settings,   scripted.clipboard,
                            scripted.processes,   scripted.saveDialog, end,
                            scripted.printDialog, scripted.openDialog, scripted.programFolder};
    writeWorkbook();
    Form2 f(platform, &mainWindow);
    f.setAttribute(Qt::WA_DontShowOnScreen);
    f.setExcelFile(workbook);
    f.show();
    QTimer::singleShot(0, &f, [&] { f.close(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(QFile::exists(workbook));
}

TEST_F(PreviewWindowTest, HoverPointerAndDefaultAfterARedraw) {
    handOver(500, 1000);
    emit form.PushButton1->mouseMoved();
    EXPECT_EQ(form.mousePointer().get(), kPointerCustom);
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&form, &move);
    EXPECT_EQ(form.mousePointer().get(), kPointerDefault);
    emit form.PushButton1->mouseMoved();
    form.PushButton1->click();
    EXPECT_EQ(form.mousePointer().get(), kPointerDefault);
    form.mousePointer().set(kPointerHourglass);
    emit form.PushButton6->mouseMoved();
    EXPECT_EQ(form.mousePointer().get(), kPointerHourglass);
}

TEST_F(PreviewWindowTest, HandOverTheButtonsAndTheArrowElsewhereThroughRealMouseMoves) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(ROOTWEAVE_SOURCE_DIR "/resources/HAND-M.CUR"),
                            dir.filePath(QStringLiteral("HAND-M.CUR"))));
    seams.programFolder = dir.path();
    Form2 f(seams.platform(), &mainWindow);
    f.setCanvasPicture(preview::ChartPicture::fromSvg(test::plainPicture(2000, 2000)));
    f.setExcelFile(workbook);
    f.show();  // the pointer moves over the window as the platform reports them
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const QPoint betweenZoomButtons(
        (f.PushButton1->geometry().right() + f.PushButton2->geometry().left()) / 2,
        f.PushButton1->geometry().center().y());
    struct Step {
        QWidget* over;
        QPoint at;
        int pointer;
        Qt::CursorShape shape;
    };
    const Step steps[] = {
        {f.PushButton1, {5, 5}, kPointerCustom, Qt::BitmapCursor},
        {f.Frame1, betweenZoomButtons, kPointerDefault, Qt::ArrowCursor},
        {f.PushButton2, {5, 5}, kPointerCustom, Qt::BitmapCursor},
        {&f, {2, 2}, kPointerDefault, Qt::ArrowCursor},
        {f.PushButton6, {5, 5}, kPointerCustom, Qt::BitmapCursor},
        {f.Picture1, {50, 50}, kPointerCustom, Qt::ArrowCursor},  // the chart keeps its own arrow
        {f.PushButton8, {5, 5}, kPointerCustom, Qt::BitmapCursor},
    };
    for (const Step& step : steps) {
        QTest::mouseMove(step.over, step.at);
        EXPECT_EQ(f.mousePointer().get(), step.pointer) << step.over->metaObject()->className();
        EXPECT_EQ(step.over->cursor().shape(), step.shape) << step.over->metaObject()->className();
    }
    f.mousePointer().set(kPointerHourglass);
    QTest::mouseMove(f.PushButton1, {5, 5});
    EXPECT_EQ(f.PushButton1->cursor().shape(), Qt::WaitCursor);
}

TEST_F(PreviewWindowTest, EveryTabStopOfTheChartShowsItHasTheFocus) {
    Form2 f(seams.platform(), &mainWindow);
    f.setCanvasPicture(preview::ChartPicture::fromSvg(test::plainPicture(2000, 2000)));
    f.setExcelFile(workbook);
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    const QColor mark = f.Picture2->palette().color(QPalette::Highlight);
    // The frame as drawn on screen: both pixels across each edge, at its middle, in the focus colour.
    auto framed = [&](QWidget* w) {
        const QImage image = w->grab().toImage();
        const int cx = image.width() / 2;
        const int cy = image.height() / 2;
        const int r = image.width() - 1;
        const int b = image.height() - 1;
        for (const QPoint at : {QPoint(cx, 0), QPoint(cx, 1), QPoint(cx, b), QPoint(cx, b - 1), QPoint(0, cy),
                                QPoint(1, cy), QPoint(r, cy), QPoint(r - 1, cy)}) {
            if (image.pixelColor(at) != mark) {
                return false;
            }
        }
        return true;
    };
    struct Stop {
        QWidget* focus;
        QWidget* shows;
    };
    const Stop stops[] = {{f.HScroll1, f.HScroll1},
                          {f.VScroll1, f.VScroll1},
                          {f.Picture2, f.Picture2},
                          {f.Picture1, f.Picture2}};
    f.PushButton8->setFocus(Qt::OtherFocusReason);
    for (const Stop& stop : stops) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), stop.focus);
        for (QWidget* w : {static_cast<QWidget*>(f.HScroll1), static_cast<QWidget*>(f.VScroll1),
                           static_cast<QWidget*>(f.Picture2)}) {
            EXPECT_EQ(framed(w), w == stop.shows)
                << "focus on " << stop.focus->metaObject()->className() << ", looking at "
                << w->metaObject()->className() << " " << w->accessibleName().toStdString();
        }
    }
}

TEST_F(PreviewWindowTest, CursorFileThatIsNoCursorEndsTheProgram) {
    QFile bad(dir.filePath(QStringLiteral("HAND-M.CUR")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a cursor");
    bad.close();
    seams.programFolder = dir.path();
    Form2 other(seams.platform(), &mainWindow);
    ASSERT_EQ(seams.messages.shown.size(), 1U);
    EXPECT_EQ(seams.programEnd.statuses, std::vector<int>{1});
}

}  // namespace
}  // namespace rw
