#include "preview/preview_navigation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "preview/preview_window.h"

namespace rw::preview {

PreviewNavigation::PreviewNavigation(Form2& form) : QObject(&form), form_(form) {}

void PreviewNavigation::watch(QWidget* area) {
    area->installEventFilter(this);
}

bool PreviewNavigation::eventFilter(QObject* watched, QEvent* event) {
    bool handled = false;
    if (event->type() == QEvent::Wheel) {
        handled = wheel(static_cast<const QWheelEvent&>(*event));
    } else if (event->type() == QEvent::KeyPress) {
        handled = key(static_cast<const QKeyEvent&>(*event));
    }
    if (handled) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

double PreviewNavigation::rowPixels() const {
    return kRowPixels * std::max(0.25, static_cast<double>(form_.mZoom));
}

bool PreviewNavigation::wheel(const QWheelEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ControlModifier) {
        const QPoint angle = event.angleDelta();
        const int delta = angle.y() != 0 ? angle.y() : angle.x();
        // A turn the other way starts counting afresh.
        if ((delta > 0 && zoomAngle_ < 0) || (delta < 0 && zoomAngle_ > 0)) {
            zoomAngle_ = 0;
        }
        zoomAngle_ += delta;
        while (zoomAngle_ >= kNotch) {
            zoomAngle_ -= kNotch;
            zoom(true);
        }
        while (zoomAngle_ <= -kNotch) {
            zoomAngle_ += kNotch;
            zoom(false);
        }
        return true;
    }
    QPointF delta;  // positive: the picture's left or top edge comes into view
    if (!event.pixelDelta().isNull()) {
        delta = event.pixelDelta();
    } else {
        const double perNotch = QApplication::wheelScrollLines() * rowPixels();
        delta = QPointF(event.angleDelta()) * (perNotch / kNotch);
    }
    if ((modifiers & Qt::ShiftModifier) && delta.x() == 0.0) {
        delta = QPointF(delta.y(), 0.0);
    }
    scrollPixels(form_.HScroll1, form_.mHStep, -delta.x(), carryX_);
    scrollPixels(form_.VScroll1, form_.mVStep, -delta.y(), carryY_);
    return true;
}

bool PreviewNavigation::key(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    QScrollBar* h = form_.HScroll1;
    QScrollBar* v = form_.VScroll1;
    switch (event.key()) {
        case Qt::Key_Up:
            stepPixels(v, form_.mVStep, -rowPixels());
            return true;
        case Qt::Key_Down:
            stepPixels(v, form_.mVStep, rowPixels());
            return true;
        case Qt::Key_Left:
            stepPixels(h, form_.mHStep, -rowPixels());
            return true;
        case Qt::Key_Right:
            stepPixels(h, form_.mHStep, rowPixels());
            return true;
        case Qt::Key_PageUp:
            stepPixels(v, form_.mVStep, -form_.Picture2->innerHeight());
            return true;
        case Qt::Key_PageDown:
            stepPixels(v, form_.mVStep, form_.Picture2->innerHeight());
            return true;
        case Qt::Key_Home:
            if (ctrl) {
                scrollTo(h, h->minimum());
            }
            scrollTo(v, v->minimum());
            return true;
        case Qt::Key_End:
            if (ctrl) {
                scrollTo(h, h->maximum());
            }
            scrollTo(v, v->maximum());
            return true;
        case Qt::Key_Plus:
            zoom(true);
            return true;
        case Qt::Key_Equal:
            if (!ctrl) {
                return false;
            }
            zoom(true);
            return true;
        case Qt::Key_Minus:
            zoom(false);
            return true;
        default:
            return false;
    }
}

void PreviewNavigation::scrollPixels(QScrollBar* bar, std::int32_t step, double pixels, double& carry) {
    if (pixels == 0.0) {
        return;
    }
    if (!bar->isEnabled() || step <= 0) {
        carry = 0.0;
        return;
    }
    if ((pixels > 0.0) != (carry > 0.0)) {
        carry = 0.0;  // a turn the other way starts afresh
    }
    carry += pixels;
    const double positions = std::trunc(carry / step);
    if (positions == 0.0) {
        return;
    }
    carry -= positions * step;
    const double target = std::clamp(bar->value() + positions, static_cast<double>(bar->minimum()),
                                     static_cast<double>(bar->maximum()));
    if (target == bar->minimum() || target == bar->maximum()) {
        carry = 0.0;  // nothing left to carry past an end
    }
    scrollTo(bar, static_cast<int>(target));
}

void PreviewNavigation::stepPixels(QScrollBar* bar, std::int32_t step, double pixels) {
    if (!bar->isEnabled() || step <= 0 || pixels == 0.0) {
        return;
    }
    const double positions = std::max(1.0, std::round(std::abs(pixels) / step));
    const double target =
        std::clamp(bar->value() + std::copysign(positions, pixels), static_cast<double>(bar->minimum()),
                   static_cast<double>(bar->maximum()));
    scrollTo(bar, static_cast<int>(target));
}

void PreviewNavigation::scrollTo(QScrollBar* bar, int position) {
    if (bar->isEnabled()) {
        bar->setValue(position);  // the bar's change handling moves the canvas
    }
}

void PreviewNavigation::zoom(bool in) {
    carryX_ = 0.0;
    carryY_ = 0.0;
    if (in) {
        form_.PushButton1_Click();
    } else {
        form_.PushButton2_Click();
    }
}

}  // namespace rw::preview
