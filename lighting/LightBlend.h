// How the preview lays a key's light over its button. A plain alpha mix of a light colour with a dark key
// cap dulls it: red, green and blue come out olive, brown and purple. A screen blend adds light the way
// light adds up: a dark cap takes the light's own hue, a white legend stays white, and black light leaves
// the cap as it is. The window draws with the painter's screen mode, which computes the same per pixel.
#pragma once

#include "lighting/Colour.h"

#include <cstdint>

namespace tarvik::lighting {

// How strongly the light is laid on (0..255): short of full, so that the cap's shading still shows
// through and a lit key keeps its shape.
inline constexpr uint8_t kLightStrength = 235;

// 255 - (255 - base)(255 - light) / 255, rounded to nearest.
constexpr uint8_t screenChannel(uint8_t base, uint8_t light) {
    const unsigned dark = (255u - base) * (255u - light);
    return static_cast<uint8_t>(255u - (dark + 127u) / 255u);
}

constexpr Rgb screenBlend(Rgb base, Rgb light) {
    return Rgb{screenChannel(base.r, light.r), screenChannel(base.g, light.g),
               screenChannel(base.b, light.b)};
}

// The colour the window lays on with the screen mode for a key lit with `light`.
constexpr Rgb lightOverlay(Rgb light) {
    return scaled(light, kLightStrength);
}

// A pixel of the button's picture as it looks when lit.
constexpr Rgb litPixel(Rgb picture, Rgb light) {
    return screenBlend(picture, lightOverlay(light));
}

} // namespace tarvik::lighting
