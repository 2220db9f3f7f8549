#pragma once

#include <QPointF>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "preview/chart_picture.h"

namespace rw::preview {

// A picture box: a white area inside a border, showing an assigned picture at its own size and whatever was
// drawn onto it, and repainting both by itself. The outer size includes the border, the inner size does not.
// A box made as a container clips the boxes placed in it to its inner area; their left and top are measured
// from that area's corner. A box that takes the focus draws its border in the highlight colour while it has
// it.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    PictureBox(int border, bool container, QWidget* parent);

    int border() const { return border_; }
    int outerWidth() const { return width(); }
    int outerHeight() const { return height(); }
    int innerWidth() const { return std::max(0, width() - 2 * border_); }
    int innerHeight() const { return std::max(0, height() - 2 * border_); }
    void setOuterWidth(int w) { resize(std::max(0, w), height()); }
    void setOuterHeight(int h) { resize(width(), std::max(0, h)); }
    // Position inside the container's inner area.
    int left() const { return x(); }
    int top() const { return y(); }

    // Where boxes placed in this one live (this box itself when it is no container).
    QWidget* inner() const { return inner_; }

    // With auto-size on, assigning a picture gives the box the picture's size plus its border.
    void setAutoSize(bool on) { autoSize_ = on; }
    // Assigns the picture (none: an empty one); what was drawn before goes.
    void setPicture(std::shared_ptr<const ChartPicture> picture);
    const std::shared_ptr<const ChartPicture>& picture() const { return picture_; }
    // Removes the picture and the drawing, leaving the white background.
    void clearPicture();
    // Draws `picture`'s rectangle (0, 0, srcWidth, srcHeight) stretched onto (0, 0, dstWidth, dstHeight) of
    // the inner area; the drawing stays until the picture is replaced or removed.
    void drawStretched(std::shared_ptr<const ChartPicture> picture, int srcWidth, int srcHeight, int dstWidth,
                       int dstHeight);
    bool hasDrawing() const { return drawing_ != nullptr; }

  signals:
    // Mouse reports in inner coordinates (pixels from the inner top-left corner).
    void mousePressed(Qt::MouseButton button, QPointF at);
    void mouseMoved(Qt::MouseButtons buttons, QPointF at);
    void mouseReleased(Qt::MouseButton button, QPointF at);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int border_;
    QWidget* inner_;
    bool autoSize_ = false;
    std::shared_ptr<const ChartPicture> picture_;
    std::shared_ptr<const ChartPicture> drawing_;
    double scaleX_ = 1.0;
    double scaleY_ = 1.0;
    QSizeF drawSize_;
};

}  // namespace rw::preview
