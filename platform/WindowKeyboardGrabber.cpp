#include "platform/WindowKeyboardGrabber.h"

#include "keyboard-shortcuts-inhibit-unstable-v1-client-protocol.h"
#include "platform/WaylandGlobals.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <wayland-client.h>

namespace tarvik {

WindowKeyboardGrabber::WindowKeyboardGrabber(QWidget& window) : window_(window) {}

WindowKeyboardGrabber::~WindowKeyboardGrabber() {
    release();
}

bool WindowKeyboardGrabber::scopedToFocus() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowKeyboardGrabber::grab() {
    QWindow* window = window_.windowHandle();
    if (window == nullptr || !window->isVisible()) {
        return false;
    }
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        x11Grab_ = window->setKeyboardGrabEnabled(true);
        return x11Grab_;
    }
    if (!scopedToFocus()) {
        return false;
    }
    const WaylandGlobals& m = waylandGlobals();
    wl_surface* surface = waylandSurface(*window);
    wl_seat* seat = waylandSeat();
    if (m.inhibitManager == nullptr || surface == nullptr || seat == nullptr) {
        return false;
    }
    dropWaylandEvents();
    inhibitor_ = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(m.inhibitManager, surface, seat);
    wl_display_flush(m.display);
    return inhibitor_ != nullptr;
}

void WindowKeyboardGrabber::release() {
    if (x11Grab_) {
        x11Grab_ = false;
        if (QWindow* window = window_.windowHandle()) {
            window->setKeyboardGrabEnabled(false);
        }
    }
    if (inhibitor_ != nullptr) {
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(inhibitor_);
        inhibitor_ = nullptr;
        wl_display_flush(waylandGlobals().display);
    }
}

} // namespace tarvik
