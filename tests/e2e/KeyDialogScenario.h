// What the scenarios of the key assignment dialog share: the main window opened with the keyboard, the
// dialog opened by a click on one of its buttons, clicks on the dialog's controls, Apply, and the results
// read back where they land: the keyboard's key blocks and macro area (portmux-sim's flash) and the
// program's cache file.
//
//   class MyScenarios : public KeyDialogScenario {};
//   TEST_F(MyScenarios, Something) {
//       Process* app = nullptr;
//       const auto window = openWindow(app);
//       const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
//       desktop().key({"b"});
//       clickInDialog(*dialog, "CONTROL_OK");
//       apply(*window);
//       EXPECT_TRUE(waitForEntry(0x1E, {2, 2, 0x05}));
//   }
#pragma once

#include "keyboard/KeyAssignment.h"
#include "macros/MacroRecord.h"
#include "tests/e2e/ProgramScenario.h"

#include <array>
#include <optional>
#include <string>

namespace tarvik::e2e {

// A key entry as the keyboard stores it: three bytes.
using Entry = std::array<int, 3>;

class KeyDialogScenario : public ProgramScenario {
public:
    // The program runs from the desktop's own program folder: a scenario may choose the language.
    static void SetUpTestSuite();

protected:
    std::filesystem::path mainLayout() { return desktop().skinFile("Main.ini"); }
    std::filesystem::path dialogLayout() { return desktop().skinFile("Composite.ini"); }

    // Starts the program in Chinese and waits for its window.
    std::optional<WindowInfo> openWindowInChinese(Process*& app);
    // A click on a button of the main window (a skin key of Main.ini), then the key dialog on the screen,
    // focused, ready for keys.
    std::optional<WindowInfo> openKeyDialog(pid_t pid, const WindowInfo& window, const char* button);
    // Where the dialog opened for a button of the main window should be on the screen: beside the button
    // where the screen has room, kept whole on the screen by the window manager where it has none.
    ScreenRect expectedDialogPlace(const WindowInfo& window, const char* button, const WindowInfo& dialog);
    // The key dialog of the process, when one is on the screen.
    std::optional<WindowInfo> keyDialog(pid_t pid, std::chrono::milliseconds timeout);
    // A click on a control of the dialog (a skin key of Composite.ini).
    bool clickInDialog(const WindowInfo& dialog, const char* control);
    // A click on a drop-down list of the dialog, then its list on the screen.
    bool openListInDialog(pid_t pid, const WindowInfo& dialog, const char* control);
    // OK, and the dialog gone.
    bool okAndClosed(const WindowInfo& dialog);
    // The main window's Apply button.
    bool apply(const WindowInfo& window);
    // The pointer off every control, and a picture of the screen kept.
    void shot(pid_t pid, const std::string& what);

    // The entry the keyboard holds in profile 0 for the slot of key (found in its own default layout).
    std::optional<Entry> keyEntry(keyboard::KeyCode key) const;
    bool waitForEntry(keyboard::KeyCode key, const Entry& expected) const;
    // Record profile x 512 + slot of the program's cache file, once it exists.
    std::optional<keyboard::KeyAssignment> cacheRecord(size_t recordIndex);
    // The macros of the keyboard's macro area, as its image decodes.
    macros::MacroSet keyboardMacros() const;
};

// Whether a record holds type, value and aux.
bool holds(const std::optional<keyboard::KeyAssignment>& record, uint16_t type, uint32_t value, uint16_t aux);

} // namespace tarvik::e2e
