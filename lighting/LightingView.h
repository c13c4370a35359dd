// What the lighting panel must show after an operation. The main window only draws this: it shows the
// controls in `visible` and hides every other lighting control, moves the direction controls to the
// rectangles of `directionKeys`, and sets the named pictures.
#pragma once

#include "lighting/Colour.h"
#include "lighting/LightingPanelIds.h"
#include "lighting/UserLighting.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace tarvik::lighting {

enum class KeyLook {
    Plain,         // the key buttons show their plain skin images (and their assignments)
    Preview,       // the preview tints them frame by frame
    StoredColours, // user mode: each key button is tinted with its stored colour
};

struct LightingView {
    bool panelOn = false;
    ControlSet visible;
    int modeIndex = -1; // the selected entry of the mode list, -1 when the current mode is not listed
    uint8_t mode = 0;

    DirectionKeys directionKeys = kDirectionKeysPlain; // for controls 1148, 1149, 1150
    std::string_view direction1Picture;                // on 1149
    std::string_view direction0Picture;                // on 1150

    int brightnessPosition = 0;
    std::string_view brightnessPicture;
    int speedPosition = 0;
    std::string_view speedPicture;

    Rgb effectColour; // both effect colour buttons (1155 and 1152)
    std::string_view randomPicture;
    std::array<std::string_view, 4> presetPictures; // on 1194..1197

    std::string_view panelOnPicture;  // on 1167
    std::string_view panelOffPicture; // on 1210

    KeyLook keys = KeyLook::Plain;
    bool previewRunning = false; // the 50 ms preview timer runs
    // A click on a key button or Fn paints it (the panel is on and the mode list shows the user mode);
    // otherwise clicks go to key assignment. The main window's click rule takes this as its user
    // lighting mode.
    bool keyClicksPaint = false;

    UserModeView user; // the user-mode controls, when visible
};

} // namespace tarvik::lighting
