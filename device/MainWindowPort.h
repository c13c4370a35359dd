// What the device link needs from the main window. The window implements it; workers and the service
// library's threads call it, so every function may be called from any thread.
//
// Closing: LinkSession::close() (the window calls it on its way out, on the user-interface thread) first
// stops calling the port, then calls closePort(). A port whose sendMessage waits for the user-interface
// thread must make that wait end there, since that thread is the one closing and will not serve it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvik::device {

// Private window messages and the four-character codes their handlers insist on in wParam.
// MSG_PROFILE_SYNC: a keyboard arrived; reload profile, key blocks, macros and lighting from it.
// MSG_DEVICE_LOST (wParam 0): the keyboard went away; close the open editors.
// MSG_KEYMODE_CHANGED: the G-key layer changed (AppLinkState::linkStatusMode bit 0); redraw the G buttons
// and the layer indicator.
inline constexpr uint32_t MSG_OPEN = 0x5350;
inline constexpr uint32_t MSG_KILL = 0x4D4B;
inline constexpr uint32_t MSG_INIT = 0x4D4E;
inline constexpr uint32_t MSG_PROFILE_SYNC = 0x5452;
inline constexpr uint32_t MSG_KEYMODE_CHANGED = 0x5045;
inline constexpr uint32_t MSG_DEVICE_LOST = 0x4753;

inline constexpr uint32_t kCodeOpen = 0x4F50454E; // OPEN
inline constexpr uint32_t kCodeKill = 0x4C4C494B; // K I L L in memory order
inline constexpr uint32_t kCodeInit = 0x494E4954; // INIT
inline constexpr uint32_t kCodeProf = 0x50524F46; // PROF
inline constexpr uint32_t kCodeLed = 0x004C4544;  // LED

// Notification-area icons.
inline constexpr int kIconNoKeyboard = 128;
inline constexpr int kIconKeyboard = 141;
inline constexpr int kIconActivity = 142;

// The main window's timer that reloads the lighting panel after a lighting change on the keyboard.
inline constexpr int kTimerLightingReload = 1051;

class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;
    // Handled on the user-interface thread; returns when the handler has finished.
    virtual intptr_t sendMessage(uint32_t message, uint32_t wParam) = 0;
    // Queued for the user-interface thread; returns at once.
    virtual void postMessage(uint32_t message, uint32_t wParam) = 0;
    virtual void hide() = 0;
    // Set once the window has finished its initialisation.
    virtual bool isReady() const = 0;
    // Shows one of the notification-area icons (kIcon*); nothing happens when it is shown already.
    virtual void setIcon(int iconId) = 0;
    // Called on the service library's thread: must not wait for the user-interface thread.
    virtual void startTimer(int timerId, int periodMs) = 0;
    // A message box with an OK button and the text of this language key.
    virtual void showMessage(std::string_view languageKey) = 0;
    // The link is closing: every call from now on returns at once, and a sendMessage still waiting for
    // the user-interface thread returns too (with 0). Called once, on the thread that closes the link.
    virtual void closePort() {}
};

} // namespace tarvik::device
