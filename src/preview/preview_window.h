#pragma once

#include <QGroupBox>
#include <QScrollBar>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "platform/seams.h"
#include "preview/chart_picture.h"
#include "preview/picture_box.h"
#include "widgets/common_dialog.h"
#include "widgets/mouse_pointer.h"
#include "widgets/push_button.h"

class QPrinter;

namespace rw {

// The preview window: the chart picture on a canvas inside a clipping viewport with two scroll bars, zoom
// buttons, saving the workbook and going back to the main window. All sizes inside it are pixels.
//
// The generation run hands a chart over in three steps: loadCanvasPicture(path), setExcelFile(path), show().
class Form2 : public QWidget {
    Q_OBJECT
  public:
    Form2(const Platform& platform, QWidget* mainWindow, QWidget* parent = nullptr);

    // Controls.
    QScrollBar* HScroll1;
    QScrollBar* VScroll1;
    preview::PictureBox* Picture2;  // the viewport
    preview::PictureBox* Picture1;  // the canvas, inside the viewport
    QGroupBox* Frame1;
    PushButton* PushButton1;        // "Zoom In"
    PushButton* PushButton2;        // "Zoom Out"
    PushButton* PushButton6;        // "Save Results To Excel File"
    PushButton* PushButton8;        // "< Back"
    preview::PictureBox* Zoom_Ori;  // the unscaled copy, never shown
    CommonDialog CommonDialog1;

    // State.
    bool mFirstActivate = false;
    float mZoom = 0.0F;
    std::int32_t mOrigWidth = 0;
    std::int32_t mOrigHeight = 0;
    std::int32_t mZoomWidth = 0;
    std::int32_t mZoomHeight = 0;
    // Pixels per scroll position. 32 bits, and more than 10 where a 10-pixel step would need more scroll
    // positions than a scroll bar has, so that the whole of a very tall chart stays reachable.
    std::int32_t mHStep = 0;
    std::int32_t mVStep = 0;
    float mDragX = 0.0F;
    float mDragY = 0.0F;

    // The temporary workbook of the last run. Storing it also marks the picture for preparation.
    const QString& excelFile() const { return mExcelFile; }
    void setExcelFile(const QString& path);

    // Hand-over, step 1: the canvas takes the picture in the file and its size. A file that cannot be read
    // leaves the canvas empty and throws rw::Failure with a description; the window still works.
    void loadCanvasPicture(const QString& path);
    void setCanvasPicture(std::shared_ptr<const preview::ChartPicture> picture);

    MousePointerControl& mousePointer() { return pointer_; }

    // Ctrl+P: the desktop's print dialog, then the workbook's pages on the chosen printer (or PDF file).
    void printChart();
    // The same on `printer`. A page that fails takes the job back (QPrinter::abort) before the failure is
    // reported; printing to a file makes the PDF in memory and replaces the file in one step.
    void printChart(QPrinter& printer);

    // Zoom and scrolling.
    // ZoomStep's directions: one step in, one step out.
    static constexpr std::int32_t kZoomIn = 0;
    static constexpr std::int32_t kZoomOut = 1;
    void ZoomStep(std::int32_t direction);
    void SetZoom(float value);
    void DrawZoomed();
    void SetupScrollbars();
    void SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent);
    void SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent);

    // Handlers.
    void Form_Load();
    void Form_Activate();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton6_Click();
    void PushButton8_Click();
    void HScroll1_Change();
    void VScroll1_Change();
    void Picture1_MouseDown(Qt::MouseButton button, float x, float y);
    void Picture1_MouseMove(Qt::MouseButtons buttons, float x, float y);
    void Picture1_MouseUp(Qt::MouseButton button, float x, float y);

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void installPrinting();
    void prepare();
    // Gives a scroll bar its range and step for a canvas of outer size `canvas` in a viewport of outer
    // size `viewport`.
    void fitScrollbar(QScrollBar* bar, int canvas, int viewport, std::int32_t& step);
    void setByPercent(QScrollBar* bar, std::int16_t percent);
    // The canvas offset (pixels, positive) for a bar's position: step x position plus what a drag left.
    static std::int32_t scrollOffset(const QScrollBar* bar, std::int32_t step, std::int32_t& rest);
    // Sets a bar to the position nearest the canvas offset `offset` without moving the canvas, keeping the
    // difference in `rest`.
    static void followView(QScrollBar* bar, std::int32_t step, int offset, std::int32_t& rest);
    template <typename Body>
    void untrapped(Body&& body);

    Platform platform_;
    QWidget* mainWindow_;
    MousePointerControl pointer_;
    QString mExcelFile;
    // Pixels between the view and its scroll bar's position after a drag (view = step x position + rest).
    std::int32_t mHRest = 0;
    std::int32_t mVRest = 0;
};

}  // namespace rw
