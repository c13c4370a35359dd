#include "lighting/KeyButtons.h"

#include "keyboard/Layout.h"

namespace tarvik::lighting {

static_assert(kKeyButtonCount == static_cast<int>(keyboard::kKeyButtonCount));
static_assert(kGButtonCount == static_cast<int>(keyboard::kGKeyCount));
static_assert(kGLedPosition == keyboard::kGKeyLedPosition);
static_assert(kFnLedPosition == keyboard::kFnLedPosition);

int ledOfButton(int button) {
    if (button >= 0 && button < kKeyButtonCount) {
        return keyboard::KeyButtons()[static_cast<size_t>(button)].ledPosition;
    }
    if (button >= kFirstGButton && button < kFnButton) {
        return kGLedPosition;
    }
    if (button == kFnButton) {
        return kFnLedPosition;
    }
    return -1;
}

int buttonOfControl(int controlId) {
    if (int p = keyboard::KeyButtonPosition(controlId); p >= 0) {
        return p;
    }
    if (int g = keyboard::GButtonNumber(controlId); g > 0) {
        return kFirstGButton + g - 1;
    }
    if (controlId == keyboard::kFnButtonId) {
        return kFnButton;
    }
    return -1;
}

} // namespace tarvik::lighting
