#include "app/mouse_pointer.h"

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
}

void MousePointerControl::setHoverCursor(const QCursor& cursor) {
    hover_ = cursor;
    if (pointer_ == kPointerCustom) {
        set(kPointerCustom);
    }
}

}  // namespace rw
