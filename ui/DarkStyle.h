// The one look of the standard widgets inside the skinned windows (lists, combo boxes, edit fields, menus,
// message boxes, tooltips), in the skin's colours, and the fonts every window draws its words with.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace tarvik::ui {

// The style sheet every window sets on itself.
const QString& darkStyleSheet();

namespace colour {
inline const QColor kText{0xe4, 0xe6, 0xea};
inline const QColor kCaption{0xc9, 0xcd, 0xd4};
inline const QColor kLabel{0xae, 0xb4, 0xbd};
inline const QColor kDim{0x6b, 0x71, 0x7b};
inline const QColor kAccent{0x38, 0xb6, 0xf0};
// The line inside the focus ring: where a face is as blue as the ring (a default button), it keeps the
// ring apart from the face.
inline const QColor kRingInner{0x0b, 0x0c, 0x0e};
} // namespace colour

// A font for window texts at a pixel size: a Latin face first and a face with the Chinese glyphs after
// it, so that Chinese texts never show as boxes.
QFont skinFont(double pixelSize, bool bold = false);
// The same face list at a point size (buttons whose caption size the skin gives in points).
QFont skinPointFont(double pointSize, bool bold = false);

} // namespace tarvik::ui
