#include "widgets/push_button.h"

#include <QFont>
#include <QMouseEvent>

namespace rw {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    setFont(font);
    setAccessibleName(caption);
    setMouseTracking(true);  // report moves without a button held
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
    // The move was over this button. Left unaccepted (as QPushButton leaves it when no mouse button is
    // held), it would travel on to the frame or window beneath, whose own rule puts the arrow back at once.
    event->accept();
}

}  // namespace rw
