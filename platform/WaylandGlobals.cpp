#include "platform/WaylandGlobals.h"

#include "gtk-shell-client-protocol.h"
#include "keyboard-shortcuts-inhibit-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace tarvik {

namespace {

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* found = static_cast<WaylandGlobals*>(data);
    if (found->inhibitManager == nullptr &&
        std::strcmp(interface, zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name) == 0) {
        found->inhibitManager = static_cast<zwp_keyboard_shortcuts_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface, 1));
    } else if (found->gtkShell == nullptr && std::strcmp(interface, gtk_shell1_interface.name) == 0) {
        // Never above the version whose events our description knows.
        const uint32_t bound =
            std::min<uint32_t>(version, static_cast<uint32_t>(gtk_shell1_interface.version));
        found->gtkShell =
            static_cast<gtk_shell1*>(wl_registry_bind(registry, name, &gtk_shell1_interface, bound));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

} // namespace

const WaylandGlobals& waylandGlobals() {
    static const WaylandGlobals found = [] {
        WaylandGlobals g;
        QPlatformNativeInterface* n = QGuiApplication::platformNativeInterface();
        g.display = n ? static_cast<wl_display*>(n->nativeResourceForIntegration("wl_display")) : nullptr;
        if (g.display == nullptr) {
            return g;
        }
        g.queue = wl_display_create_queue(g.display);
        auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(g.display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), g.queue);
        wl_registry* registry = wl_display_get_registry(wrapped);
        wl_proxy_wrapper_destroy(wrapped);
        wl_registry_add_listener(registry, &kRegistryListener, &g);
        wl_display_roundtrip_queue(g.display, g.queue);
        wl_registry_destroy(registry);
        return g;
    }();
    return found;
}

wl_surface* waylandSurface(QWindow& window) {
    QPlatformNativeInterface* n = QGuiApplication::platformNativeInterface();
    return n ? static_cast<wl_surface*>(n->nativeResourceForWindow("surface", &window)) : nullptr;
}

wl_seat* waylandSeat() {
    QPlatformNativeInterface* n = QGuiApplication::platformNativeInterface();
    return n ? static_cast<wl_seat*>(n->nativeResourceForIntegration("wl_seat")) : nullptr;
}

void dropWaylandEvents() {
    const WaylandGlobals& g = waylandGlobals();
    if (g.display != nullptr) {
        wl_display_dispatch_queue_pending(g.display, g.queue);
    }
}

} // namespace tarvik
