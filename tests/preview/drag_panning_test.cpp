#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <tuple>

#include "preview/preview_window.h"
#include "preview/test_pictures.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

class DragPanningTest : public ::testing::Test {
  protected:
    DragPanningTest() { form.setAttribute(Qt::WA_DontShowOnScreen); }

    // A picture whose canvas, once prepared, is dw x dh larger than the viewport (outer sizes).
    void handOverDifference(int dw, int dh) {
        form.setCanvasPicture(preview::ChartPicture::fromSvg(
            test::plainPicture(form.Picture2->outerWidth() + dw, form.Picture2->outerHeight() + dh)));
        form.setExcelFile(QStringLiteral("/nonexistent/qarlow11111111.xls"));
        form.Form_Activate();
    }

    // Mouse reports as the platform delivers them to the canvas, in the canvas's widget coordinates.
    void send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, form.Picture1->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(form.Picture1, &event);
    }
    // Presses at `from`, moves by `by` (in one report), releases.
    void drag(QPointF from, QPointF by, Qt::MouseButton button = Qt::LeftButton) {
        send(QEvent::MouseButtonPress, from, button, button);
        send(QEvent::MouseMove, from + by, Qt::NoButton, button);
        // The canvas moved under the pointer: the release comes where the grab point now is.
        send(QEvent::MouseButtonRelease, from, button, Qt::NoButton);
    }
    void expectNoErrors() {
        EXPECT_TRUE(seams.messages.shown.empty());
        EXPECT_TRUE(seams.programEnd.statuses.empty());
    }

    test::ScriptedPlatform seams;
    QWidget mainWindow;
    Form2 form{seams.platform(), &mainWindow};
};

TEST_F(DragPanningTest, GrabPointIsTheCanvasPointUnderTheMouse) {
    handOverDifference(300, 300);
    send(QEvent::MouseButtonPress, QPointF(51, 41), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(form.mDragX, 50.0F);  // measured from the inner corner, inside the 1-pixel border
    EXPECT_EQ(form.mDragY, 40.0F);
    send(QEvent::MouseMove, QPointF(21, 31), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.Picture1->pos(), QPoint(-30, -10));
    send(QEvent::MouseMove, QPointF(200, 200), Qt::NoButton, Qt::NoButton);  // no button held: nothing
    EXPECT_EQ(form.Picture1->pos(), QPoint(-30, -10));
}

TEST_F(DragPanningTest, DraggingStopsAtTheEdges) {
    handOverDifference(300, 200);
    const int minLeft = form.Picture2->innerWidth() - form.Picture1->outerWidth();
    const int minTop = form.Picture2->innerHeight() - form.Picture1->outerHeight();
    drag(QPointF(100, 100), QPointF(-5000, -5000));
    EXPECT_EQ(form.Picture1->pos(), QPoint(minLeft, minTop));
    drag(QPointF(100, 100), QPointF(5000, 5000));
    EXPECT_EQ(form.Picture1->pos(), QPoint(0, 0));
    expectNoErrors();
}

TEST_F(DragPanningTest, RightButtonDragsToo) {
    handOverDifference(300, 300);
    send(QEvent::MouseButtonPress, QPointF(100, 100), Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, QPointF(60, 80), Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(form.Picture1->pos(), QPoint(-40, -20));
}

TEST_F(DragPanningTest, NarrowCanvasGoesToTheLeftEdgeOrAgainstTheRightOne) {
    handOverDifference(-300, 200);
    form.HScroll1->setValue(0);
    drag(QPointF(10, 10), QPointF(50, 0));
    EXPECT_EQ(form.Picture1->left(), 0);
    drag(QPointF(10, 10), QPointF(-5, 0));
    const int limit = form.Picture2->innerWidth() - form.Picture1->outerWidth();
    ASSERT_GT(limit, 0);
    EXPECT_EQ(form.Picture1->left(), limit);  // the release's negative share left the scroll bar alone
    EXPECT_EQ(form.HScroll1->value(), 0);
    expectNoErrors();
}

TEST_F(DragPanningTest, ReleaseAtTheFarEdgeLeavesTheCanvasThere) {
    handOverDifference(100, 0);  // step 1, maximum 100; the drag limit reaches 104
    drag(QPointF(400, 100), QPointF(-1000, 0));
    EXPECT_EQ(form.Picture1->left(), -104);
    EXPECT_EQ(form.HScroll1->value(), 100);

    handOverDifference(1000, 0);  // step 10, maximum 100
    drag(QPointF(400, 100), QPointF(-5000, 0));
    EXPECT_EQ(form.HScroll1->value(), 100);
    EXPECT_EQ(form.Picture1->left(), -1004);
}

TEST_F(DragPanningTest, ClickWithoutMovementSetsBothBarsToTheCanvasShare) {
    handOverDifference(300, 300);
    send(QEvent::MouseButtonPress, QPointF(100, 100), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, QPointF(100, 100), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(form.HScroll1->value(), 0);
    EXPECT_EQ(form.VScroll1->value(), 0);
    EXPECT_EQ(form.Picture1->pos(), QPoint(0, 0));

    drag(QPointF(100, 100), QPointF(-150, -300));  // half way across, the whole way down
    EXPECT_EQ(form.HScroll1->value(), 15);
    EXPECT_EQ(form.VScroll1->value(), 30);
    EXPECT_EQ(form.Picture1->pos(), QPoint(-150, -300));
}

TEST_F(DragPanningTest, EqualSizesLeaveTheScrollBarsAlone) {
    handOverDifference(0, 0);
    drag(QPointF(10, 10), QPointF(-3, -3));
    drag(QPointF(10, 10), QPointF(0, 0));
    EXPECT_EQ(form.HScroll1->value(), 0);
    EXPECT_EQ(form.VScroll1->value(), 0);
    expectNoErrors();
}

TEST_F(DragPanningTest, ReleaseNeverMovesTheChartAndTheBarsGoOnFromTheView) {
    // Charts as the renderer draws them, at several zooms (a chart too tall to zoom stays at 1.0); each
    // drag is followed by the release, then by one scroll bar step each way.
    struct Case {
        int generations;
        int zoomInClicks;  // negative: "Zoom Out" clicks
    };
    const Case cases[] = {{5, -3}, {5, 0}, {5, 4}, {10, -2}, {10, 0}, {15, 0}};
    const QPointF drags[] = {{-200, -200}, {-37, -1234}, {150, 999}, {-613, -20000}, {-3, -7}};
    for (const Case& c : cases) {
        form.setCanvasPicture(preview::ChartPicture::fromSvg(test::ancestorChartPicture(c.generations)));
        form.setExcelFile(QStringLiteral("/nonexistent/qarlow11111111.xls"));
        form.Form_Activate();
        for (int i = 0; i < std::abs(c.zoomInClicks); ++i) {
            (c.zoomInClicks > 0 ? form.PushButton1 : form.PushButton2)->click();
        }
        for (const QPointF by : drags) {
            SCOPED_TRACE(testing::Message() << c.generations << " generations, zoom " << form.mZoom
                                            << ", drag " << by.x() << ", " << by.y());
            const QPointF from(300, 300);
            send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
            send(QEvent::MouseMove, from + by, Qt::NoButton, Qt::LeftButton);
            const QPoint dragged = form.Picture1->pos();
            send(QEvent::MouseButtonRelease, from, Qt::LeftButton, Qt::NoButton);
            EXPECT_EQ(form.Picture1->pos(), dragged);
            for (auto [bar, step, offset] : {std::tuple{form.HScroll1, form.mHStep, -dragged.x()},
                                             std::tuple{form.VScroll1, form.mVStep, -dragged.y()}}) {
                if (step == 0) {
                    continue;
                }
                // The bar shows the position nearest the view ...
                const double apart = offset - static_cast<double>(step) * bar->value();
                EXPECT_TRUE(std::abs(apart) <= step / 2.0 || (apart > 0 && bar->value() == bar->maximum()) ||
                            (apart < 0 && bar->value() == bar->minimum()))
                    << bar->value() << " x " << step << " for " << offset;
                // ... and one step from there moves the view by one step from where it is.
                const bool horizontal = bar == form.HScroll1;
                auto at = [&] { return horizontal ? -form.Picture1->left() : -form.Picture1->top(); };
                if (bar->value() > bar->minimum() + 1 && bar->value() < bar->maximum()) {
                    bar->setValue(bar->value() - 1);
                    EXPECT_EQ(at(), offset - step);
                    bar->setValue(bar->value() + 1);
                    EXPECT_EQ(at(), offset);
                }
            }
            expectNoErrors();
        }
    }
}

}  // namespace
}  // namespace rw
