#include "ui/ClickablePicture.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvik::ui {

ClickablePicture::ClickablePicture(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ClickablePicture::setClickable(bool on) {
    clickable_ = on;
    setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void ClickablePicture::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), picture_);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
    if (clickable_ && event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    // Not ours: the dialog below moves the window.
    event->ignore();
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (pressed_ && event->button() == Qt::LeftButton) {
        pressed_ = false;
        if (rect().contains(event->position().toPoint())) {
            emit clicked();
        }
        event->accept();
        return;
    }
    event->ignore();
}

} // namespace tarvik::ui
