// The dialogs of the skin, the lighting panel's pictures and the icons, each written into the
// output folder with its layout file.
#pragma once

#include "tools/skingen/Output.h"
#include "tools/skingen/Scene.h"

namespace tarvik::skingen {

// The main window's scene (also used to size the lighting panel's pictures).
Scene mainScene();

void writeMainSkin(Output& out);
void writeLightingPictures(Output& out, const Scene& main);
void writeCompositeSkin(Output& out);
void writeProfileSkin(Output& out);
void writeUpdateSkin(Output& out);
void writeAppRulesSkin(Output& out);
void writeIcons(Output& out);
// The program icon for the desktop's icon theme: hicolor/SIZExSIZE/apps/tarvik.png and
// hicolor/scalable/apps/tarvik.svg.
void writeThemeIcons(Output& out);

// "BUTTONINFO" of a scene, one key per placed element in scene order.
void writeButtonInfo(const Scene& scene, IniText& ini);
// "CAPTIONS" of a scene (textKey = x,y,w,h,pixelSize,align,style) and "CAPTION_OWNERS" (textKey = the
// "BUTTONINFO" key of the control the caption belongs to) for those that have an owner.
void writeCaptions(const Scene& scene, IniText& ini);

// Where a caption picture of the lighting panel draws its icon inside the control's rectangle; the
// caption's word starts to the right of it.
QRectF captionIconBox(const QRectF& controlRect);
// The rectangle left for the word of a caption picture placed at controlRect.
QRect captionTextRect(const QRect& controlRect);

} // namespace tarvik::skingen
