// A source of focus changes: it says which application's window came to the front, as the desktop tells
// it (never by asking again and again). Each desktop has its own: X11 through the root window's active
// window, wlroots compositors through their foreign toplevel manager, KDE Plasma through a KWin script and
// GNOME Shell through an extension, both of which report to the program's session-bus service.
#pragma once

#include "appprofiles/AppRules.h"

#include <QString>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace tarvik::appprofiles {

class FocusWatcher {
public:
    using Report = std::function<void(const WindowIdentity&)>;
    virtual ~FocusWatcher() = default;
    // Starts watching; false with why() when this desktop does not offer it.
    virtual bool start(Report report) = 0;
    // What the window says it watches through ("X11", "KWin script", ...).
    virtual QString name() const = 0;
    // Why start() failed, or what the user must do (an extension to enable); empty when all is well.
    virtual QString why() const { return {}; }
    // When the user can mend it: the language key of the advice, with why() for its %s.
    virtual std::string_view adviceKey() const { return {}; }
    // The applications that have windows now, where the desktop tells.
    virtual std::vector<WindowIdentity> openWindows() const { return {}; }
    // A focus report from the program's bus service (the KWin script, the GNOME extension).
    virtual void reported(const WindowIdentity&) {}
};

// The watcher for the desktop this program runs on (from XDG_CURRENT_DESKTOP, WAYLAND_DISPLAY and
// DISPLAY), not started yet. programFolder holds focus/ with the KWin script.
std::unique_ptr<FocusWatcher> watcherForDesktop(const QString& programFolder);

// A desktop notification (org.freedesktop.Notifications), without waiting for it; nothing where the
// desktop has no notification service.
void notifyDesktop(const QString& title, const QString& text);

} // namespace tarvik::appprofiles
