#include "app/push_button.h"

#include <QFont>
#include <QMouseEvent>

namespace rw {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    setFont(font);
    setMouseTracking(true);  // report moves without a button held
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QPushButton::mouseMoveEvent(event);
}

}  // namespace rw
