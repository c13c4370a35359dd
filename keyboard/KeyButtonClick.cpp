#include "keyboard/KeyButtonClick.h"

namespace tarvik::keyboard {

ClickAction OnKeyButtonClicked(int controlId, const ClickState& state) {
    if (controlId == kMacroEditButtonId) {
        controlId = kG9ButtonId;
    }
    ClickAction action;
    action.controlId = controlId;
    const bool keyButton = KeyButtonPosition(controlId) >= 0;
    const bool gButton = GButtonNumber(controlId) > 0;

    // In the user lighting mode a key (or Fn) is painted, not assigned; G keys share one LED and skip it.
    if ((keyButton || controlId == kFnButtonId) && state.userLightingMode) {
        action.kind = ClickActionKind::PaintKey;
        action.ledPosition = LedPositionOfButton(controlId);
        return action;
    }
    if (!keyButton && !gButton) {
        return action;
    }
    action.slot = SlotOfButton(controlId, state.gKeyLayer);
    if (state.colourKeysMode) {
        action.kind = ClickActionKind::ToggleColourFlag;
        action.flagRecord = ColourKeyFlagRecord(controlId, state.gKeyLayer);
        return action;
    }
    action.kind = ClickActionKind::OpenDialog;
    action.macroOnly = controlId == kG9ButtonId;
    return action;
}

} // namespace tarvik::keyboard
