// The four dialogs of the skin, the lighting panel's pictures and the icons, each written into the
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
void writeIcons(Output& out);

// "BUTTONINFO" of a scene, one key per placed element in scene order.
void writeButtonInfo(const Scene& scene, IniText& ini);

} // namespace tarvik::skingen
