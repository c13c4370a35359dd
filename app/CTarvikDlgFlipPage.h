// The key picture's second page (the Flip arrows): every changed key shows what it has been given (the
// key it sends, its macro's name, its media or program function) on its cap, over the printed legend,
// so the whole layout can be read at a glance without pointing at each key. A layer over the key
// buttons that takes no mouse input: the buttons keep their clicks, states and tooltips.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <map>

namespace tarvik::app {

class CTarvikDlgFlipPage final : public QWidget {
    Q_OBJECT

public:
    // parent: the window the key buttons are placed in; made after them, it lies over them. Starts empty
    // and hidden.
    explicit CTarvikDlgFlipPage(QWidget& parent);

    // The legend of a button at rect (parent coordinates); an empty legend shows the printed one.
    void setLegend(int controlId, const QRect& rect, const QString& legend);
    // The legend shown for a button, empty for none.
    QString legend(int controlId) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Plate {
        QRect rect; // the button, in the parent's coordinates
        QString legend;
    };
    void relayout();

    std::map<int, Plate> plates_;
};

} // namespace tarvik::app
