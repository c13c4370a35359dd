// The desktop's hold of the keyboard for one window (the Qt half of platform/KeyboardHold.h):
//   X11       an active keyboard grab of the window (the server then hands every key to it, also those
//             the window manager or a screenshot tool bound for themselves);
//   Wayland   the keyboard-shortcuts-inhibit protocol, where the compositor offers it: while the window
//             has the keyboard focus, the compositor's own shortcuts stay off (Qt 6.4 does not expose
//             the protocol, so it is spoken here on Qt's own connection);
//   others    no hold: grab() says false.
// User-interface thread only; the window must be shown for a grab to succeed.
#pragma once

#include "platform/KeyboardHold.h"

class QWidget;
struct zwp_keyboard_shortcuts_inhibitor_v1;

namespace tarvik {

class WindowKeyboardGrabber final : public KeyboardGrabber {
public:
    explicit WindowKeyboardGrabber(QWidget& window);
    WindowKeyboardGrabber(const WindowKeyboardGrabber&) = delete;
    WindowKeyboardGrabber& operator=(const WindowKeyboardGrabber&) = delete;
    ~WindowKeyboardGrabber() override;

    bool grab() override;
    void release() override;
    // True where the desktop applies the hold only while the window has the keyboard focus (Wayland):
    // it may then be asked for as soon as the window shows, before the first key can arrive.
    static bool scopedToFocus();

private:
    QWidget& window_;
    bool x11Grab_ = false;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor_ = nullptr; // held on Wayland
};

} // namespace tarvik
