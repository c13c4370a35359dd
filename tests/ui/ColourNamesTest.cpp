#include "ui/ColourNames.h"

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

// Colours as 0x00BBGGRR, the form the colour buttons hand around.
TEST(ColourNames, NearestNamedColour) {
    const struct {
        uint32_t colorRef;
        std::string_view key;
    } cases[] = {
        {0x0000FF, "COLOUR_RED"},    // exact, red in the low byte
        {0xFF0000, "COLOUR_BLUE"},   // exact, blue in the high byte
        {0x0101FE, "COLOUR_RED"},    // a shade off
        {0x00FFFF, "COLOUR_YELLOW"}, // red + green
        {0x600000, "COLOUR_NAVY"},   // a dark blue is not black
        {0x202020, "COLOUR_BLACK"},  // a dark grey is
        {0xCBC0FF, "COLOUR_PINK"},   // the table's pink, byte order turned
        {0xFFFFFF, "COLOUR_WHITE"},  // no byte spills past the three channels
        {0xFF0000FF, "COLOUR_RED"},  // high byte ignored
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nearestColourNameKey(c.colorRef), c.key) << std::hex << c.colorRef;
    }
}

TEST(ColourNames, EveryNamedColourIsItsOwnNearest) {
    for (const NamedColour& c : kNamedColours) {
        const uint32_t ref = c.r | (uint32_t{c.g} << 8) | (uint32_t{c.b} << 16);
        EXPECT_EQ(nearestColourNameKey(ref), c.key);
    }
}

} // namespace
} // namespace tarvik::ui
