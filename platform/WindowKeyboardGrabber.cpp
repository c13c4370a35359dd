#include "platform/WindowKeyboardGrabber.h"

#include "keyboard-shortcuts-inhibit-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <cstring>

namespace tarvik {

namespace {

// The compositor's inhibit manager, bound once per process on a queue of our own, so that binding it
// dispatches none of Qt's events. Null where the compositor does not offer the protocol.
struct InhibitManager {
    wl_display* display = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1* manager = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* found = static_cast<InhibitManager*>(data);
    if (found->manager == nullptr &&
        std::strcmp(interface, zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name) == 0) {
        found->manager = static_cast<zwp_keyboard_shortcuts_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

QPlatformNativeInterface* native() {
    return QGuiApplication::platformNativeInterface();
}

const InhibitManager& inhibitManager() {
    static const InhibitManager found = [] {
        InhibitManager m;
        QPlatformNativeInterface* n = native();
        m.display = n ? static_cast<wl_display*>(n->nativeResourceForIntegration("wl_display")) : nullptr;
        if (m.display == nullptr) {
            return m;
        }
        wl_event_queue* queue = wl_display_create_queue(m.display);
        auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(m.display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
        wl_registry* registry = wl_display_get_registry(wrapped);
        wl_proxy_wrapper_destroy(wrapped);
        wl_registry_add_listener(registry, &kRegistryListener, &m);
        wl_display_roundtrip_queue(m.display, queue);
        // The manager keeps the queue; its inhibitors' events are never read (nothing depends on them).
        wl_registry_destroy(registry);
        return m;
    }();
    return found;
}

} // namespace

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
    const InhibitManager& m = inhibitManager();
    auto* surface = static_cast<wl_surface*>(native()->nativeResourceForWindow("surface", window));
    auto* seat = static_cast<wl_seat*>(native()->nativeResourceForIntegration("wl_seat"));
    if (m.manager == nullptr || surface == nullptr || seat == nullptr) {
        return false;
    }
    inhibitor_ = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(m.manager, surface, seat);
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
        wl_display_flush(inhibitManager().display);
    }
}

} // namespace tarvik
