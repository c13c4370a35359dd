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

// A word of the interface drawn by the program over the dialog in the active language, instead of being
// baked into a picture: written to the layout file's "CAPTIONS" section as
// textKey = x,y,w,h,pixelSize,align,style.
enum class Align { Left, Center, Right };
enum class CaptionStyle {
    Title,   // a dialog's title, next to its icon
    Caption, // the heading of a group of controls
    Label,   // the text on a button face
};

struct Caption {
    QString textKey; // key of the text in the language file
    QRect rect;      // in window coordinates, like the "BUTTONINFO" rectangles
    int pixelSize;
    Align align;
    CaptionStyle style;
    // The "BUTTONINFO" key of the control the caption belongs to (written to "CAPTION_OWNERS"): it is
    // shown while that control is, moves with it and looks disabled while it is. Empty for captions
    // that always show.
    QString owner;
};

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

    // A caption in the default style size of its kind.
    void caption(const QString& textKey, QRect rect, CaptionStyle style, Align align = Align::Left,
                 const QString& owner = {});

    const std::vector<Element>& elements() const { return elements_; }
    const std::vector<Caption>& captions() const { return captions_; }
    const Element* find(const QString& key) const;

    // Every picture comes at a scale of 1 or 2 device pixels per layout pixel; drawing code works in
    // layout pixels either way.
    // The dialog background: the base and the always-visible elements in their normal look.
    QImage background(int panel = 0, int scale = 1) const;
    // A whole-window state picture. Layout rectangles count from 1, and a button placed at (x, y) shows
    // the picture from (x - 1, y - 1); so the picture is the window shifted up and left by one layout
    // pixel.
    QImage statePicture(const Look& look, int scale = 1) const;
    // Black inside the outline, pure white outside, one bit per pixel.
    QImage mask(int scale = 1) const;

private:
    QImage render(const Look& look, bool backgroundOnly, QPoint shift, int scale) const;

    QSize size_;
    QPainterPath outline_;
    DrawFn base_;
    std::vector<Element> elements_;
    std::vector<Caption> captions_;
};

// The pixel size each caption style is drawn in.
int captionPixelSize(CaptionStyle style);
QString alignName(Align align);
QString styleName(CaptionStyle style);

} // namespace tarvik::skingen
