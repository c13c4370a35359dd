// What the main window's decisions ask of the window: MainHub decides, the Qt window (MainWindow) draws
// and opens, tests record. Every call is made on the user-interface thread.
#pragma once

#include "profiles/ProfileSwitcher.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::app {

// Which key dialog a click opens: the same three values travel from the hub through the window and its
// sub-windows to the dialog, so they are named rather than passed in an order each seam could swap.
struct KeyDialogRequest {
    int slot = 0;      // the key's assignment slot
    int controlId = 0; // the clicked button, which the dialog is placed beside
    bool macroOnly = false;
};

struct MenuItem {
    int command = 0; // 0 for a separator or a submenu
    std::u16string text;
    std::vector<MenuItem> submenu;
    bool checkable = false; // shows a tick box, ticked when checked
    bool checked = false;
    bool isDefault = false;
    bool separator = false;
    bool disabled = false; // shown greyed, cannot be chosen

    static MenuItem item(int command, std::u16string text) {
        MenuItem m;
        m.command = command;
        m.text = std::move(text);
        return m;
    }
    static MenuItem line() {
        MenuItem m;
        m.separator = true;
        return m;
    }
};

// What a key, G or Fn button shows.
struct ButtonLook {
    std::u16string tip;      // the assignment summary; empty: no tooltip
    bool assigned = false;   // shows its assigned (selected) picture
    bool colourMode = false; // colour-keys mode: the lit / unlit key pictures
    bool colourFlag = false; // lit in colour-keys mode
    bool pressed = false;    // its key dialog is open: drawn pressed
    // The key picture's second page: what the key has been given, shown on its cap; empty: the printed
    // legend.
    std::u16string legend;
    bool operator==(const ButtonLook&) const = default;
};

class MainView {
public:
    virtual ~MainView() = default;

    // The window.
    virtual void showWindow() = 0; // with a taskbar entry, in front
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    virtual void quit() = 0; // the event loop ends; the process follows

    // Its controls.
    virtual void setApplyEnabled(bool enabled) = 0;
    virtual void refreshKeyButtons() = 0; // every key, G and Fn button, from MainHub::buttonLook
    virtual void refreshButton(int controlId) = 0;
    virtual void setLayerIndicator(int layer) = 0;
    virtual void setProfileButtons(int selected) = 0;    // 0..2; -1 none
    virtual void setReportRateButtons(int selected) = 0; // 0..3
    virtual void setFlip(int flip) = 0;
    virtual void setSwitchText(const std::u16string& text) = 0;
    // Busy: the animation runs (timer 1050) and the window takes no input.
    virtual void setBusy(bool busy) = 0;
    virtual void showBusyFrame(int frame) = 0; // 0..9: jdt1.bmp ... jdt10.bmp
    virtual void
    showMenu(const std::vector<MenuItem>& items) = 0; // at the pointer; a choice comes back as a command
    virtual void killTimer(int timerId) = 0;

    // The notification-area icon.
    virtual void createTray(int iconId, const std::u16string& tip) = 0;
    virtual void removeTray() = 0;
    virtual void setTrayIcon(int iconId) = 0;
    virtual void setTrayTip(const std::u16string& tip) = 0;

    // Other windows, and what the desktop opens.
    virtual void openAbout() = 0;
    virtual void openKeyDialog(const KeyDialogRequest& request) = 0;
    virtual void openProfileManager() = 0;
    virtual void openUpdateDialog() = 0;
    // A profile button or a profile menu entry (-1: <Default Profile>); the switch runs its own course
    // and ends in MainHub::profileSwitched.
    virtual void switchProfile(int profile, profiles::SwitchSource source) = 0;
    virtual void openUrl(const std::string& url) = 0;
    virtual void openFile(const std::filesystem::path& file) = 0;
    virtual void showText(const std::u16string& text) = 0;
    // After a language switch: every text of the window again.
    virtual void retext() = 0;
    // Tells assistive technology a result the window otherwise only draws (the language key's text).
    virtual void announce(std::string_view languageKey) { (void)languageKey; }
};

} // namespace tarvik::app
