#pragma once

#include <QPushButton>
#include <QString>

namespace rw {

// The push button both windows use: a click, and a notification whenever the mouse moves over it (with or
// without a button held); the move ends there and never reaches the frame or window beneath. Captions and
// the Arial 11.25 pt bold font are fixed at construction; the caption is also the accessible name.
class PushButton : public QPushButton {
    Q_OBJECT
  public:
    PushButton(const QString& caption, QWidget* parent);

  signals:
    void mouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

}  // namespace rw
