#include "ui/CPngButton.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace tarvik::ui {

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent) {
    // The picture is the button's whole face: no background is erased under it.
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    captionFont_ = QFont(QStringLiteral("Tahoma"));
    captionFont_.setPointSizeF(8);
    tipTimer_.setSingleShot(true);
    tipTimer_.setInterval(kTooltipDelayMs);
    connect(&tipTimer_, &QTimer::timeout, this, &CPngButton::showTip);
}

void CPngButton::setPictures(int x, int y, const QPixmap* normal, const QPixmap* hover,
                             const QPixmap* pressed, const QPixmap* disabled, const QPixmap* selected) {
    offset_ = QPoint(x, y);
    normal_ = normal;
    hoverPic_ = hover;
    pressed_ = pressed;
    disabled_ = disabled;
    selectedPic_ = selected;
    update();
}

void CPngButton::setPictureOffset(int x, int y) {
    offset_ = QPoint(x, y);
    update();
}

void CPngButton::setTwoStatePictures(const QPixmap* off, const QPixmap* on) {
    twoStateOff_ = off;
    twoStateOn_ = on;
    update();
}

void CPngButton::setTwoStateMode(bool on) {
    twoStateMode_ = on;
    update();
}

void CPngButton::setTwoStateValue(bool value) {
    twoStateValue_ = value;
    update();
}

void CPngButton::setSelected(bool selected) {
    selected_ = selected;
    update();
}

void CPngButton::setHover(bool hover) {
    if (hover == hover_) {
        return;
    }
    hover_ = hover;
    update();
    if (hover) {
        if (!tip_.isEmpty()) {
            tipTimer_.start();
        }
    } else {
        tipTimer_.stop();
        if (QToolTip::isVisible() && QToolTip::text() == tip_) {
            QToolTip::hideText();
        }
    }
}

void CPngButton::setCaptionStyle(bool on, double pointSize, const QString& face, const QColor& colour,
                                 int format) {
    captionOn_ = on;
    const bool bold = captionFont_.bold();
    captionFont_ = QFont(face);
    captionFont_.setPointSizeF(pointSize > 0 ? pointSize : 8);
    captionFont_.setBold(bold);
    captionColour_ = colour;
    captionFormat_ = format;
    update();
}

void CPngButton::setCaptionBold(bool bold) {
    captionFont_.setBold(bold);
    update();
}

void CPngButton::setCaptionRotation(int tenths) {
    rotation_ = tenths;
    update();
}

void CPngButton::setCaptionOffsets(int left, int top, int right, int bottom) {
    textOffsets_ = QMargins(left, top, right, bottom);
    update();
}

void CPngButton::setFrameMode(bool on, const QColor& colour) {
    frameMode_ = on;
    frameColour_ = colour;
    update();
}

void CPngButton::setTipText(const QString& text) {
    tip_ = text;
}

void CPngButton::setTint(const QColor& colour, int alpha) {
    tint_ = colour;
    tint_.setAlpha(std::clamp(alpha, 0, 255));
    update();
}

void CPngButton::clearTint() {
    tint_ = QColor();
    update();
}

CPngButton::Picture CPngButton::currentPicture() const {
    // The order matters: a disabled button never shows hover or pressed, and a two-state button shows
    // its value whatever the mouse does.
    if (!isEnabled()) {
        return Picture::Disabled;
    }
    if (twoStateMode_) {
        return twoStateValue_ ? Picture::TwoStateOn : Picture::TwoStateOff;
    }
    if (isDown()) {
        return Picture::Pressed;
    }
    if (hover_) {
        return Picture::Hover;
    }
    if (selected_) {
        return Picture::Selected;
    }
    return Picture::Normal;
}

const QPixmap* CPngButton::pictureFor(Picture p) const {
    switch (p) {
    case Picture::Normal:
        return normal_;
    case Picture::Hover:
        return hoverPic_;
    case Picture::Pressed:
        return pressed_;
    case Picture::Disabled:
        return disabled_;
    case Picture::Selected:
        return selectedPic_;
    case Picture::TwoStateOff:
        return twoStateOff_;
    case Picture::TwoStateOn:
        return twoStateOn_;
    case Picture::None:
        break;
    }
    return nullptr;
}

void CPngButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Picture chosen = currentPicture();
    if (frameMode_) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::NoBrush);
        const QRect r = rect();
        p.fillRect(QRect(r.left(), r.top(), r.width(), 2), frameColour_);
        p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), frameColour_);
        p.fillRect(QRect(r.left(), r.top(), 2, r.height()), frameColour_);
        p.fillRect(QRect(r.right() - 1, r.top(), 2, r.height()), frameColour_);
    } else if (const QPixmap* pic = pictureFor(chosen); pic != nullptr && !pic->isNull()) {
        p.drawPixmap(QPoint(0, 0), *pic, QRect(offset_.x() - 1, offset_.y() - 1, width(), height()));
    }
    if (tint_.isValid()) {
        // Rounded like the key caps it lights, so the corners of the cap's shadow stay dark.
        const double radius = std::min(6.0, height() / 4.0);
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(tint_);
        p.drawRoundedRect(QRectF(rect()), radius, radius);
        p.restore();
    }
    if (captionOn_ && !text().isEmpty()) {
        drawCaption(p);
    }
    if (afterPaint_) {
        afterPaint_(*this, p, chosen == Picture::Normal);
    }
}

void CPngButton::drawCaption(QPainter& p) {
    p.save();
    p.setFont(captionFont_);
    p.setPen(captionColour_);
    const QRect box = rect().marginsRemoved(textOffsets_);
    int flags = 0;
    flags |= (captionFormat_ & kDtCenter)  ? Qt::AlignHCenter
             : (captionFormat_ & kDtRight) ? Qt::AlignRight
                                           : Qt::AlignLeft;
    flags |= (captionFormat_ & kDtVCenter)  ? Qt::AlignVCenter
             : (captionFormat_ & kDtBottom) ? Qt::AlignBottom
                                            : Qt::AlignTop;
    if (captionFormat_ & kDtSingleLine) {
        flags |= Qt::TextSingleLine;
    } else if (captionFormat_ & kDtWordBreak) {
        flags |= Qt::TextWordWrap;
    }
    if (rotation_ == 0) {
        p.drawText(box, flags, text());
    } else {
        // Centre the text by its rotated extent.
        const QFontMetricsF fm(captionFont_);
        const QSizeF size(fm.horizontalAdvance(text()), fm.height());
        p.translate(QRectF(box).center());
        p.rotate(-rotation_ / 10.0);
        p.drawText(QRectF(-size.width() / 2, -size.height() / 2, size.width(), size.height()),
                   Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    p.restore();
}

void CPngButton::enterEvent(QEnterEvent* event) {
    setHover(true);
    QAbstractButton::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
    setHover(false);
    QAbstractButton::leaveEvent(event);
}

void CPngButton::mouseMoveEvent(QMouseEvent* event) {
    if (!hover_) {
        setHover(true);
    }
    QAbstractButton::mouseMoveEvent(event);
}

bool CPngButton::event(QEvent* event) {
    // The tooltip is ours, with its own delay.
    if (event->type() == QEvent::ToolTip) {
        return true;
    }
    return QAbstractButton::event(event);
}

void CPngButton::showTip() {
    if (hover_ && !tip_.isEmpty()) {
        QToolTip::showText(mapToGlobal(QPoint(width() / 2, height())), tip_, this);
    }
}

} // namespace tarvik::ui
