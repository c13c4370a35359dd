// Which ink a lit key's legend reads in. The preview adds a key's light to its cap (LightBlend.h): on a
// dark cap the printed light-grey legend stays readable, but a bright light (yellow, cyan, light green,
// white) lifts the cap nearly to the legend's own brightness. The measure is the contrast ratio of the
// web's accessibility guidelines: below 4.5:1 the legend is drawn black or white instead, whichever
// stands out more; one of the two always reaches 4.58:1.
#pragma once

#include "lighting/Colour.h"
#include "lighting/LightBlend.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarvik::lighting {

inline constexpr double kLeastLegendContrast = 4.5;
inline constexpr Rgb kDarkLegend{0, 0, 0};
inline constexpr Rgb kLightLegend{255, 255, 255};

enum class LegendInk { Printed, Dark, Light };

// Relative luminance of an sRGB colour, 0 (black) to 1 (white). The preview asks it for every key on
// every frame: the channel's linear value comes from a table made once.
inline double relativeLuminance(Rgb c) {
    static const std::array<double, 256> linear = [] {
        std::array<double, 256> t{};
        for (size_t v = 0; v < t.size(); ++v) {
            const double s = static_cast<double>(v) / 255.0;
            t[v] = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    return 0.2126 * linear[c.r] + 0.7152 * linear[c.g] + 0.0722 * linear[c.b];
}

// 1 (none) to 21 (black on white).
inline double contrastRatio(Rgb a, Rgb b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The ink of a key whose cap and printed legend are `cap` and `ink`, lit with `light`.
inline LegendInk legendInk(Rgb cap, Rgb ink, Rgb light) {
    const Rgb litCap = litPixel(cap, light);
    if (contrastRatio(litPixel(ink, light), litCap) >= kLeastLegendContrast) {
        return LegendInk::Printed;
    }
    return contrastRatio(kDarkLegend, litCap) >= contrastRatio(kLightLegend, litCap) ? LegendInk::Dark
                                                                                     : LegendInk::Light;
}

} // namespace tarvik::lighting
