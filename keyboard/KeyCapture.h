// Key capture on Linux: a key event's native scan code (the X11/XKB key code, evdev code + 8) becomes
// the pair (virtual key, lParam) of a Windows keyboard message, so that the capture and recording code
// can use KeyCodeFromKeyMessage unchanged. Pure data and one function; the event filter lives with the
// windows.
#pragma once

#include "keyboard/KeyTable.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tarvik::keyboard {

struct EvdevKey {
    uint16_t evdev; // Linux input event code
    KeyCode key;    // set-1 key code with the extended flag 0x100
    uint8_t vk;     // Windows virtual key (0xFF: none)
};

// Sorted by evdev code.
std::span<const EvdevKey> EvdevCaptureTable();
// The row of an evdev code, or nullptr.
const EvdevKey* FindEvdevKey(uint16_t evdev);

struct KeyEventState {
    bool release = false;  // key up (transition bit 31)
    bool wasDown = false;  // the key was down before: auto-repeat or release (bit 30)
    bool ctrlHeld = false; // Pause with Ctrl is Break
    bool altHeld = false;  // Print Screen with Alt is Sys Req
    bool numLockOn = true; // keypad keys give their Num Lock-off virtual keys otherwise
};

struct KeyMessage {
    uint32_t vk = 0;
    uint32_t lParam = 0; // repeat count 1, scan code bits 16-23, extended bit 24, bits 30 and 31
    friend constexpr bool operator==(const KeyMessage&, const KeyMessage&) = default;
};

// The message for a native scan code; nothing for a code the capture table lacks.
std::optional<KeyMessage> KeyMessageFromNativeScanCode(uint32_t nativeScanCode, const KeyEventState& state);

} // namespace tarvik::keyboard
