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
    Rgb cap; // the cap's own colour (the face's median)
    Rgb ink; // the legend's colour (the face's brightest)
    // The face's size: black and white with the pixels' weights as alpha, for a painter.
    QImage darkShade;
    QImage lightShade;

    bool empty() const { return pixels.empty(); }
    const QImage& shade(LegendInk ink) const { return ink == LegendInk::Dark ? darkShade : lightShade; }
};

// The legend of the face `face` (picture coordinates) of a picture; empty for a blank cap.
KeyLegend findKeyLegend(const QImage& picture, const QRect& face);

// Inks the legend's pixels (Dark or Light) in a picture of four-byte pixels whose face lies at `at`,
// inside `clip` (picture coordinates), as a painter laying `shade(ink)` over it would.
void inkLegend(uchar* bits, qsizetype stride, QPoint at, const KeyLegend& legend, LegendInk ink,
               const QRect& clip);

} // namespace tarvik::lighting
