#include "tests/e2e/KeyDialogScenario.h"

#include "dialogs/Placement.h"
#include "keyboard/KeyEntry.h"
#include "macros/MacroImage.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileFile.h"
#include "ui/TextTable.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarvik::e2e {

void KeyDialogScenario::SetUpTestSuite() {
    DesktopOptions options;
    options.privateProgramFolder = true;
    openDesktop(options);
}

std::optional<WindowInfo> KeyDialogScenario::openWindowInChinese(Process*& app) {
    // The choice a user made earlier through the menu: the program folder's language file keeps it.
    ui::TextTable table;
    if (!table.switchLanguage(desktop().skinFile("language.ini"), ui::TextTable::kChinese)) {
        return std::nullopt;
    }
    app = &start({});
    const auto window = mainWindow(app->pid());
    if (!window || window->name != text("MAIN_CAPTION", true)) {
        return std::nullopt;
    }
    return window;
}

std::optional<WindowInfo> KeyDialogScenario::keyDialog(pid_t pid, std::chrono::milliseconds timeout) {
    const std::string english = text("COMPOSITE_TITLE");
    const std::string chinese = text("COMPOSITE_TITLE", true);
    return waitForWindow(
        pid, [&](const WindowInfo& w) { return w.name == english || w.name == chinese; }, timeout);
}

std::optional<WindowInfo> KeyDialogScenario::openKeyDialog(pid_t pid, const WindowInfo& window,
                                                           const char* button) {
    if (!desktop().clickAt(window.id, mainLayout(), button)) {
        return std::nullopt;
    }
    auto dialog = keyDialog(pid, 10s);
    // Keys go to the focused window: the dialog, as a user finds it after the click.
    if (!dialog || !desktop().activate(dialog->id)) {
        return std::nullopt;
    }
    // Where the window manager put it, frame aside.
    if (const auto place = desktop().geometry(dialog->id)) {
        dialog->place = *place;
    }
    return dialog;
}

ScreenRect KeyDialogScenario::expectedDialogPlace(const WindowInfo& window, const char* button,
                                                  const WindowInfo& dialog) {
    const ScreenRect b = skinRectOnScreen(mainLayout(), button, window.place);
    const DesktopOptions& screen = desktopOptions();
    const dialogs::ScreenPoint at =
        dialogs::placeNextToButton({b.x, b.y, b.x + b.w, b.y + b.h}, dialog.place.w, dialog.place.h,
                                   {0, 0, screen.width, screen.height});
    return {std::clamp(at.x, 0, screen.width - dialog.place.w),
            std::clamp(at.y, 0, screen.height - dialog.place.h), dialog.place.w, dialog.place.h};
}

bool KeyDialogScenario::clickInDialog(const WindowInfo& dialog, const char* control) {
    return desktop().clickAt(dialog.id, dialogLayout(), control);
}

bool KeyDialogScenario::openListInDialog(pid_t pid, const WindowInfo& dialog, const char* control) {
    return clickInDialog(dialog, control) && waitForWindow(pid, isMenu).has_value();
}

bool KeyDialogScenario::okAndClosed(const WindowInfo& dialog) {
    return clickInDialog(dialog, "CONTROL_OK") && desktop().waitHidden(dialog.id);
}

bool KeyDialogScenario::apply(const WindowInfo& window) {
    return desktop().clickAt(window.id, mainLayout(), "CONTROL2_APPLY");
}

void KeyDialogScenario::shot(pid_t pid, const std::string& what) {
    EXPECT_TRUE(settle(pid)) << "a tooltip stayed on the screen before " << what;
    desktop().step(what);
}

std::optional<Entry> KeyDialogScenario::keyEntry(keyboard::KeyCode key) const {
    const std::vector<int> defaults = flash("default-keys");
    const std::vector<int> blocks = flash("keys");
    if (defaults.size() != keyboard::kKeyBlockSize || blocks.size() < keyboard::kKeyBlockSize) {
        return std::nullopt;
    }
    for (size_t at = 0; at + 3 <= keyboard::kKeyBlockSize; at += 3) {
        const keyboard::KeyEntry e{static_cast<uint8_t>(defaults[at]), static_cast<uint8_t>(defaults[at + 1]),
                                   static_cast<uint8_t>(defaults[at + 2])};
        if (keyboard::KeyOfKeyEntry(e) == key) {
            return Entry{blocks[at], blocks[at + 1], blocks[at + 2]};
        }
    }
    return std::nullopt;
}

bool KeyDialogScenario::waitForEntry(keyboard::KeyCode key, const Entry& expected) const {
    return waitUntil([&] { return keyEntry(key) == expected; }, 10s, 100ms);
}

std::optional<keyboard::KeyAssignment> KeyDialogScenario::cacheRecord(size_t recordIndex) {
    const std::string bytes = readFile(dataFolder() / "$Profile0");
    profiles::WorkingCopy working;
    if (recordIndex >= profiles::kRecordCount ||
        !profiles::parseProfile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                                working)) {
        return std::nullopt;
    }
    return working.records()[recordIndex];
}

macros::MacroSet KeyDialogScenario::keyboardMacros() const {
    const std::vector<int> area = flash("macros");
    std::vector<uint8_t> image(area.begin(), area.end());
    return macros::decodeMacroImage(image);
}

bool holds(const std::optional<keyboard::KeyAssignment>& record, uint16_t type, uint32_t value,
           uint16_t aux) {
    return record && record->type == type && record->value == value && record->aux == aux;
}

} // namespace tarvik::e2e
