// Words for colours, so a screen reader can say "red, #FF0000" where the window only shows a swatch: a
// small table of named colours and the one nearest to any colour. The names live in the language file.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvik::ui {

struct NamedColour {
    std::string_view key; // language file key of the name
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

inline constexpr NamedColour kNamedColours[] = {
    {"COLOUR_BLACK", 0x00, 0x00, 0x00},      {"COLOUR_GREY", 0x80, 0x80, 0x80},
    {"COLOUR_WHITE", 0xFF, 0xFF, 0xFF},      {"COLOUR_RED", 0xFF, 0x00, 0x00},
    {"COLOUR_DARK_RED", 0x80, 0x00, 0x00},   {"COLOUR_ORANGE", 0xFF, 0x80, 0x00},
    {"COLOUR_YELLOW", 0xFF, 0xFF, 0x00},     {"COLOUR_GREEN", 0x00, 0xFF, 0x00},
    {"COLOUR_DARK_GREEN", 0x00, 0x80, 0x00}, {"COLOUR_CYAN", 0x00, 0xFF, 0xFF},
    {"COLOUR_BLUE", 0x00, 0x00, 0xFF},       {"COLOUR_NAVY", 0x00, 0x00, 0x80},
    {"COLOUR_PURPLE", 0x80, 0x00, 0x80},     {"COLOUR_MAGENTA", 0xFF, 0x00, 0xFF},
    {"COLOUR_PINK", 0xFF, 0xC0, 0xCB},       {"COLOUR_BROWN", 0x8B, 0x45, 0x13}};

// The language key of the named colour nearest to a 0x00BBGGRR colour.
std::string_view nearestColourNameKey(uint32_t colorRef);

} // namespace tarvik::ui
