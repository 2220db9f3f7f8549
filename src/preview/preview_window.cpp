#include "preview/preview_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/checked.h"
#include "platform/error_report.h"
#include "platform/failure.h"
#include "platform/file_names.h"
#include "platform/program_names.h"
#include "platform/safe_file.h"
#include "preview/file_copy.h"
#include "preview/preview_navigation.h"
#include "preview/workbook_export.h"
#include "widgets/main_routines.h"

namespace rw {

namespace {

const QString kForm2ReportPrefix = QString::fromLatin1(names::kReportPrefix) + QStringLiteral(".Form2.");

// Borders: the viewport a sunken edge of 2 pixels, the canvas a plain line of 1, the unscaled copy none.
// With these the unscaled copy's inner size less 2 is exactly the picture's size.
constexpr int kViewportBorder = 2;
constexpr int kCanvasBorder = 1;
constexpr int kCopyBorder = 0;

// Zoom: a step of a quarter, from a quarter up to four times; a zoomed picture must stay under these sizes
// (pixels), so the tallest charts stay at their natural size.
constexpr float kZoomStepSize = 0.25F;
constexpr float kSmallestZoom = 0.25F;
constexpr float kLargestZoom = 4.0F;
constexpr std::int32_t kZoomedWidthLimit = 4000;
constexpr std::int32_t kZoomedHeightLimit = 9000;

// Largest position a scroll bar takes (its range is that of a 16-bit integer).
constexpr std::int32_t kScrollMax = 32767;

// Width of the frame that shows which of the chart's Tab stops has the focus.
constexpr int kFocusFrameWidth = 2;

// A frame in the chart's focus colour, drawn over the inside edge of `target` while `target` or one of the
// `holders` has the focus. Only the frame itself belongs to it (a mask), so it never covers, or slows
// down, what lies inside.
class FocusFrame : public QWidget {
  public:
    FocusFrame(QWidget* target, std::vector<QWidget*> holders, QColor colour)
        : QWidget(target), holders_(std::move(holders)), colour_(colour) {
        holders_.push_back(target);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        target->installEventFilter(this);
        fit();
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            setVisible(std::find(holders_.begin(), holders_.end(), now) != holders_.end());
            raise();
        });
        hide();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize) {
            fit();
        }
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), colour_);
    }

  private:
    void fit() {
        const QRect area = parentWidget()->rect();
        setGeometry(area);
        setMask(QRegion(area).subtracted(QRegion(
            area.adjusted(kFocusFrameWidth, kFocusFrameWidth, -kFocusFrameWidth, -kFocusFrameWidth))));
    }

    std::vector<QWidget*> holders_;
    QColor colour_;
};

}  // namespace

Form2::Form2(const Platform& platform, QWidget* mainWindow, QWidget* parent)
    : QWidget(parent),
      CommonDialog1(platform.saveDialog),
      platform_(platform),
      mainWindow_(mainWindow),
      pointer_(*this) {
    buildControls();
    Form_Load();
}

template <typename Body>
void Form2::untrapped(Body&& body) {
    runUntrapped(platform_.messages, platform_.programEnd, std::forward<Body>(body));
}

void Form2::buildControls() {
    setWindowTitle(QStringLiteral("Preview"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(true);
    setFont(font);
    Main::SetBackground(*this, Qt::white);

    constexpr int kMargin = 8;
    constexpr int kViewWidth = 760;
    constexpr int kViewHeight = 480;
    constexpr int kBar = 17;
    const int fullWidth = kViewWidth + kBar;

    Picture2 = new preview::PictureBox(kViewportBorder, true, this);
    Picture2->setGeometry(kMargin, kMargin, kViewWidth, kViewHeight);
    Picture2->setCursor(Qt::ArrowCursor);
    // The picture takes the focus (by Tab or a click on it) for the keys, and shows a frame while it has it.
    Picture2->setFocusPolicy(Qt::StrongFocus);
    Picture2->setAccessibleName(QStringLiteral("Chart"));

    Picture1 = new preview::PictureBox(kCanvasBorder, false, Picture2->inner());
    Picture1->setGeometry(0, 0, 2 * kCanvasBorder, 2 * kCanvasBorder);
    Picture1->setFocusPolicy(Qt::TabFocus);

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setGeometry(kMargin, kMargin + kViewHeight, kViewWidth, kBar);
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setGeometry(kMargin + kViewWidth, kMargin, kBar, kViewHeight);
    HScroll1->setAccessibleName(QStringLiteral("Scroll across"));
    VScroll1->setAccessibleName(QStringLiteral("Scroll up and down"));
    for (QScrollBar* bar : {HScroll1, VScroll1}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setTracking(false);  // the canvas moves when the thumb is let go
        bar->setFocusPolicy(Qt::StrongFocus);
        bar->setCursor(Qt::ArrowCursor);
    }

    const int frameTop = kMargin + kViewHeight + kBar + 6;
    Frame1 = new QGroupBox(QStringLiteral("Zoom:"), this);
    Frame1->setGeometry(kMargin, frameTop, fullWidth, 70);
    Frame1->setFocusPolicy(Qt::NoFocus);
    Frame1->setMouseTracking(true);
    Frame1->installEventFilter(this);
    const int half = (fullWidth - 3 * kMargin) / 2;
    PushButton1 = new PushButton(QStringLiteral("Zoom In"), Frame1);
    PushButton1->setGeometry(kMargin, 22, half, 38);
    PushButton2 = new PushButton(QStringLiteral("Zoom Out"), Frame1);
    PushButton2->setGeometry(2 * kMargin + half, 22, half, 38);

    const int rowTop = frameTop + 70 + kMargin;
    const int rowHalf = (fullWidth - kMargin) / 2;
    PushButton8 = new PushButton(QStringLiteral("< Back"), this);
    PushButton8->setGeometry(kMargin, rowTop, rowHalf, 40);
    PushButton6 = new PushButton(QStringLiteral("Save Results To Excel File"), this);
    PushButton6->setGeometry(2 * kMargin + rowHalf, rowTop, fullWidth - rowHalf - kMargin, 40);

    const int windowWidth = fullWidth + 2 * kMargin;
    const int windowHeight = rowTop + 40 + kMargin;
    setFixedSize(windowWidth, windowHeight);

    Zoom_Ori = new preview::PictureBox(kCopyBorder, false, this);
    Zoom_Ori->setGeometry(windowWidth + 100, 0, 0, 0);
    Zoom_Ori->hide();

    // Every Tab stop of the chart shows when it has the focus, in the colour of the chart's own focus frame:
    // the chart's frame for the viewport and the canvas (whose own edges are mostly scrolled out of
    // sight), a frame around each scroll bar (the style draws none on them).
    const QColor focusColour = Picture2->palette().color(QPalette::Highlight);
    new FocusFrame(Picture2, {Picture1}, focusColour);
    new FocusFrame(HScroll1, {}, focusColour);
    new FocusFrame(VScroll1, {}, focusColour);

    // The window's tab order: the scroll bars, the viewport and the canvas, then the buttons.
    setTabOrder(HScroll1, VScroll1);
    setTabOrder(VScroll1, Picture2);
    setTabOrder(Picture2, Picture1);
    setTabOrder(Picture1, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    setTabOrder(PushButton2, PushButton6);
    setTabOrder(PushButton6, PushButton8);

    auto* navigation = new preview::PreviewNavigation(*this);
    for (QWidget* area :
         {static_cast<QWidget*>(Picture2), Picture2->inner(), static_cast<QWidget*>(Picture1)}) {
        navigation->watch(area);
    }

    setMouseTracking(true);
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    for (PushButton* button : {PushButton1, PushButton2, PushButton6, PushButton8}) {
        connect(button, &PushButton::mouseMoved, this, [this] { pointer_.onButtonHover(); });
    }
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(Picture1, &preview::PictureBox::mousePressed, this, [this](Qt::MouseButton b, QPointF at) {
        Picture1_MouseDown(b, static_cast<float>(at.x()), static_cast<float>(at.y()));
    });
    connect(Picture1, &preview::PictureBox::mouseMoved, this, [this](Qt::MouseButtons b, QPointF at) {
        Picture1_MouseMove(b, static_cast<float>(at.x()), static_cast<float>(at.y()));
    });
    connect(Picture1, &preview::PictureBox::mouseReleased, this, [this](Qt::MouseButton b, QPointF at) {
        Picture1_MouseUp(b, static_cast<float>(at.x()), static_cast<float>(at.y()));
    });
    installPrinting();
}

// --- Loading, hand-over, activation -------------------------------------------------------------------

void Form2::Form_Load() {
    untrapped([&] {
        Main::SetFormColors(*this);
        Main::CenterForm(*this);
        pointer_.loadHoverCursor(platform_.programFolder);
        mFirstActivate = true;
    });
}

void Form2::setExcelFile(const QString& path) {
    mExcelFile = path;
    mFirstActivate = true;
}

void Form2::loadCanvasPicture(const QString& path) {
    std::shared_ptr<const preview::ChartPicture> picture;
    try {
        picture = preview::ChartPicture::fromFile(path);
    } catch (...) {
        setCanvasPicture(nullptr);
        throw;
    }
    setCanvasPicture(std::move(picture));
}

void Form2::setCanvasPicture(std::shared_ptr<const preview::ChartPicture> picture) {
    Picture1->setAutoSize(true);
    Picture1->setPicture(std::move(picture));
}

bool Form2::event(QEvent* event) {
    // Showing the window normally activates it; where the window system does not (no window manager, focus
    // stealing prevention), becoming visible counts as the activation, so a handed-over picture is always
    // prepared.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        Form_Activate();
    }
    return QWidget::event(event);
}

void Form2::Form_Activate() {
    if (!mFirstActivate) {
        return;
    }
    untrapped([&] { prepare(); });
}

void Form2::prepare() {
    // The canvas: auto-size on, so it already has the picture's size plus its border.
    Picture1->setAutoSize(true);
    // The unscaled copy: the canvas's outer size and its picture.
    Zoom_Ori->setOuterWidth(Picture1->outerWidth());
    Zoom_Ori->setOuterHeight(Picture1->outerHeight());
    Zoom_Ori->setPicture(Picture1->picture());
    mZoom = 1.0F;
    mOrigWidth = add32(Zoom_Ori->innerWidth(), -2);
    mOrigHeight = add32(Zoom_Ori->innerHeight(), -2);
    mZoomWidth = mOrigWidth;
    mZoomHeight = mOrigHeight;
    DrawZoomed();
    SetupScrollbars();
    mFirstActivate = false;
    // A new chart opens ready for the wheel and the keys, wherever the focus was left last time.
    Picture2->setFocus(Qt::OtherFocusReason);
}

// --- Zoom ------------------------------------------------------------------------------------------------

void Form2::PushButton1_Click() {
    ErrorTrap trap(platform_.messages, kForm2ReportPrefix + QStringLiteral("PushButton1_Click"));
    trap.run(100, [&] { ZoomStep(kZoomIn); });
}

void Form2::PushButton2_Click() {
    ErrorTrap trap(platform_.messages, kForm2ReportPrefix + QStringLiteral("PushButton2_Click"));
    trap.run(100, [&] { ZoomStep(kZoomOut); });
}

void Form2::ZoomStep(std::int32_t direction) {
    const float value = direction == kZoomIn ? mZoom + kZoomStepSize : mZoom - kZoomStepSize;
    SetZoom(value);
}

void Form2::SetZoom(float value) {
    if (value >= kSmallestZoom && value <= kLargestZoom) {
        mZoom = value;
        DrawZoomed();
    }
}

void Form2::DrawZoomed() {
    const double zoomWidth = std::floor(static_cast<double>(mZoom) * mOrigWidth);
    const double zoomHeight = std::floor(static_cast<double>(mZoom) * mOrigHeight);
    mZoomWidth = round32(zoomWidth);
    mZoomHeight = round32(zoomHeight);
    if (mZoomWidth < kZoomedWidthLimit && mZoomHeight < kZoomedHeightLimit) {
        Picture1->clearPicture();
        Picture1->setOuterWidth(mZoomWidth);
        Picture1->setOuterHeight(mZoomHeight);
        Picture1->drawStretched(Zoom_Ori->picture(), mOrigWidth, mOrigHeight, mZoomWidth, mZoomHeight);
        pointer_.set(kPointerDefault);
        // The scroll bars cover the zoomed canvas, by the same rule as at the preparation.
        fitScrollbar(HScroll1, Picture1->outerWidth(), Picture2->outerWidth(), mHStep);
        fitScrollbar(VScroll1, Picture1->outerHeight(), Picture2->outerHeight(), mVStep);
        HScroll1->setValue(0);
        VScroll1->setValue(0);
        HScroll1->setEnabled(Picture2->innerWidth() < mZoomWidth);
        VScroll1->setEnabled(Picture2->innerHeight() < mZoomHeight);
    } else {
        mZoom = 1.0F;
        mOrigWidth = add32(Zoom_Ori->innerWidth(), -2);
        mOrigHeight = add32(Zoom_Ori->innerHeight(), -2);
        mZoomWidth = mOrigWidth;
        mZoomHeight = mOrigHeight;
    }
}

// --- Scrolling -------------------------------------------------------------------------------------------

void Form2::SetupScrollbars() {
    Picture1->move(Picture1->left(), 0);
    Picture1->move(0, Picture1->top());
    fitScrollbar(HScroll1, Picture1->outerWidth(), Picture2->outerWidth(), mHStep);
    fitScrollbar(VScroll1, Picture1->outerHeight(), Picture2->outerHeight(), mVStep);
}

void Form2::fitScrollbar(QScrollBar* bar, int canvas, int viewport, std::int32_t& step) {
    (bar == HScroll1 ? mHRest : mVRest) = 0;
    if (canvas <= viewport) {
        bar->setEnabled(false);
        step = 0;
        return;
    }
    const float d = static_cast<float>(add32(canvas, -viewport));
    bar->setEnabled(true);
    if (d <= 100.0F) {
        bar->setMaximum(round32(d));
        step = 1;
    } else {
        std::int32_t maximum = round32(d / 10.0);
        std::int32_t newStep = 10;
        if (maximum > kScrollMax) {
            // Too many positions for a scroll bar: a larger step, with the last position at or past the end.
            newStep = round32(std::ceil(static_cast<double>(d) / kScrollMax));
            maximum = round32(std::ceil(static_cast<double>(d) / newStep));
        }
        bar->setMaximum(maximum);
        step = newStep;
    }
    bar->setValue(0);
}

void Form2::HScroll1_Change() {
    untrapped([&] { Picture1->move(-scrollOffset(HScroll1, mHStep, mHRest), Picture1->top()); });
}

void Form2::VScroll1_Change() {
    untrapped([&] { Picture1->move(Picture1->left(), -scrollOffset(VScroll1, mVStep, mVRest)); });
}

std::int32_t Form2::scrollOffset(const QScrollBar* bar, std::int32_t step, std::int32_t& rest) {
    // At either end the view is where the bar says; in between it keeps what a drag left over, so a move
    // after a drag starts from where the picture is.
    if (bar->value() == bar->minimum() || bar->value() == bar->maximum()) {
        rest = 0;
    }
    return add32(mul32(step, bar->value()), rest);
}

void Form2::followView(QScrollBar* bar, std::int32_t step, int offset, std::int32_t& rest) {
    if (step <= 0) {
        return;  // the canvas fits: the bar has nothing to show
    }
    const std::int32_t position =
        std::clamp(round32(static_cast<double>(offset) / step), bar->minimum(), bar->maximum());
    rest = add32(offset, -mul32(step, position));
    // The bar takes the position nearest the view without moving it.
    const QSignalBlocker quiet(bar);
    bar->setValue(position);
}

void Form2::SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent) {
    setByPercent(HScrollbar, percent);
}

void Form2::SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent) {
    setByPercent(VScrollbar, percent);
}

void Form2::setByPercent(QScrollBar* bar, std::int16_t percent) {
    if (percent < 0) {
        return;
    }
    const double v = percent / 100.0 * bar->maximum();
    if (v > bar->maximum()) {
        return;
    }
    bar->setValue(round32(v));
}

// --- Drag panning ----------------------------------------------------------------------------------------

void Form2::Picture1_MouseDown(Qt::MouseButton, float x, float y) {
    mDragX = x;
    mDragY = y;
}

void Form2::Picture1_MouseMove(Qt::MouseButtons buttons, float x, float y) {
    if (buttons == Qt::NoButton) {
        return;
    }
    untrapped([&] {
        float newLeft = static_cast<float>(Picture1->left()) - mDragX + x;
        if (newLeft > 0.0F) {
            newLeft = 0.0F;
        } else {
            const auto limit = static_cast<float>(Picture2->innerWidth() - Picture1->outerWidth());
            if (limit > newLeft) {
                newLeft = limit;
            }
        }
        float newTop = static_cast<float>(Picture1->top()) - mDragY + y;
        if (newTop > 0.0F) {
            newTop = 0.0F;
        } else {
            const auto limit = static_cast<float>(Picture2->innerHeight() - Picture1->outerHeight());
            if (limit > newTop) {
                newTop = limit;
            }
        }
        Picture1->move(round32(newLeft), round32(newTop));
    });
}

void Form2::Picture1_MouseUp(Qt::MouseButton, float, float) {
    // The picture stays exactly where the drag left it: the scroll bars follow the view, not the other way
    // round (a share of the bar's range would snap the view to the nearest per cent of it).
    untrapped([&] {
        followView(HScroll1, mHStep, -Picture1->left(), mHRest);
        followView(VScroll1, mVStep, -Picture1->top(), mVRest);
    });
}

// --- Saving ----------------------------------------------------------------------------------------------

namespace {

// The entry "Excel Workbook (*.xlsx)" of the save dialog's filter, counted from 1.
constexpr int kXlsxEntry = 2;

// A name ending in .xls or .xlsx (any case) decides the format; any other name is kept exactly as typed and
// gets the format of the entry picked in the dialog.
bool savesAsXlsx(const QString& name, int pickedEntry) {
    if (preview::isXlsxName(name)) {
        return true;
    }
    if (name.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive)) {
        return false;
    }
    return pickedEntry == kXlsxEntry;
}

}  // namespace

void Form2::PushButton6_Click() {
    ErrorTrap trap(platform_.messages, kForm2ReportPrefix + QStringLiteral("PushButton6_Click"));
    QString chosen;
    int pickedEntry = 1;
    std::int16_t answer = 0;
    trap.run(100, [&] { CommonDialog1.FileName = QString(); });
    trap.run(102, [&] { CommonDialog1.DialogTitle = QStringLiteral("Save File"); });
    trap.run(104, [&] {
        CommonDialog1.Filter = QStringLiteral("Excel Files (*.xls)|*.xls|Excel Workbook (*.xlsx)|*.xlsx|");
    });
    trap.run(106, [&] { CommonDialog1.ShowSave(); });
    trap.run(108, [&] {
        chosen = CommonDialog1.FileName;
        pickedEntry = CommonDialog1.FilterIndex;
    });
    if (trap.test(110, [&] { return !chosen.isEmpty(); })) {
        if (trap.test(112, [&] { return Main::FileExists(chosen); })) {
            trap.run(114, [&] {
                answer = checkedFit<std::int16_t>(platform_.messages.show(
                    QStringLiteral("Are you sure you wish to overwrite ") + chosen + QStringLiteral(" ?"),
                    kAppTitle, MsgIcon::None, MsgButtons::YesNo, kAnswerYes));
            });
            // Yes deletes nothing here: the copy at line 124 replaces the file in one step, so a copy that
            // fails leaves the user's file as it was.
        } else {
            trap.run(120, [&] { answer = kAnswerYes; });
        }
    }
    if (trap.test(122, [&] { return answer == kAnswerYes; })) {
        trap.run(124, [&] {
            if (files::sameExistingFile(chosen, mExcelFile)) {
                return;
            }
            preview::requireSource(mExcelFile);
            preview::requireWritableTarget(chosen);
            if (savesAsXlsx(chosen, pickedEntry)) {
                preview::saveAsXlsx(mExcelFile, chosen);
            } else {
                preview::copyFileReplacing(mExcelFile, chosen);
            }
        });
    }
    trap.run(126, [&] {
        platform_.messages.show(QStringLiteral("Done."), kAppTitle, MsgIcon::None, MsgButtons::Ok, kAnswerOk);
    });
}

// --- Back and closing ------------------------------------------------------------------------------------

void Form2::PushButton8_Click() {
    ErrorTrap trap(platform_.messages, kForm2ReportPrefix + QStringLiteral("PushButton8_Click"));
    if (trap.test(100, [&] { return files::isNormalFile(mExcelFile); })) {
        trap.run(102, [&] { files::deleteFile(mExcelFile); });
    }
    safefile::keepOnStopSignal(QFile::encodeName(mExcelFile).toStdString());
    trap.run(104, [&] {
        if (mainWindow_ != nullptr) {
            mainWindow_->show();
        }
    });
    trap.run(106, [&] { hide(); });
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    bool finished = false;
    untrapped([&] {
        if (files::isNormalFile(mExcelFile)) {
            files::deleteFile(mExcelFile);
        }
        safefile::keepOnStopSignal(QFile::encodeName(mExcelFile).toStdString());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        finished = true;
    });
    if (finished) {
        // Through the event loop, not from inside this handler: the program then ends as usual, and what it
        // put on the clipboard stays there for other programs.
        platform_.programEnd.quit(0);
    }
}

// --- Hover pointer ---------------------------------------------------------------------------------------

void Form2::mouseMoveEvent(QMouseEvent* event) {
    untrapped([&] { pointer_.onBackgroundHover(); });
    QWidget::mouseMoveEvent(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Frame1 && event->type() == QEvent::MouseMove) {
        untrapped([&] { pointer_.onBackgroundHover(); });
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace rw
