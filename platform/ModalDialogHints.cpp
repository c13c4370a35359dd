#include "platform/ModalDialogHints.h"

#include "gtk-shell-client-protocol.h"
#include "platform/WaylandGlobals.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <wayland-client.h>

namespace tarvik {

ModalDialogHints::ModalDialogHints() = default;

ModalDialogHints::~ModalDialogHints() {
    while (!marked_.empty()) {
        forget(marked_.begin()->first);
    }
}

bool ModalDialogHints::applies() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool ModalDialogHints::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Expose && type != QEvent::Hide) {
        return false;
    }
    auto* window = qobject_cast<QWindow*>(watched);
    if (window == nullptr) {
        return false;
    }
    if (type != QEvent::Expose) {
        forget(window);
    } else if (window->isExposed() && !marked_.contains(window) && window->modality() != Qt::NonModal &&
               window->transientParent() != nullptr) {
        // Seen before the window draws: the mark reaches the compositor ahead of the first picture, when
        // the window is placed.
        mark(*window);
    }
    return false;
}

void ModalDialogHints::mark(QWindow& window) {
    const WaylandGlobals& g = waylandGlobals();
    wl_surface* surface = waylandSurface(window);
    if (g.gtkShell == nullptr || surface == nullptr) {
        return;
    }
    dropWaylandEvents();
    gtk_surface1* hint = gtk_shell1_get_gtk_surface(g.gtkShell, surface);
    gtk_surface1_set_modal(hint);
    wl_display_flush(g.display);
    marked_.emplace(
        &window, Mark{hint, connect(&window, &QObject::destroyed, this, [this, w = &window] { forget(w); })});
}

void ModalDialogHints::forget(QWindow* window) {
    const auto it = marked_.find(window);
    if (it == marked_.end()) {
        return;
    }
    // Version 2 has no request to end the object: it goes with its surface, and only our side is freed.
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(it->second.hint));
    disconnect(it->second.windowGone);
    marked_.erase(it);
}

} // namespace tarvik
