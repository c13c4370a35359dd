// What a click on a key button, a G button or the Fn button asks the main window to do. The decision is
// pure; the main window carries it out (paints, toggles and shows the flag, runs the composite dialog).
#pragma once

#include "keyboard/Layout.h"

namespace tarvik::keyboard {

struct ClickState {
    bool userLightingMode = false; // per-key colours: key buttons and Fn paint instead
    bool colourKeysMode = false;   // the main window's colour-keys edit mode
    int gKeyLayer = 0;             // bit 0 of the keyboard's mode byte
};

enum class ClickActionKind {
    Nothing,
    PaintKey,         // paint the key at ledPosition
    ToggleColourFlag, // invert the flag word of record flagRecord of the current profile
    OpenDialog,       // run the composite key dialog for slot (macroOnly: locked to its macro panel)
};

struct ClickAction {
    ClickActionKind kind = ClickActionKind::Nothing;
    int controlId = 0; // the button that stands for the click (G9 for the macro-edit button)
    int ledPosition = 0;
    int slot = -1;
    int flagRecord = -1;
    bool macroOnly = false;

    friend bool operator==(const ClickAction&, const ClickAction&) = default;
};

ClickAction OnKeyButtonClicked(int controlId, const ClickState& state);

// The inverted colour-keys flag word: non-zero becomes 0, zero becomes 1.
constexpr uint32_t ToggledColourFlag(uint32_t flag) {
    return flag != 0 ? 0u : 1u;
}

} // namespace tarvik::keyboard
