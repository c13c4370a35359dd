// A slider drawn by one picture of the whole slider (the program swaps the picture per position). Every
// change the user makes is posted to the parent as the slider message with the control id and the new
// position.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tarvik::ui {

class CBitmapSlider : public QWidget {
    Q_OBJECT

public:
    // The private window message the notifications stand for.
    static constexpr unsigned kNotifyMessage = 0x28D1;

    explicit CBitmapSlider(int controlId, QWidget* parent = nullptr);

    int controlId() const { return controlId_; }
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    // A maximum below the minimum is taken as the minimum.
    void setRange(int minimum, int maximum);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setPageStep(int step) { pageStep_ = step; }
    int pageStep() const { return pageStep_; }
    // Clamped to the range; repaints. Programmatic changes do not notify.
    void setPosition(int position);
    int position() const { return pos_; }
    // Where the picture draws the ends of its track: the thumb of the minimum is centred `left` pixels
    // from the left edge, the maximum's `right` pixels from the right edge. The pointer is mapped onto
    // that span, so the thumb lands under it. Default 0, 0: the whole width.
    void setTrackInset(int left, int right);
    // Moves as a user action does (clamped, repainted, the window notified): assistive technology
    // sets the value this way.
    void moveByUser(int position) { userMove(position, false); }

    // Wheel deltas are counted in 120ths of a notch; a step is taken for each whole notch, so a touchpad's
    // many small deltas move the slider as far as a wheel turned as far.
    static constexpr int kWheelNotch = 120;

signals:
    // Delivered through the event queue, like a posted message: once per user action.
    void notified(int controlId, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    int positionAt(int x) const;
    // Sets the position from a user action and posts the notification.
    void userMove(int position, bool notifyAlways);
    void post();

    int controlId_;
    QPixmap picture_;
    int min_ = 0;
    int max_ = 100;
    int pos_ = 0;
    int pageStep_ = 1;
    int insetLeft_ = 0;
    int insetRight_ = 0;
    int wheelRest_ = 0; // the part of a notch not yet turned into a step
    bool dragging_ = false;
    bool clicked_ = false; // the wheel moves the slider only after it has been clicked
    bool tabHeld_ = false;
    bool focusByKeyboard_ = false;
};

} // namespace tarvik::ui
