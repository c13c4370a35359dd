// The one keyboard geometry every skin picture and layout file is drawn from: a full-size ANSI board
// with the nine G keys in a column at its left. Positions are in key units (1 u = the width of a letter
// key); the rows follow the keyboard's 6 x 21 LED matrix, so a key's LED column also orders it in its
// row. No Qt here, so tests can check the geometry on its own.
#pragma once

#include <span>
#include <string>

namespace tarvik::skingen {

struct KeyGeometry {
    const char* skinName; // "KEY_%03X", "FUNC_G%d" or "KEY_FN"
    int ledPosition;      // row x 21 + column
    double x, y;          // top-left corner in key units, y counted from the top of the function row
    double w, h;          // size in key units
    const char* legend;   // main legend; "\n" separates two lines of a word legend
    const char* shifted;  // legend of the shifted character above the main one, or nullptr
};

// The 104 key buttons.
std::span<const KeyGeometry> keyButtons();
// G1 .. G9, top to bottom. Their y and h are in key units of the same board; they share LED 125.
std::span<const KeyGeometry> gButtons();
// The Fn key between Right Alt and App (LED 110).
const KeyGeometry& fnButton();

// Width and height of the key field right of the G column, in key units.
inline constexpr double kMainBlockWidth = 22.5;
inline constexpr double kMainBlockHeight = 6.5;
// The G column: its width and the gap between it and the main block, in key units.
inline constexpr double kGColumnWidth = 1.25;
inline constexpr double kGColumnGap = 0.5;

// A key's rectangle in pixels: the key unit is unit pixels, keys are separated by gap pixels.
struct PixelRect {
    int x, y, w, h;
};
PixelRect toPixels(const KeyGeometry& key, int originX, int originY, int unit, int gap);

} // namespace tarvik::skingen
