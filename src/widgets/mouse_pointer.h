#pragma once

#include <QCursor>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

namespace rw {

// A window's mouse pointer: default (0), hourglass (11) or custom (99), the custom one showing the hover
// cursor when one was loaded and the default arrow otherwise.
enum MousePointer : int { kPointerDefault = 0, kPointerHourglass = 11, kPointerCustom = 99 };

// Loads a Windows cursor (.cur) or icon (.ico) file as a cursor, with the hot spot the file gives (an icon's
// is its centre). An unreadable file fails with "Path/File access error", anything but such a picture with
// "Invalid picture".
QCursor loadCursorFile(const QString& path);

class MousePointerControl {
  public:
    explicit MousePointerControl(QWidget& window) : window_(window) {}

    int get() const { return pointer_; }
    void set(int pointer);
    void setHoverCursor(const QCursor& cursor);
    // The hover cursor both windows use: HAND-M.CUR in the program's folder, when that file exists. A file
    // that is there but is no cursor fails as loadCursorFile does.
    void loadHoverCursor(const QString& programFolder);
    bool hasHoverCursor() const { return hover_.has_value(); }
    // An area of the window (a frame) that shows the arrow while the window shows the hover cursor, and the
    // hourglass with the window: the hand belongs to the buttons alone.
    void keepArrowOver(QWidget* area);

    // The hover rule of both windows: over a button the hand, over the background the arrow, and the
    // hourglass is never replaced.
    void onButtonHover() {
        if (pointer_ != kPointerHourglass) {
            set(kPointerCustom);
        }
    }
    void onBackgroundHover() {
        if (pointer_ != kPointerHourglass) {
            set(kPointerDefault);
        }
    }

  private:
    QWidget& window_;
    int pointer_ = kPointerDefault;
    std::optional<QCursor> hover_;
    std::vector<QPointer<QWidget>> arrowAreas_;
};

}  // namespace rw
