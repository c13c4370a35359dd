// Windows drawn smaller than their skin: a skin is laid out in pixels, and a screen's available area can
// be smaller than a window (a 1300 x 716 main window on a 1280 x 720 logical screen). The window is then
// drawn at one factor below 1, with every rectangle, picture, mask and hit area scaled by it. No Qt here.
#pragma once

#include "ui/SkinRect.h"

namespace tarvik::ui {

// The factor that makes width x height fit into the available area: 1 when it fits, else the smaller of
// the two ratios. An unknown area (zero or negative) leaves the window as it is.
double fitScale(int width, int height, int availableWidth, int availableHeight);

// A layout rectangle at the factor. Edges are scaled and rounded, not positions and sizes, so that
// controls that touch in the skin still touch and never overlap; a control keeps at least one pixel.
SkinRect scaleRect(const SkinRect& r, double scale);

} // namespace tarvik::ui
