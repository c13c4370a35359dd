// A check box that draws its own box and tick, so that it reads the same on the dark skin whatever the
// platform's widget style would draw.
#pragma once

#include <QCheckBox>

namespace tarvik::macros {

class TickCheckBox final : public QCheckBox {
    Q_OBJECT

public:
    explicit TickCheckBox(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace tarvik::macros
