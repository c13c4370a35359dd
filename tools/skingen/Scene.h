// A dialog of the skin as a list of placed elements. One scene gives the dialog's background, its mask
// and every state picture, and the same rectangles go into the layout file, so the pictures and the
// "BUTTONINFO" values cannot drift apart.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

namespace tarvik::skingen {

// The state a whole-window picture shows every button in.
enum class State { Normal, Over, Down, Disabled, Selected, ColorOff, ColorOn };

// What a draw function is asked to draw: the state, and for dialogs with several panels the panel.
struct Look {
    State state = State::Normal;
    int panel = 0;
};

using DrawFn = std::function<void(QPainter&, const QRectF&, const Look&)>;

struct Element {
    QString key;         // "BUTTONINFO" key
    QRect rect;          // in window coordinates; written as "x,y,w,h"
    DrawFn draw;         // empty for plain controls that draw themselves (lists, edits, labels)
    bool onBackground;   // also drawn on the dialog background (always-visible buttons)
    bool written = true; // false for elements that only decorate (no key in the layout file)
};

class Scene {
public:
    Scene(QSize size, int cornerRadius);

    QSize size() const { return size_; }
    // The window outline; the mask is white outside it.
    const QPainterPath& outline() const { return outline_; }

    // The base layer under every element (window frame, panels); called for the background and for
    // every state picture.
    void setBase(DrawFn base) { base_ = std::move(base); }

    Element& add(const QString& key, QRect rect, DrawFn draw = {}, bool onBackground = false);
    // A control that has a key in the layout file but no picture of its own.
    Element& control(const QString& key, QRect rect) { return add(key, rect); }
    // Decoration: drawn like an element but not written to the layout file.
    void decorate(QRect rect, DrawFn draw, bool onBackground = true);

    const std::vector<Element>& elements() const { return elements_; }
    const Element* find(const QString& key) const;

    // The dialog background: the base and the always-visible elements in their normal look.
    QImage background(int panel = 0) const;
    // A whole-window state picture. Layout rectangles count from 1, and a button placed at (x, y) shows
    // the picture from (x - 1, y - 1); so the picture is the window shifted up and left by one pixel.
    QImage statePicture(const Look& look) const;
    // Black inside the outline, pure white outside.
    QImage mask() const;

private:
    QImage render(const Look& look, bool backgroundOnly, QPoint shift) const;

    QSize size_;
    QPainterPath outline_;
    DrawFn base_;
    std::vector<Element> elements_;
};

} // namespace tarvik::skingen
