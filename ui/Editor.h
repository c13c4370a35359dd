// A window that the exit sequence and a vanished keyboard ask to close: the About box, the profile
// manager, the composite key dialog, the update dialog. Pure, so the main window's decisions can be
// tested without a display.
#pragma once

#include <string_view>

namespace tarvik::ui {

class Editor {
public:
    virtual ~Editor() = default;
    // Closes the window when it is open. False when it refuses; an exit is then cancelled.
    virtual bool requestClose() = 0;
    virtual bool isOpen() const = 0;
    // The language key of the question asked before closing drops edits not kept yet; empty while there
    // are none (or the window has nothing to keep).
    virtual std::string_view unsavedEditsQuestion() const { return {}; }
    // Keeps those edits the way the window's own Apply does; the window is asked to close afterwards.
    virtual void saveEdits() {}
};

} // namespace tarvik::ui
