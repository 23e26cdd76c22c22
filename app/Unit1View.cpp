// What the window shows beyond its design: the controls laid out outside the
// 729 x 550 client area, on request.
#include "app/Unit1.h"

#include <QScreen>

#include <algorithm>

// The window keeps its fixed size and dialog border either way; the grown
// area reaches 8 pixels past the last control right and below. A grown
// window that would leave the screen moves in, and back by as much when it
// is small again.
void TForm1::ShowDeviceSettings(bool on) {
    const QSize size = on ? kWideClientSize : kClientSize;
    if (this->size() == size) return;
    setFixedSize(size);
    if (!on) {
        if (!grownShift_.isNull()) move(pos() - grownShift_);
        grownShift_ = {};
        return;
    }
    QScreen* s = screen();
    if (!s || !isVisible()) return;
    const QRect area = s->availableGeometry();
    const QRect frame = frameGeometry();
    QPoint shift;
    if (frame.right() > area.right()) shift.rx() = std::max(area.left() - frame.left(), area.right() - frame.right());
    if (frame.bottom() > area.bottom()) shift.ry() = std::max(area.top() - frame.top(), area.bottom() - frame.bottom());
    if (!shift.isNull()) move(pos() + shift);
    grownShift_ = shift;
}
