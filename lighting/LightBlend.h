// How the preview lays a key's light over its button. A plain alpha mix of a light colour with a dark key
// cap dulls it: red, green and blue come out olive, brown and purple. Adding the light to the cap, channel
// by channel and held at white, adds light the way light adds up: a dark cap takes the light's own hue, a
// white legend stays white, and black light leaves the cap as it is. The window draws with the painter's
// plus mode, which computes the same per pixel. (A screen blend looks nearly the same on these dark caps,
// but the painter has no fast path for it: on every key twenty times a second it cost more than the rest
// of the preview together.)
#pragma once

#include "lighting/Colour.h"

#include <cstdint>

namespace tarvik::lighting {

// How strongly the light is laid on (0..255): short of full, so that the cap's shading still shows
// through and a lit key keeps its shape.
inline constexpr uint8_t kLightStrength = 235;

// base + light, held at 255.
constexpr uint8_t addChannel(uint8_t base, uint8_t light) {
    const unsigned sum = unsigned{base} + unsigned{light};
    return static_cast<uint8_t>(sum > 255u ? 255u : sum);
}

constexpr Rgb addBlend(Rgb base, Rgb light) {
    return Rgb{addChannel(base.r, light.r), addChannel(base.g, light.g), addChannel(base.b, light.b)};
}

// The colour the window adds with the plus mode for a key lit with `light`.
constexpr Rgb lightOverlay(Rgb light) {
    return scaled(light, kLightStrength);
}

// A lit key's light covers its face one pixel in from the button's edge, less a square at each corner of
// that face (which reads as a rounded cap): the square's side for a face of this size, at most
// kMaxLightCorner.
inline constexpr int kMaxLightCorner = 3;
constexpr int lightCorner(int faceWidth, int faceHeight) {
    const int side = (faceWidth < faceHeight ? faceWidth : faceHeight) / 4;
    return side < kMaxLightCorner ? side : kMaxLightCorner;
}

// A pixel of the button's picture as it looks when lit.
constexpr Rgb litPixel(Rgb picture, Rgb light) {
    return addBlend(picture, lightOverlay(light));
}

} // namespace tarvik::lighting
