#include "lighting/PictureButton.h"

#include "ui/SkinLayout.h"

#include <QPainter>

namespace tarvik::lighting {

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::setPicture(const QPixmap& picture) {
    if (picture.cacheKey() == picture_.cacheKey()) {
        return;
    }
    picture_ = picture;
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!picture_.isNull()) {
        p.save();
        if (const double scale = ui::placedScale(*this); scale != 1.0) {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.scale(scale, scale);
        }
        p.drawPixmap(0, 0, picture_);
        p.restore();
    }
    if (hasFocus()) {
        // The 2-pixel accent ring every focusable control of the skin shows.
        p.setPen(QPen(QColor(0x38, 0xb6, 0xf0), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

} // namespace tarvik::lighting
