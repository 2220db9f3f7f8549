#include "widgets/mouse_pointer.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <algorithm>

#include "platform/failure.h"
#include "widgets/main_routines.h"

namespace rw {

void MousePointerControl::set(int pointer) {
    pointer_ = pointer;
    switch (pointer) {
        case kPointerHourglass:
            window_.setCursor(Qt::WaitCursor);
            break;
        case kPointerCustom:
            window_.setCursor(hover_ ? *hover_ : QCursor(Qt::ArrowCursor));
            break;
        default:
            window_.setCursor(Qt::ArrowCursor);
            break;
    }
    for (const QPointer<QWidget>& area : arrowAreas_) {
        if (area.isNull()) {
            continue;
        }
        if (pointer == kPointerCustom) {
            area->setCursor(Qt::ArrowCursor);
        } else {
            area->unsetCursor();  // the window's own: the arrow or the hourglass
        }
    }
}

void MousePointerControl::keepArrowOver(QWidget* area) {
    arrowAreas_.emplace_back(area);
    set(pointer_);
}

void MousePointerControl::setHoverCursor(const QCursor& cursor) {
    hover_ = cursor;
    if (pointer_ == kPointerCustom) {
        set(kPointerCustom);
    }
}

}  // namespace rw

namespace rw {

QCursor loadCursorFile(const QString& path) {
    // Only a regular file is read: opening a pipe would wait for a writer, and a cursor is small.
    constexpr qint64 kLargestCursorFile = 1 << 20;
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || info.size() > kLargestCursorFile)) {
        throw Failure("Invalid picture");
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Failure("Path/File access error");
    }
    QByteArray bytes = file.read(kLargestCursorFile + 1);
    // Directory: reserved 0, type (1 icon, 2 cursor), count; then the first 16-byte entry, whose fields 4 to
    // 7 hold a cursor's hot spot.
    const auto u16 = [&bytes](int at) {
        return static_cast<int>(static_cast<unsigned char>(bytes[at])) |
               (static_cast<int>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    };
    if (bytes.size() < 22 || u16(0) != 0 || (u16(2) != 1 && u16(2) != 2) || u16(4) < 1) {
        throw Failure("Invalid picture");
    }
    const bool isCursor = u16(2) == 2;
    const int hotX = u16(10);
    const int hotY = u16(12);
    if (isCursor) {
        // Read it as the equivalent icon: type 1, one plane, bit depth from the bitmap itself.
        bytes[2] = 1;
        bytes[10] = 1;
        bytes[11] = 0;
        bytes[12] = 0;
        bytes[13] = 0;
    }
    QImage image;
    if (!image.loadFromData(bytes, "ICO") || image.isNull()) {
        throw Failure("Invalid picture");
    }
    const QPixmap pixmap = QPixmap::fromImage(image);
    if (!isCursor) {
        return QCursor(pixmap, image.width() / 2, image.height() / 2);
    }
    return QCursor(pixmap, std::min(hotX, image.width() - 1), std::min(hotY, image.height() - 1));
}

void MousePointerControl::loadHoverCursor(const QString& programFolder) {
    const QString cursorFile = programFolder + QStringLiteral("/HAND-M.CUR");
    if (Main::FileExists(cursorFile)) {
        setHoverCursor(loadCursorFile(cursorFile));
    }
}

}  // namespace rw
