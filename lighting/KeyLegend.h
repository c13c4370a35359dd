// Where a key's legend lies on its face, found in the face's picture: the pixels brighter than the cap,
// each with how much of it is legend (anti-aliased edges are partly cap). The preview lays the dark
// or light legend (LegendContrast.h) over exactly these pixels, the same way whether the light layer writes
// the window's picture or a button paints itself: the ink over the lit face with the pixel's weight as alpha.
#pragma once

#include "lighting/Colour.h"
#include "lighting/LegendContrast.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

class QPainter;

namespace tarvik::lighting {

struct KeyLegend {
    struct Pixel {
        uint16_t x = 0; // in the face
        uint16_t y = 0;
        uint8_t weight = 0; // 255: wholly legend
    };
    std::vector<Pixel> pixels;
    QSize face;
    Rgb cap; // the cap's own colour (the face's median)
    Rgb ink; // the legend's colour (the face's brightest)

    bool empty() const { return pixels.empty(); }
};

// The legend of the face `face` (picture coordinates) of a picture; empty for a blank cap.
KeyLegend findKeyLegend(const QImage& picture, const QRect& face);

// The legend inked (Dark or Light) as a picture of the face's size for a painter: the ink with the
// pixels' weights as alpha.
QImage legendShade(const KeyLegend& legend, LegendInk ink);

// Inks the legend's pixels (Dark or Light) in a picture of four-byte pixels whose face lies at `at`,
// inside `clip` (picture coordinates), as a painter laying legendShade() over it would.
void inkLegend(uchar* bits, qsizetype stride, QPoint at, const KeyLegend& legend, LegendInk ink,
               const QRect& clip);

} // namespace tarvik::lighting
