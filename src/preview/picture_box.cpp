#include "preview/picture_box.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace rw::preview {

PictureBox::PictureBox(int border, bool container, QWidget* parent)
    : QWidget(parent), border_(std::max(0, border)), inner_(this) {
    // Everything is painted here, so nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (container) {
        inner_ = new QWidget(this);
        inner_->move(border_, border_);
        inner_->resize(innerWidth(), innerHeight());
    }
}

void PictureBox::setPicture(std::shared_ptr<const ChartPicture> picture) {
    picture_ = std::move(picture);
    drawing_.reset();
    if (autoSize_) {
        const QSize size = picture_ ? picture_->size() : QSize(0, 0);
        resize(size.width() + 2 * border_, size.height() + 2 * border_);
    }
    update();
}

void PictureBox::clearPicture() {
    picture_.reset();
    drawing_.reset();
    update();
}

void PictureBox::drawStretched(std::shared_ptr<const ChartPicture> picture, int srcWidth, int srcHeight,
                               int dstWidth, int dstHeight) {
    drawing_.reset();
    if (picture && srcWidth > 0 && srcHeight > 0 && dstWidth > 0 && dstHeight > 0) {
        drawing_ = std::move(picture);
        scaleX_ = static_cast<double>(dstWidth) / srcWidth;
        scaleY_ = static_cast<double>(dstHeight) / srcHeight;
        drawSize_ = QSizeF(dstWidth, dstHeight);
    }
    update();
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    if (inner_ != this) {
        inner_->resize(innerWidth(), innerHeight());
    }
    QWidget::resizeEvent(event);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, Qt::white);

    const QRect innerRect(border_, border_, innerWidth(), innerHeight());
    auto paintPicture = [&](const ChartPicture& picture, double sx, double sy, const QSizeF& size) {
        const QRectF shown =
            QRectF(innerRect).intersected(QRectF(QPointF(border_, border_), size)) & QRectF(exposed);
        if (shown.isEmpty()) {
            return;
        }
        painter.save();
        painter.setClipRect(shown);
        painter.translate(border_, border_);
        painter.scale(sx, sy);
        const QRectF area((shown.left() - border_) / sx, (shown.top() - border_) / sy, shown.width() / sx,
                          shown.height() / sy);
        picture.paint(painter, area.adjusted(-1, -1, 1, 1));
        painter.restore();
    };
    if (picture_) {
        paintPicture(*picture_, 1.0, 1.0, QSizeF(picture_->size()));
    }
    if (drawing_) {
        paintPicture(*drawing_, scaleX_, scaleY_, drawSize_);
    }

    if (border_ > 0 && !exposed.adjusted(border_, border_, -border_, -border_).contains(exposed)) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setClipRect(exposed);
        if (hasFocus()) {
            // The focus frame: the whole border in the highlight colour.
            const QColor mark = palette().color(QPalette::Highlight);
            painter.fillRect(0, 0, width(), border_, mark);
            painter.fillRect(0, height() - border_, width(), border_, mark);
            painter.fillRect(0, 0, border_, height(), mark);
            painter.fillRect(width() - border_, 0, border_, height(), mark);
        } else if (border_ == 1) {
            painter.setPen(Qt::black);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(0, 0, width() - 1, height() - 1);
        } else {
            // A sunken edge: dark above and left, light below and right.
            const QColor shadow(128, 128, 128);
            const QColor dark(64, 64, 64);
            const QColor light(227, 227, 227);
            const int w = width();
            const int h = height();
            painter.fillRect(0, 0, w, border_, light);
            painter.fillRect(0, h - border_, w, border_, light);
            painter.fillRect(0, 0, border_, h, light);
            painter.fillRect(w - border_, 0, border_, h, light);
            painter.fillRect(0, 0, w - 1, 1, shadow);
            painter.fillRect(0, 0, 1, h - 1, shadow);
            painter.fillRect(1, 1, w - 3, 1, dark);
            painter.fillRect(1, 1, 1, h - 3, dark);
        }
    }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button(), event->position() - QPointF(border_, border_));
    event->accept();
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->buttons(), event->position() - QPointF(border_, border_));
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->button(), event->position() - QPointF(border_, border_));
    event->accept();
}

}  // namespace rw::preview
