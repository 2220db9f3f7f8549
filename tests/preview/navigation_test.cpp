// The wheel, the keys and the focus on the preview's picture, driven through real events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWheelEvent>

#include "preview/preview_window.h"
#include "preview/test_pictures.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

class NavigationTest : public ::testing::Test {
  protected:
    NavigationTest() {
        form.setAttribute(Qt::WA_DontShowOnScreen);
        QApplication::setWheelScrollLines(3);  // a notch: 3 rows of 17 pixels
    }
    void handOver(int width, int height) {
        form.setCanvasPicture(preview::ChartPicture::fromSvg(test::plainPicture(width, height)));
        form.setExcelFile(QStringLiteral("/nonexistent/qarlow22222222.xls"));
        form.Form_Activate();
    }
    // Both scroll bars at 10 pixels a position, maximum 200, set to `at`.
    void handOverLarge(QPoint at = {}) {
        handOver(form.Picture2->outerWidth() + 2000, form.Picture2->outerHeight() + 2000);
        form.HScroll1->setValue(at.x());
        form.VScroll1->setValue(at.y());
    }
    void wheel(QPoint angle, QPoint pixels = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF at(40, 40);
        QWheelEvent event(at, form.Picture1->mapToGlobal(at), pixels, angle, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(form.Picture1, &event);
    }
    // The scroll positions, checked against the part of the picture the viewport shows.
    QPoint positions() {
        EXPECT_EQ(form.Picture1->pos(),
                  QPoint(-form.mHStep * form.HScroll1->value(), -form.mVStep * form.VScroll1->value()));
        return {form.HScroll1->value(), form.VScroll1->value()};
    }

    test::ScriptedPlatform seams;
    QWidget mainWindow;
    Form2 form{seams.platform(), &mainWindow};
};

TEST_F(NavigationTest, WheelScrollsByRowsOfThePictureAndTouchpadsByPixels) {
    struct Case {
        const char* what;
        QPoint angle, pixels;
        Qt::KeyboardModifiers modifiers;
        int events;
        QPoint expected;
    };
    const Case cases[] = {
        {"a notch down, 51 pixels", {0, -120}, {}, Qt::NoModifier, 1, {0, 5}},
        {"the rest carries on", {0, -120}, {}, Qt::NoModifier, 2, {0, 10}},
        {"eight high-resolution eighths", {0, -15}, {}, Qt::NoModifier, 8, {0, 5}},
        {"touchpad pixels add up", {0, -15}, {0, -4}, Qt::NoModifier, 3, {0, 1}},
        {"up at the top", {0, 120}, {}, Qt::NoModifier, 1, {0, 0}},
        {"shift turns it sideways", {0, -120}, {}, Qt::ShiftModifier, 1, {5, 0}},
        {"a sideways wheel", {-120, 0}, {}, Qt::NoModifier, 1, {5, 0}},
        {"far past the end", {0, -120 * 100}, {}, Qt::NoModifier, 1, {0, 200}},
    };
    for (const Case& c : cases) {
        handOverLarge();
        for (int i = 0; i < c.events; ++i) {
            wheel(c.angle, c.pixels, c.modifiers);
        }
        EXPECT_EQ(positions(), c.expected) << c.what;
    }
    wheel({0, 120});  // and back up from the bottom
    EXPECT_EQ(positions(), QPoint(0, 195));
    EXPECT_EQ(form.mZoom, 1.0F);
}

TEST_F(NavigationTest, CtrlWheelZoomsByTheButtonsRules) {
    handOver(1000, 3000);
    wheel({0, 60}, {}, Qt::ControlModifier);
    EXPECT_EQ(form.mZoom, 1.0F);  // half a notch
    wheel({0, 60 + 120 * 6}, {}, Qt::ControlModifier);
    EXPECT_EQ(form.mZoom, 2.75F);
    wheel({0, 120}, {}, Qt::ControlModifier);  // 3.0 would be 9000 high: back to 1.0, canvas kept
    EXPECT_EQ(form.mZoom, 1.0F);
    EXPECT_EQ(form.Picture1->size(), QSize(2750, 8250));
    form.VScroll1->setValue(50);
    wheel({0, -120 * 4}, {}, Qt::ControlModifier);  // four notches out: three steps reach 0.25
    EXPECT_EQ(form.mZoom, 0.25F);
    EXPECT_EQ(form.Picture1->size(), QSize(250, 750));
    EXPECT_EQ(positions(), QPoint(0, 0));
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(NavigationTest, KeysOnThePicture) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QPoint expected;
        float zoom;
    };
    // From (100, 100): a row is 17 pixels, 2 positions; the viewport 476 pixels, 48.
    const Case cases[] = {
        {Qt::Key_Down, Qt::NoModifier, {100, 102}, 1.0F},
        {Qt::Key_Left, Qt::NoModifier, {98, 100}, 1.0F},
        {Qt::Key_PageDown, Qt::NoModifier, {100, 148}, 1.0F},
        {Qt::Key_PageUp, Qt::NoModifier, {100, 52}, 1.0F},
        {Qt::Key_End, Qt::NoModifier, {100, 200}, 1.0F},
        {Qt::Key_Home, Qt::ControlModifier, {0, 0}, 1.0F},
        {Qt::Key_End, Qt::ControlModifier, {200, 200}, 1.0F},
        {Qt::Key_Plus, Qt::KeypadModifier, {0, 0}, 1.25F},
        {Qt::Key_Equal, Qt::ControlModifier, {0, 0}, 1.25F},
        {Qt::Key_Minus, Qt::NoModifier, {0, 0}, 0.75F},
        {Qt::Key_Equal, Qt::NoModifier, {100, 100}, 1.0F},
    };
    for (const Case& c : cases) {
        handOverLarge({100, 100});
        QTest::keyClick(form.Picture2, c.key, c.modifiers);
        EXPECT_EQ(positions(), c.expected) << c.key;
        EXPECT_EQ(form.mZoom, c.zoom) << c.key;
    }

    handOver(1500, 655'460);  // 15 generations: more than 10 pixels a position
    QTest::keyClick(form.Picture2, Qt::Key_End);
    const int overhang = form.Picture1->outerHeight() - form.Picture2->outerHeight();
    EXPECT_LE(form.Picture1->top(), -overhang);
    EXPECT_GT(form.Picture1->top(), -overhang - form.mVStep);
}

TEST_F(NavigationTest, ThePictureTakesTheFocusAndShowsIt) {
    handOverLarge();
    const auto leftEdge = [&] {
        QImage image(form.Picture2->size(), QImage::Format_RGB32);
        form.Picture2->render(&image);
        return image.pixelColor(0, form.Picture2->height() / 2);
    };
    EXPECT_NE(leftEdge(), form.Picture2->palette().color(QPalette::Highlight));
    form.setAttribute(Qt::WA_DontShowOnScreen, false);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.PushButton6->setFocus();
    QTest::mouseClick(form.Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(QApplication::focusWidget(), form.Picture2);
    EXPECT_EQ(leftEdge(), form.Picture2->palette().color(QPalette::Highlight));

    // The next chart opens with the picture focused, wherever the focus was left.
    form.PushButton8->setFocus();
    form.PushButton8->click();
    handOver(500, 1000);
    form.show();
    EXPECT_EQ(form.focusWidget(), form.Picture2);
}

}  // namespace
}  // namespace rw
