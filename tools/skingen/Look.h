// The look of the skin: one dark palette with a single accent colour, and the drawing of the pieces
// every dialog is made of (window frame, panels, fields, buttons, key caps, small line icons).
#pragma once

#include "tools/skingen/Scene.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <functional>

class QPainter;

namespace tarvik::skingen {

namespace colour {
inline const QColor windowTop{0x16, 0x18, 0x1c};
inline const QColor windowBottom{0x0e, 0x0f, 0x12};
inline const QColor frame{0x2c, 0x30, 0x38};
inline const QColor panel{0x19, 0x1c, 0x21}; // flat, so picture controls blend into it
inline const QColor panelBorder{0x27, 0x2b, 0x32};
inline const QColor well{0x10, 0x12, 0x15};
inline const QColor text{0xe4, 0xe6, 0xea};
inline const QColor textDim{0x8f, 0x95, 0x9e};
inline const QColor textFaint{0x55, 0x5a, 0x63};
inline const QColor accent{0x38, 0xb6, 0xf0};
inline const QColor accentDeep{0x1b, 0x6f, 0x9e};
inline const QColor button{0x24, 0x28, 0x2f};
inline const QColor buttonHover{0x2f, 0x34, 0x3d};
inline const QColor buttonDown{0x17, 0x1a, 0x1f};
inline const QColor buttonBorder{0x37, 0x3c, 0x46};
inline const QColor disabledFill{0x1b, 0x1d, 0x21};
inline const QColor disabledBorder{0x25, 0x28, 0x2d};
} // namespace colour

// A line icon drawn into a box in one colour.
using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

QFont uiFont(double pixelSize, bool bold = false);
QColor mix(const QColor& a, const QColor& b, double t);

void drawWindowFrame(QPainter& p, const QRectF& r, double radius);
void drawPanel(QPainter& p, const QRectF& r, double radius = 10);
void drawWell(QPainter& p, const QRectF& r, double radius = 6);
void drawText(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, double pixelSize,
              bool bold = false, int flags = 0x84 /* Qt::AlignCenter */);
// The product word mark with its accent bar.
void drawWordMark(QPainter& p, const QRectF& r, double pixelSize, const QColor& colour);

enum class ButtonKind { Plain, Primary, Tab, Flat };
// A button face in the given state, with an optional icon and label drawn in the state's colour.
// Labels are only baked into buttons whose text does not come from the language file.
void drawButton(QPainter& p, const QRectF& r, const Look& look, ButtonKind kind, const Glyph& glyph = {},
                const QString& label = {});
QColor contentColour(State state, ButtonKind kind);

// A key cap with depth: skirt, top face and legend. shifted is the upper legend of two-symbol keys.
void drawKeyCap(QPainter& p, const QRectF& r, const QString& legend, const QString& shifted, State state,
                bool macroKey = false);

namespace glyph {
Glyph close();
Glyph minimize();
Glyph menu();
Glyph help();
Glyph globe();
Glyph community();
Glyph picture();
Glyph arrowLeft();
Glyph arrowRight();
Glyph arrowUp();
Glyph arrowDown();
Glyph toTop();
Glyph toBottom();
Glyph plus();
Glyph minus();
Glyph record();
Glyph trash();
Glyph sweep();
Glyph restore();
Glyph keyboard();
Glyph folder();
Glyph download();
Glyph shield();
Glyph check();
Glyph cross();
Glyph layers();
Glyph macro();
Glyph media();
Glyph function();
Glyph brush();
Glyph bucket();
Glyph dice();
Glyph bulb();
Glyph sun();
Glyph gauge();
Glyph compass();
Glyph palette();
Glyph outward();
Glyph inward();
} // namespace glyph

} // namespace tarvik::skingen
