// A picture control that can be clicked (the lighting panel's direction, colour and brush pictures): it
// shows one picture scaled to its rectangle, at the screen's pixel density, and says when it is clicked.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tarvik::ui {

class ClickablePicture : public QWidget {
    Q_OBJECT

public:
    explicit ClickablePicture(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    // Whether clicks are reported (a picture that only shows something is not clickable).
    void setClickable(bool on);
    bool isClickable() const { return clickable_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    bool clickable_ = true;
    bool pressed_ = false;
};

} // namespace tarvik::ui
