// What a click on the notification-area icon does. StatusNotifier hosts (most panels of today) report
// a left click as a trigger and never as a double click; an XEmbed tray reports the first press of a
// double click as a trigger and then the double click itself. Both kinds open the window once per
// gesture: a trigger opens it, and a double click opens it only when no trigger came just before.
// The middle button and the context menu open nothing here (the menu shows itself).
#pragma once

namespace tarvik::app {

// The reasons a tray reports, in the order of QSystemTrayIcon::ActivationReason.
enum class TrayActivation { Unknown, Context, DoubleClick, Trigger, MiddleClick };

class TrayClicks {
public:
    // True when this activation opens the main window.
    bool opens(TrayActivation reason);

private:
    bool afterTrigger_ = false;
};

} // namespace tarvik::app
