#pragma once

#include <QObject>
#include <cstdint>

class QKeyEvent;
class QScrollBar;
class QWheelEvent;
class QWidget;

namespace rw {
class Form2;
}

namespace rw::preview {

// The wheel and the keyboard on the preview's picture, as in any viewer:
// - wheel: up and down by the desktop's number of lines per notch, a line being one row of the picture;
//   Shift + wheel (or a sideways wheel) left and right; a touchpad's pixel deltas move by exactly those
//   pixels; Ctrl + wheel is "Zoom In" (away from the user) or "Zoom Out" (towards), one click per notch;
// - keys, while the picture has the focus: the arrows one row, Page Up / Page Down one viewport, Home / End
//   the top / bottom, Ctrl + Home / Ctrl + End the top-left / bottom-right corner, + and Ctrl + = zoom in,
//   - and Ctrl + - zoom out.
// Everything moves the scroll bars, whose change handling moves the canvas, so bars and picture stay in
// step; zooming is a click of the window's own zoom buttons, with their rules, limits and error report.
class PreviewNavigation : public QObject {
    Q_OBJECT
  public:
    // Pixels of one row of the unscaled picture: a sheet row at its standard height (12.75 pt).
    static constexpr int kRowPixels = 17;
    // Angle of one wheel notch, in eighths of a degree.
    static constexpr int kNotch = 120;

    explicit PreviewNavigation(Form2& form);

    // Takes the wheel over `area` (the viewport, its inside and the canvas) and the keys sent to it.
    void watch(QWidget* area);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool wheel(const QWheelEvent& event);
    bool key(const QKeyEvent& event);
    double rowPixels() const;
    // Moves a bar by `pixels` of the shown picture (positive: right or down). What is less than one scroll
    // position is carried to the next call, so slow touchpad strokes add up.
    void scrollPixels(QScrollBar* bar, std::int32_t step, double pixels, double& carry);
    // Moves a bar by at least one position towards `pixels` (a key press always moves).
    void stepPixels(QScrollBar* bar, std::int32_t step, double pixels);
    static void scrollTo(QScrollBar* bar, int position);
    void zoom(bool in);

    Form2& form_;
    double carryX_ = 0.0;
    double carryY_ = 0.0;
    int zoomAngle_ = 0;
};

}  // namespace rw::preview
