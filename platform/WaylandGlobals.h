// The Wayland globals this program speaks itself on Qt's own connection (Qt 6.4 exposes neither): the
// keyboard-shortcuts inhibit manager and GNOME's gtk_shell1. Bound once per process, on a queue of our
// own so that binding them dispatches none of Qt's events; a global the compositor does not offer is null,
// and all are null off Wayland. User-interface thread only.
#pragma once

class QWindow;
struct wl_display;
struct wl_event_queue;
struct wl_seat;
struct wl_surface;
struct gtk_shell1;
struct zwp_keyboard_shortcuts_inhibit_manager_v1;

namespace tarvik {

struct WaylandGlobals {
    wl_display* display = nullptr;
    wl_event_queue* queue = nullptr; // every object made from these globals sends its events here
    zwp_keyboard_shortcuts_inhibit_manager_v1* inhibitManager = nullptr;
    gtk_shell1* gtkShell = nullptr;
};

const WaylandGlobals& waylandGlobals();

// Qt's surface of a shown window and Qt's seat; null off Wayland.
wl_surface* waylandSurface(QWindow& window);
wl_seat* waylandSeat();

// Throws away the events that arrived for our objects (none of them is listened to), so that they do not
// pile up in the queue over a long session.
void dropWaylandEvents();

} // namespace tarvik
