#include "ui/CBitmapSlider.h"

#include "ui/DarkStyle.h"
#include "ui/SkinLayout.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tarvik::ui {

CBitmapSlider::CBitmapSlider(int controlId, QWidget* parent) : QWidget(parent), controlId_(controlId) {
    setFocusPolicy(Qt::StrongFocus);
}

void CBitmapSlider::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void CBitmapSlider::setRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = std::max(minimum, maximum);
    pos_ = std::clamp(pos_, min_, max_);
    update();
}

void CBitmapSlider::setPosition(int position) {
    const int before = pos_;
    pos_ = std::clamp(position, min_, max_);
    update();
    if (pos_ != before && QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, pos_);
        QAccessible::updateAccessibility(&changed);
    }
}

void CBitmapSlider::setTrackInset(int left, int right) {
    insetLeft_ = std::max(0, left);
    insetRight_ = std::max(0, right);
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    QPainter p(this);
    if (const double scale = placedScale(*this); scale != 1.0) {
        // A window shrunk to fit a small screen: the track and its thumb shrink with it.
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(scale, scale);
        p.drawPixmap(0, 0, picture_);
        p.restore();
    } else {
        p.drawPixmap(0, 0, picture_);
    }
    if (hasFocus() && focusByKeyboard_) {
        // The same 2-pixel accent ring as the image buttons.
        p.setPen(QPen(colour::kAccent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
    // A dialog or menu that took the focus for a while leaves the ring as it was.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        focusByKeyboard_ = event->reason() != Qt::MouseFocusReason;
    }
    QWidget::focusInEvent(event);
    update();
}

int CBitmapSlider::positionAt(int x) const {
    // The insets are layout pixels; the control may be shown smaller.
    const double scale = placedScale(*this);
    const double left = insetLeft_ * scale;
    const double span = width() - left - insetRight_ * scale;
    if (span <= 0 || max_ == min_) {
        return min_;
    }
    // The pixel's centre, measured from the centre of the minimum's thumb.
    const double t = std::clamp((x + 0.5 - left) / span, 0.0, 1.0);
    return min_ + static_cast<int>(std::lround(t * (max_ - min_)));
}

void CBitmapSlider::post() {
    const int id = controlId_, position = pos_;
    QMetaObject::invokeMethod(
        this, [this, id, position] { emit notified(id, position); }, Qt::QueuedConnection);
}

void CBitmapSlider::userMove(int position, bool notifyAlways) {
    const int before = pos_;
    setPosition(position);
    if (notifyAlways || pos_ != before) {
        post();
    }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    clicked_ = true;
    wheelRest_ = 0;
    dragging_ = true;
    userMove(positionAt(static_cast<int>(event->position().x())), false);
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        userMove(positionAt(static_cast<int>(event->position().x())), false);
    }
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        userMove(positionAt(static_cast<int>(event->position().x())), true);
    }
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right ||
                       event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (arrow && tabHeld_) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_PageUp:
        userMove(pos_ - pageStep_, true);
        break;
    case Qt::Key_PageDown:
        userMove(pos_ + pageStep_, true);
        break;
    case Qt::Key_Home:
        userMove(min_, true);
        break;
    case Qt::Key_End:
        userMove(max_, true);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        userMove(pos_ + 1, true);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        userMove(pos_ - 1, true);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CBitmapSlider::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    if (!clicked_ || dy == 0) {
        event->ignore();
        return;
    }
    event->accept();
    // A turn back the other way starts a new notch rather than first paying back the rest.
    if ((wheelRest_ > 0 && dy < 0) || (wheelRest_ < 0 && dy > 0)) {
        wheelRest_ = 0;
    }
    wheelRest_ += dy;
    const int notches = wheelRest_ / kWheelNotch;
    if (notches == 0) {
        return;
    }
    wheelRest_ -= notches * kWheelNotch;
    // Towards the user (negative delta) is +1.
    userMove(pos_ - notches, true);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
    clicked_ = false;
    wheelRest_ = 0;
    tabHeld_ = false;
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        focusByKeyboard_ = false;
    }
    QWidget::focusOutEvent(event);
    update();
}

bool CBitmapSlider::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            tabHeld_ = event->type() == QEvent::KeyPress;
        }
    }
    return QWidget::event(event);
}

} // namespace tarvik::ui
