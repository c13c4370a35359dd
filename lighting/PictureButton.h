// A clickable picture of the lighting panel (panel on and off, the direction pair, the random toggle, the
// presets, the brushes): it shows one picture at its own size, which the panel swaps by state.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace tarvik::lighting {

class PictureButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PictureButton(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    QSize sizeHint() const override { return picture_.isNull() ? QSize(16, 16) : picture_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

} // namespace tarvik::lighting
