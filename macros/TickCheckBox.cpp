#include "macros/TickCheckBox.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tarvik::macros {

namespace {
const QColor kBoxBorder(0x4a, 0x50, 0x5c);
const QColor kBoxFill(0x10, 0x12, 0x15);
const QColor kAccent(0x38, 0xb6, 0xf0);
const QColor kTick(0xff, 0xff, 0xff);
} // namespace

TickCheckBox::TickCheckBox(QWidget* parent) : QCheckBox(parent) {
    setCursor(Qt::PointingHandCursor);
}

QSize TickCheckBox::sizeHint() const {
    return QSize(20, 20);
}

bool TickCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void TickCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height()) - 2.0;
    const QRectF box(1, (height() - side) / 2.0, side, side);
    const bool on = isChecked();
    QColor border = on ? kAccent : kBoxBorder;
    if (hasFocus() || underMouse()) {
        border = border.lighter(130);
    }
    p.setPen(QPen(isEnabled() ? border : kBoxBorder.darker(150), 1.2));
    p.setBrush(on ? kAccent : kBoxFill);
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
    if (on) {
        QPainterPath tick;
        tick.moveTo(box.left() + side * 0.24, box.top() + side * 0.52);
        tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.70);
        tick.lineTo(box.left() + side * 0.77, box.top() + side * 0.31);
        p.setPen(QPen(kTick, std::max(1.6, side * 0.12), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
}

} // namespace tarvik::macros
