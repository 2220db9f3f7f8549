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
    // Both scroll bars with 10 pixels a position and a maximum of 200.
    void handOverLarge() {
        handOver(form.Picture2->outerWidth() + 2000, form.Picture2->outerHeight() + 2000);
    }

    // A wheel event as the platform delivers it over the canvas.
    void wheel(QPoint angle, QPoint pixels = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF at(40, 40);
        QWheelEvent event(at, form.Picture1->mapToGlobal(at), pixels, angle, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(form.Picture1, &event);
    }
    // Scroll positions, checked against what the viewport shows.
    QPoint positions() {
        EXPECT_EQ(form.Picture1->pos(),
                  QPoint(-form.mHStep * form.HScroll1->value(), -form.mVStep * form.VScroll1->value()));
        return {form.HScroll1->value(), form.VScroll1->value()};
    }
    void expectNoErrors() {
        EXPECT_TRUE(seams.messages.shown.empty());
        EXPECT_TRUE(seams.programEnd.statuses.empty());
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
        {"one notch down: 51 pixels", {0, -120}, {}, Qt::NoModifier, 1, {0, 5}},
        {"two notches carry the rest", {0, -120}, {}, Qt::NoModifier, 2, {0, 10}},
        {"eight high-resolution eighths", {0, -15}, {}, Qt::NoModifier, 8, {0, 5}},
        {"touchpad pixels add up", {0, -15}, {0, -4}, Qt::NoModifier, 3, {0, 1}},
        {"up at the top stays", {0, 120}, {}, Qt::NoModifier, 1, {0, 0}},
        {"shift turns it sideways", {0, -120}, {}, Qt::ShiftModifier, 1, {5, 0}},
        {"a sideways wheel", {-120, 0}, {}, Qt::NoModifier, 1, {5, 0}},
        {"far past the end stops there", {0, -120 * 100}, {}, Qt::NoModifier, 1, {0, 200}},
    };
    for (const Case& c : cases) {
        handOverLarge();
        for (int i = 0; i < c.events; ++i) {
            wheel(c.angle, c.pixels, c.modifiers);
        }
        EXPECT_EQ(positions(), c.expected) << c.what;
        EXPECT_EQ(form.mZoom, 1.0F) << c.what;
    }
    wheel({0, 120});  // and back up from the bottom
    EXPECT_EQ(positions(), QPoint(0, 195));
    expectNoErrors();
}

TEST_F(NavigationTest, CtrlWheelZoomsByTheButtonsRules) {
    handOver(1000, 3000);
    for (int i = 0; i < 7; ++i) {
        wheel({0, 120}, {}, Qt::ControlModifier);
    }
    EXPECT_EQ(form.mZoom, 2.75F);
    EXPECT_EQ(form.Picture1->size(), QSize(2750, 8250));
    wheel({0, 120}, {}, Qt::ControlModifier);  // 3.0 would be 9000 high: back to 1.0, canvas kept
    EXPECT_EQ(form.mZoom, 1.0F);
    EXPECT_EQ(form.Picture1->size(), QSize(2750, 8250));

    handOver(1000, 3000);
    wheel({0, 60}, {}, Qt::ControlModifier);
    EXPECT_EQ(form.mZoom, 1.0F);  // half a notch
    wheel({0, 60}, {}, Qt::ControlModifier);
    EXPECT_EQ(form.mZoom, 1.25F);
    form.VScroll1->setValue(50);
    wheel({0, -120 * 6}, {}, Qt::ControlModifier);  // six notches out: four steps reach 0.25, then no more
    EXPECT_EQ(form.mZoom, 0.25F);
    EXPECT_EQ(form.Picture1->size(), QSize(250, 750));
    EXPECT_EQ(positions(), QPoint(0, 0));  // a redraw puts the picture back at its corner
    expectNoErrors();
}

TEST_F(NavigationTest, KeysOnThePicture) {
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QPoint expected;
        float zoom;
    };
    // Starting from the middle (100, 100); a row is 17 pixels, 2 positions; the viewport 476 pixels.
    const Case cases[] = {
        {"down", Qt::Key_Down, Qt::NoModifier, {100, 102}, 1.0F},
        {"up", Qt::Key_Up, Qt::NoModifier, {100, 98}, 1.0F},
        {"right", Qt::Key_Right, Qt::NoModifier, {102, 100}, 1.0F},
        {"left", Qt::Key_Left, Qt::NoModifier, {98, 100}, 1.0F},
        {"page down", Qt::Key_PageDown, Qt::NoModifier, {100, 148}, 1.0F},
        {"page up", Qt::Key_PageUp, Qt::NoModifier, {100, 52}, 1.0F},
        {"home", Qt::Key_Home, Qt::NoModifier, {100, 0}, 1.0F},
        {"end", Qt::Key_End, Qt::NoModifier, {100, 200}, 1.0F},
        {"ctrl home", Qt::Key_Home, Qt::ControlModifier, {0, 0}, 1.0F},
        {"ctrl end", Qt::Key_End, Qt::ControlModifier, {200, 200}, 1.0F},
        {"plus", Qt::Key_Plus, Qt::NoModifier, {0, 0}, 1.25F},
        {"keypad plus", Qt::Key_Plus, Qt::KeypadModifier, {0, 0}, 1.25F},
        {"ctrl equals", Qt::Key_Equal, Qt::ControlModifier, {0, 0}, 1.25F},
        {"minus", Qt::Key_Minus, Qt::NoModifier, {0, 0}, 0.75F},
        {"ctrl minus", Qt::Key_Minus, Qt::ControlModifier, {0, 0}, 0.75F},
        {"equals alone does nothing", Qt::Key_Equal, Qt::NoModifier, {100, 100}, 1.0F},
    };
    for (const Case& c : cases) {
        handOverLarge();
        ASSERT_EQ(form.Picture2->innerHeight(), 476);
        form.HScroll1->setValue(100);
        form.VScroll1->setValue(100);
        QTest::keyClick(form.Picture2, c.key, c.modifiers);
        EXPECT_EQ(positions(), c.expected) << c.what;
        EXPECT_EQ(form.mZoom, c.zoom) << c.what;
    }
    expectNoErrors();
}

TEST_F(NavigationTest, EndShowsTheBottomOfAFifteenGenerationChart) {
    handOver(1500, 655'460);
    QTest::keyClick(form.Picture2, Qt::Key_End, Qt::ControlModifier);
    const int overhangY = form.Picture1->outerHeight() - form.Picture2->outerHeight();
    EXPECT_LE(form.Picture1->top(), -overhangY);
    EXPECT_GT(form.Picture1->top(), -overhangY - form.mVStep);
    EXPECT_EQ(form.HScroll1->value(), form.HScroll1->maximum());
    QTest::keyClick(form.Picture2, Qt::Key_PageUp);
    EXPECT_GT(form.Picture1->top(), -overhangY + 400);  // a viewport, not 17 pixels
    expectNoErrors();
}

TEST_F(NavigationTest, ThePictureTakesTheFocusAndShowsIt) {
    handOverLarge();
    const auto corner = [&] {
        QImage image(form.Picture2->size(), QImage::Format_RGB32);
        form.Picture2->render(&image);
        return image.pixelColor(0, form.Picture2->height() / 2);
    };
    const QColor unfocused = corner();
    form.setAttribute(Qt::WA_DontShowOnScreen, false);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.PushButton6->setFocus();
    QTest::mouseClick(form.Picture1, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(QApplication::focusWidget(), form.Picture2);
    EXPECT_EQ(corner(), form.Picture2->palette().color(QPalette::Highlight));
    EXPECT_NE(corner(), unfocused);

    // A new chart opens with the picture focused, wherever the focus was left.
    form.PushButton8->setFocus();
    form.PushButton8->click();
    handOver(500, 1000);
    form.show();
    EXPECT_EQ(form.focusWidget(), form.Picture2);
    QTest::keyClick(form.Picture2, Qt::Key_End);
    EXPECT_EQ(form.VScroll1->value(), form.VScroll1->maximum());
}

TEST_F(NavigationTest, ScreenReadersHaveANameForEveryControl) {
    const std::pair<QWidget*, const char*> names[] = {
        {form.Picture2, "Chart"},
        {form.HScroll1, "Scroll across"},
        {form.VScroll1, "Scroll up and down"},
        {form.PushButton1, "Zoom In"},
        {form.PushButton2, "Zoom Out"},
        {form.PushButton6, "Save Results To Excel File"},
        {form.PushButton8, "< Back"},
    };
    for (const auto& [widget, name] : names) {
        EXPECT_EQ(widget->accessibleName(), QString::fromLatin1(name));
    }
}

}  // namespace
}  // namespace rw
