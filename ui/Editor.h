// A window that the exit sequence and a vanished keyboard ask to close: the About box, the profile
// manager, the composite key dialog, the update dialog. Pure, so the main window's decisions can be
// tested without a display.
#pragma once

namespace tarvik::ui {

class Editor {
public:
    virtual ~Editor() = default;
    // Closes the window when it is open. False when it refuses; an exit is then cancelled.
    virtual bool requestClose() = 0;
    virtual bool isOpen() const = 0;
};

} // namespace tarvik::ui
