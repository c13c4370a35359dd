#include "ui/ColourNames.h"

namespace tarvik::ui {

std::string_view nearestColourNameKey(uint32_t colorRef) {
    const int r = static_cast<int>(colorRef & 0xFF);
    const int g = static_cast<int>((colorRef >> 8) & 0xFF);
    const int b = static_cast<int>((colorRef >> 16) & 0xFF);
    // Weighted by how strongly the eye tells the channels apart, so dark blues do not read as black.
    const NamedColour* best = &kNamedColours[0];
    long bestDistance = -1;
    for (const NamedColour& c : kNamedColours) {
        const long dr = r - c.r;
        const long dg = g - c.g;
        const long db = b - c.b;
        const long distance = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = &c;
            bestDistance = distance;
        }
    }
    return best->key;
}

} // namespace tarvik::ui
