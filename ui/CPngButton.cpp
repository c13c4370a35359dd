#include "ui/CPngButton.h"

#include "ui/DarkStyle.h"
#include "ui/SkinPicture.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace tarvik::ui {

namespace {

QPixmap copyOf(const QPixmap* p) {
    return p != nullptr ? *p : QPixmap();
}

bool samePicture(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && !b.isNull() && a.cacheKey() == b.cacheKey();
}

// The focus ring shows for a button reached by keyboard. When the window loses and regains the focus
// (a dialog opened over it, a menu) the button keeps how it was reached.
bool windowFocusChange(Qt::FocusReason reason) {
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

} // namespace

CPngButton::CPngButton(QWidget* parent) : QAbstractButton(parent) {
    // The picture is the button's whole face: no background is erased under it.
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    captionFont_ = skinPointFont(8);
    captionFont_.setFamilies(QStringList{QStringLiteral("Tahoma")} + captionFont_.families());
    tipTimer_.setSingleShot(true);
    tipTimer_.setInterval(kTooltipDelayMs);
    connect(&tipTimer_, &QTimer::timeout, this, &CPngButton::showTip);
}

void CPngButton::setPictures(int x, int y, const QPixmap& normal, const QPixmap& hover,
                             const QPixmap& pressed, const QPixmap& disabled, const QPixmap& selected) {
    offset_ = QPoint(x, y);
    normal_ = normal;
    hoverPic_ = hover;
    pressed_ = pressed;
    disabled_ = disabled;
    selectedPic_ = selected;
    updateOpaque();
    update();
}

void CPngButton::setPictures(int x, int y, const QPixmap* normal, const QPixmap* hover,
                             const QPixmap* pressed, const QPixmap* disabled, const QPixmap* selected) {
    setPictures(x, y, copyOf(normal), copyOf(hover), copyOf(pressed), copyOf(disabled), copyOf(selected));
}

void CPngButton::setPictureOffset(int x, int y) {
    offset_ = QPoint(x, y);
    updateOpaque();
    update();
}

void CPngButton::setSkinScale(double scale) {
    scale_ = scale > 0 ? scale : 1.0;
    updateOpaque();
    update();
}

void CPngButton::setTwoStatePictures(const QPixmap& off, const QPixmap& on) {
    twoStateOff_ = off;
    twoStateOn_ = on;
    updateOpaque();
    update();
}

void CPngButton::setTwoStatePictures(const QPixmap* off, const QPixmap* on) {
    setTwoStatePictures(copyOf(off), copyOf(on));
}

void CPngButton::setTwoStateMode(bool on) {
    twoStateMode_ = on;
    updateOpaque();
    update();
}

void CPngButton::setTwoStateValue(bool value) {
    twoStateValue_ = value;
    update();
}

void CPngButton::setLatched(bool latched) {
    if (latched_ != latched) {
        latched_ = latched;
        update();
    }
}

void CPngButton::setSelected(bool selected) {
    if (selected != selected_ && QAccessible::isActive()) {
        // A choice button (see Accessibility.h) is checked while selected: the reader hears of it.
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        selected_ = selected;
        QAccessible::updateAccessibility(&event);
    }
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
    // The skin names a face; the faces after it carry what it lacks (Chinese glyphs).
    captionFont_ = skinPointFont(pointSize, bold);
    captionFont_.setFamilies(QStringList{face} + captionFont_.families());
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
    updateOpaque();
    update();
}

void CPngButton::setTipText(const QString& text) {
    if (text == tip_) {
        return;
    }
    tip_ = text;
    // What a screen reader gives as the button's description: the same words the pointer shows.
    setAccessibleDescription(tip_);
    if (tip_.isEmpty()) {
        tipTimer_.stop();
        if (QToolTip::isVisible() && QToolTip::text() != text) {
            QToolTip::hideText();
        }
        return;
    }
    if (QToolTip::isVisible() && hover_) {
        showTip(); // a tip on screen follows its text at once
    } else if (hover_ && !tipTimer_.isActive()) {
        tipTimer_.start();
    }
}

void CPngButton::setTipDelay(int ms) {
    tipTimer_.setInterval(std::max(0, ms));
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
    if (isDown() || latched_) {
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

bool CPngButton::dimsDisabledPicture() const {
    // One picture for every state is a display, not a button: it looks the same when disabled.
    if (samePicture(disabled_, normal_)) {
        return false;
    }
    return samePicture(disabled_, pressed_) || samePicture(disabled_, hoverPic_) ||
           samePicture(disabled_, selectedPic_);
}

bool CPngButton::picturesCoverFace() const {
    if (frameMode_) {
        return false; // the frame's inside shows what lies under the button
    }
    const QRectF source(offset_.x() - 1, offset_.y() - 1, width() / scale_, height() / scale_);
    auto covers = [&source](const QPixmap& p) {
        return !p.isNull() && !p.hasAlphaChannel() &&
               QRectF(QPointF(0, 0), p.deviceIndependentSize()).contains(source);
    };
    if (!covers(disabled_)) {
        return false;
    }
    if (twoStateMode_) {
        return covers(twoStateOff_) && covers(twoStateOn_);
    }
    return covers(normal_) && covers(hoverPic_) && covers(pressed_) && covers(selectedPic_);
}

void CPngButton::updateOpaque() {
    // Where a state has no picture, or the picture ends inside the button, the window's background must
    // still be painted under it.
    setAttribute(Qt::WA_OpaquePaintEvent, picturesCoverFace());
}

const QPixmap& CPngButton::pictureFor(Picture p) const {
    static const QPixmap none;
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
    return none;
}

void CPngButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintFace(p);
}

const QPixmap* CPngButton::plainFace(QPoint& origin) const {
    const Picture chosen = currentPicture();
    const QPixmap& pic = pictureFor(chosen);
    if (frameMode_ || tint_.isValid() || (captionOn_ && !text().isEmpty()) || scale_ != 1.0 || pic.isNull() ||
        pic.devicePixelRatio() != 1.0 || (chosen == Picture::Disabled && dimsDisabledPicture())) {
        return nullptr;
    }
    origin = offset_ - QPoint(1, 1);
    if (!QRect(QPoint(0, 0), pic.size()).contains(QRect(origin, size()))) {
        return nullptr;
    }
    return &pic;
}

void CPngButton::paintFace(QPainter& p) {
    const Picture chosen = currentPicture();
    if (frameMode_) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::NoBrush);
        const QRect r = rect();
        p.fillRect(QRect(r.left(), r.top(), r.width(), 2), frameColour_);
        p.fillRect(QRect(r.left(), r.bottom() - 1, r.width(), 2), frameColour_);
        p.fillRect(QRect(r.left(), r.top(), 2, r.height()), frameColour_);
        p.fillRect(QRect(r.right() - 1, r.top(), 2, r.height()), frameColour_);
    } else if (const QPixmap& pic = pictureFor(chosen); !pic.isNull()) {
        const QRectF source(offset_.x() - 1, offset_.y() - 1, width() / scale_, height() / scale_);
        // Set either way: a painter shared by many buttons keeps what the last one set.
        p.setRenderHint(QPainter::SmoothPixmapTransform, scale_ != 1.0 || pic.devicePixelRatio() != 1.0);
        drawSkinPart(p, QRectF(rect()), pic, source);
        if (chosen == Picture::Disabled && dimsDisabledPicture()) {
            p.fillRect(rect(), QColor(16, 18, 21, 150));
        }
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
    if (showsFocusRing()) {
        auto frame = [&p](const QRect& r, int w, const QColor& c) {
            p.fillRect(QRect(r.left(), r.top(), r.width(), w), c);
            p.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), c);
            p.fillRect(QRect(r.left(), r.top(), w, r.height()), c);
            p.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), c);
        };
        frame(rect(), kFocusRingWidth, colour::kAccent);
        const int in = kFocusRingWidth;
        frame(rect().adjusted(in, in, -in, -in), 1, colour::kRingInner);
    }
}

bool CPngButton::showsFocusRing() const {
    return keyboardFocus_ && hasFocus();
}

void CPngButton::focusInEvent(QFocusEvent* event) {
    if (!windowFocusChange(event->reason())) {
        keyboardFocus_ = event->reason() != Qt::MouseFocusReason;
    }
    QAbstractButton::focusInEvent(event);
    update();
}

void CPngButton::focusOutEvent(QFocusEvent* event) {
    if (!windowFocusChange(event->reason())) {
        keyboardFocus_ = false;
    }
    QAbstractButton::focusOutEvent(event);
    update();
}

void CPngButton::keyPressEvent(QKeyEvent* event) {
    // Enter acts like Space on a focused button, so a keyboard user has the key a dialog's default
    // button would otherwise take; the main window never closes on it.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isEnabled() &&
        event->modifiers() == Qt::NoModifier) {
        keyboardFocus_ = true;
        animateClick();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CPngButton::drawCaption(QPainter& p) {
    p.save();
    QFont font = captionFont_;
    if (scale_ != 1.0) {
        font.setPointSizeF(std::max(1.0, captionFont_.pointSizeF() * scale_));
    }
    p.setFont(font);
    QColor colour = captionColour_;
    if (!isEnabled()) {
        // A disabled button's words fade with its face; white on a dimmed face reads as enabled.
        colour.setAlphaF(colour.alphaF() * kDisabledCaptionAlpha);
    }
    p.setPen(colour);
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
        QString shown = text();
        if (captionFormat_ & kDtSingleLine) {
            shown = QFontMetrics(font).elidedText(shown, Qt::ElideRight, box.width());
        }
        p.drawText(box, flags, shown);
    } else {
        // Centre the text by its rotated extent.
        const QFontMetricsF fm(font);
        const QSizeF size(fm.horizontalAdvance(text()), fm.height());
        p.translate(QRectF(box).center());
        p.rotate(-rotation_ / 10.0);
        p.drawText(QRectF(-size.width() / 2, -size.height() / 2, size.width(), size.height()),
                   Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    p.restore();
}

void CPngButton::resizeEvent(QResizeEvent* event) {
    updateOpaque();
    QAbstractButton::resizeEvent(event);
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
    switch (event->type()) {
    case QEvent::ToolTip:
        // The tip is shown by the button's own timer with its own delay.
        if (!tip_.isEmpty()) {
            return true;
        }
        break;
    case QEvent::ToolTipChange:
        setTipText(toolTip());
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

void CPngButton::showTip() {
    if (hover_ && !tip_.isEmpty()) {
        QToolTip::showText(mapToGlobal(QPoint(width() / 2, height())), tip_, this);
    }
}

} // namespace tarvik::ui
