// The key assignment dialog as a user works with it, on one desktop with the virtual keyboard of
// portmux-sim: a click on a key of the main window, a real key pressed on the single-key panel (Enter,
// Escape, Tab and Print Screen among them), a macro recorded with real keys, the media and function
// lists, a G key of the keyboard's second layer, OK, Apply, and the results read back from the keyboard
// and the program's cache file; the dialog closed by the keyboard's departure; every panel photographed,
// in English and in Chinese.
#include "keyboard/Layout.h"
#include "macros/MacroRecord.h"
#include "tests/e2e/KeyDialogScenario.h"

#include <set>

namespace tarvik::e2e {
namespace {

class KeyDialogScenarios : public KeyDialogScenario {
protected:
    // Exit chosen in the notification-area icon's menu (its third item), and the question that follows:
    // a window of the process that it did not have before.
    std::optional<WindowInfo> exitQuestion(pid_t pid, const WindowInfo& icon) {
        std::set<WindowId> known;
        for (const WindowInfo& w : desktop().windowsOf(pid)) {
            known.insert(w.id);
        }
        if (!openTrayMenu(pid, icon) || !desktop().key({"Down", "Down", "Down", "Return"})) {
            return std::nullopt;
        }
        return waitForWindow(pid, [&](const WindowInfo& w) {
            return !w.overrideRedirect && !w.embedded && !known.contains(w.id);
        });
    }
    // A key button of the main window as the screen shows it now.
    QImage keyOnScreen(const WindowInfo& window, const char* key) {
        return part(screen(), skinRectOnScreen(mainLayout(), key, window.place));
    }
    // A click on a Flip arrow, and the picture of the key A once it has turned to the page shown.
    bool flipTo(pid_t pid, const WindowInfo& window, const char* arrow, const QImage& from) {
        return desktop().clickAt(window.id, mainLayout(), arrow) && settle(pid) &&
               waitUntil([&] { return !samePixels(keyOnScreen(window, "KEY_01E"), from); }, 5s, 100ms);
    }
    // A given B through the dialog and OK (the window holds it until Apply), then both pages of the key
    // picture: only A's cap changes. Leaves the first page shown.
    void flipPages(Process& app, const WindowInfo& window) {
        const auto dialog = openKeyDialog(app.pid(), window, "KEY_01E");
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(desktop().key({"b"}));
        ASSERT_TRUE(okAndClosed(*dialog));
        ASSERT_TRUE(settle(app.pid()));
        const QImage printed = keyOnScreen(window, "KEY_01E");
        const QImage untouched = keyOnScreen(window, "KEY_030");
        desktop().step("flip first page");
        ASSERT_TRUE(flipTo(app.pid(), window, "FLIP_2", printed)) << "A's cap did not show its function";
        EXPECT_TRUE(samePixels(keyOnScreen(window, "KEY_030"), untouched)) << "a key left alone changed";
        desktop().step("flip second page, A shows B");
        ASSERT_TRUE(flipTo(app.pid(), window, "FLIP_1", keyOnScreen(window, "KEY_01E")));
        EXPECT_TRUE(samePixels(keyOnScreen(window, "KEY_01E"), printed));
    }
};

// Key codes of the keys the scenarios click and press, and the keyboard-page usages they are sent as.
constexpr keyboard::KeyCode kA = 0x1E, kB = 0x30, kQ = 0x10, kW = 0x11, kE = 0x12, kR = 0x13, kT = 0x14,
                            kY = 0x15, kU = 0x16, kWin = 0x15B;
constexpr int kUsageA = 0x04, kUsageB = 0x05, kUsageEnter = 0x28, kUsageEscape = 0x29, kUsageTab = 0x2B,
              kUsagePrintScreen = 0x46, kUsageT = 0x17, kUsageLeft = 0x50;

TEST_F(KeyDialogScenarios, AKeyPressedOnTheSingleKeyPanelReachesTheKeyBlockAfterApply) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_EQ(keyEntry(kA), (Entry{2, 2, kUsageA}));

    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog) << "a click on A did not open the key dialog";
    // Beside the button it was opened for. The screen has room neither above nor below A: at its
    // bottom-right corner anyway, and the window manager lifts it to keep it whole on the screen.
    const ScreenRect besideA = expectedDialogPlace(*window, "KEY_01E", *dialog);
    EXPECT_EQ(dialog->place.x, besideA.x);
    EXPECT_EQ(dialog->place.y, besideA.y);
    shot(app->pid(), "single key panel");
    ASSERT_TRUE(desktop().key({"b"}));
    shot(app->pid(), "B pressed");
    ASSERT_TRUE(okAndClosed(*dialog));
    // Assignments wait for Apply.
    EXPECT_EQ(keyEntry(kA), (Entry{2, 2, kUsageA}));

    ASSERT_TRUE(apply(*window));
    EXPECT_TRUE(waitForEntry(kA, {2, 2, kUsageB})) << "the key block does not give A the function of B";
    EXPECT_TRUE(waitUntil([&] { return holds(cacheRecord(kA), keyboard::ASSIGN_SINGLE_KEY, kB, 0); }, 5s))
        << "the cache file does not hold A's new record";
    shot(app->pid(), "applied");
}

TEST_F(KeyDialogScenarios, EnterEscapeTabPrintScreenAndTheDesktopsShortcutsAreCapturedVolumeUpPassesOn) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const struct {
        const char* button;
        const char* key;
        keyboard::KeyCode code;
        int usage;
    } cases[] = {{"KEY_010", "Return", kQ, kUsageEnter},
                 {"KEY_011", "Escape", kW, kUsageEscape},
                 {"KEY_012", "Tab", kE, kUsageTab},
                 {"KEY_013", "Print", kR, kUsagePrintScreen},
                 // openbox binds these (and Print) for itself: the dialog's keyboard grab takes them.
                 {"KEY_015", "alt+Tab", kY, kUsageTab},
                 {"KEY_016", "ctrl+alt+Left", kU, kUsageLeft}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const auto dialog = openKeyDialog(app->pid(), *window, c.button);
        ASSERT_TRUE(dialog);
        // Below these keys there is room: the dialog's top-left corner at the button's bottom-right one.
        const ScreenRect button = skinRectOnScreen(mainLayout(), c.button, window->place);
        EXPECT_EQ(dialog->place.x, button.x + button.w);
        EXPECT_EQ(dialog->place.y, button.y + button.h);
        ASSERT_TRUE(desktop().key({c.key}));
        shot(app->pid(), std::string(c.key) + " pressed");
        EXPECT_TRUE(desktop().isViewable(dialog->id)) << "the key closed the dialog";
        // Had the key closed the dialog, OK would not be there to write the record.
        ASSERT_TRUE(okAndClosed(*dialog));
    }
    // A media key keeps its work on the computer: T is given nothing.
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_014");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"XF86AudioRaiseVolume"}));
    shot(app->pid(), "volume up pressed");
    ASSERT_TRUE(okAndClosed(*dialog));

    ASSERT_TRUE(apply(*window));
    for (const auto& c : cases) {
        EXPECT_TRUE(waitForEntry(c.code, {2, 2, c.usage})) << c.key << " was not captured";
    }
    // Written with the others by the same Apply.
    EXPECT_EQ(keyEntry(kT), (Entry{2, 2, kUsageT})) << "Volume Up was captured";
    EXPECT_TRUE(desktop().isViewable(window->id));
}

// A -> B, then Ctrl+Z in the main window: A shows its own function again and Apply is disabled;
// Ctrl+Shift+Z brings B back and Apply writes it to the keyboard.
TEST_F(KeyDialogScenarios, UndoTakesAnEditBackAndRedoBringsItToTheKeyboard) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(settle(app->pid()));
    const auto applyButton = [&] {
        return part(screen(), skinRectOnScreen(mainLayout(), "CONTROL2_APPLY", window->place));
    };
    const QImage own = keyOnScreen(*window, "KEY_01E");
    const QImage applyOff = applyButton();

    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"b"}));
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(settle(app->pid()));
    const QImage assigned = keyOnScreen(*window, "KEY_01E");
    const QImage applyOn = applyButton();
    ASSERT_FALSE(samePixels(own, assigned)) << "A does not show its new function";
    ASSERT_FALSE(samePixels(applyOff, applyOn)) << "the edit did not enable Apply";
    shot(app->pid(), "A given B");

    ASSERT_TRUE(desktop().activate(window->id));
    ASSERT_TRUE(desktop().key({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return samePixels(keyOnScreen(*window, "KEY_01E"), own); }, 5s, 100ms))
        << "Ctrl+Z did not give A its own function back";
    EXPECT_TRUE(waitUntil([&] { return samePixels(applyButton(), applyOff); }, 5s, 100ms))
        << "Apply stayed enabled with nothing left to apply";
    shot(app->pid(), "undone");

    ASSERT_TRUE(desktop().key({"ctrl+shift+z"}));
    EXPECT_TRUE(waitUntil([&] { return samePixels(keyOnScreen(*window, "KEY_01E"), assigned); }, 5s, 100ms))
        << "Ctrl+Shift+Z did not give A the function of B again";
    EXPECT_TRUE(waitUntil([&] { return samePixels(applyButton(), applyOn); }, 5s, 100ms));
    shot(app->pid(), "redone");
    ASSERT_TRUE(apply(*window));
    EXPECT_TRUE(waitForEntry(kA, {2, 2, kUsageB})) << "the keyboard does not hold the redone edit";
}

TEST_F(KeyDialogScenarios, TheMediaAndFunctionListsEachAssignOnceAndReachTheKeyboard) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);

    // Q plays and pauses: the second media key.
    auto dialog = openKeyDialog(app->pid(), *window, "KEY_010");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MEDIA"));
    ASSERT_TRUE(openListInDialog(app->pid(), *dialog, "FUNC_MEDIA_SELECT"));
    shot(app->pid(), "media list");
    ASSERT_TRUE(desktop().key({"Down", "Return"}));
    ASSERT_TRUE(menuClosed(app->pid()));
    shot(app->pid(), "media chosen");
    ASSERT_TRUE(okAndClosed(*dialog));

    // W saves: the fourth function.
    dialog = openKeyDialog(app->pid(), *window, "KEY_011");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_FUNCTION"));
    ASSERT_TRUE(openListInDialog(app->pid(), *dialog, "FUNC_FUNCTION_SELECT"));
    shot(app->pid(), "function list");
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Return"}));
    ASSERT_TRUE(menuClosed(app->pid()));
    shot(app->pid(), "function chosen");
    ASSERT_TRUE(okAndClosed(*dialog));

    ASSERT_TRUE(apply(*window));
    // Play/pause is consumer usage 0x00CD; a function travels as its index.
    EXPECT_TRUE(waitForEntry(kQ, {3, 0xCD, 0x00})) << "Q's media key did not reach the keyboard";
    EXPECT_TRUE(waitForEntry(kW, {5, 5, 3})) << "W's function did not reach the keyboard";
    EXPECT_TRUE(waitUntil(
        [&] {
            return holds(cacheRecord(kQ), keyboard::ASSIGN_MEDIA, 1, 0) &&
                   holds(cacheRecord(kW), keyboard::ASSIGN_FUNCTION_KEY, 3, 0);
        },
        5s))
        << "the cache file does not hold both records";
}

TEST_F(KeyDialogScenarios, AMacroRecordedWithRealKeysReachesTheMacroAreaAndTheKeyBlock) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(keyboardMacros().empty());

    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_010");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MACRO"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_ADD"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    shot(app->pid(), "recording");
    // The Windows key too, which the desktop would otherwise have.
    ASSERT_TRUE(desktop().key({"a", "super"}));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    // Three cycles typed over the one a new macro starts with.
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_CYCLES"));
    ASSERT_TRUE(desktop().key({"ctrl+a"}));
    ASSERT_TRUE(desktop().type("3"));
    shot(app->pid(), "recorded with 3 cycles");
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));

    // Q plays the first macro of the keyboard's list.
    EXPECT_TRUE(waitForEntry(kQ, {5, 1, 0})) << "the key block does not give Q the macro";
    const macros::MacroSet onKeyboard = keyboardMacros();
    ASSERT_EQ(onKeyboard.size(), 1u) << "the macro area does not hold the macro";
    EXPECT_EQ(onKeyboard[0].cycles(), 3);
    // Each key as pressed and released, with the fixed pause of a recording without delays after all
    // but the last action.
    using macros::kPress, macros::kRelease;
    const std::vector<macros::MacroAction> recorded{
        {50, kA, kPress}, {50, kA, kRelease}, {50, kWin, kPress}, {0, kWin, kRelease}};
    EXPECT_EQ(onKeyboard[0].actions(), recorded);
    // The program's first macro has id 1.
    EXPECT_TRUE(holds(cacheRecord(kQ), keyboard::ASSIGN_MACRO, 1, 3))
        << "the cache file does not hold Q's macro with 3 cycles";
    shot(app->pid(), "applied");
}

TEST_F(KeyDialogScenarios, ANameTypedIntoTheEmptyMacroListMakesOneMacroOfThatName) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_012");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MACRO"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_LIST"));
    // Letter by letter: the first makes the macro, the others rename it.
    ASSERT_TRUE(desktop().type("Combo"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    ASSERT_TRUE(desktop().key({"a"}));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    shot(app->pid(), "named macro");
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));

    EXPECT_TRUE(waitForEntry(kE, {5, 1, 0}));
    const macros::MacroSet onKeyboard = keyboardMacros();
    ASSERT_EQ(onKeyboard.size(), 1u);
    EXPECT_EQ(onKeyboard[0].name(), u"Combo");
    EXPECT_EQ(onKeyboard[0].actions().size(), 2u);
}

TEST_F(KeyDialogScenarios, DeletingAMacroThatAKeyPlaysAsksFirstAndGivesTheKeyItsOwnFunctionBack) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    // Q plays a macro on the keyboard.
    auto dialog = openKeyDialog(app->pid(), *window, "KEY_010");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MACRO"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_ADD"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    ASSERT_TRUE(desktop().key({"a"}));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));
    ASSERT_TRUE(waitForEntry(kQ, {5, 1, 0}));
    ASSERT_EQ(keyboardMacros().size(), 1u);

    // The macro deleted from another key's dialog: the program asks, since Q plays it.
    dialog = openKeyDialog(app->pid(), *window, "KEY_011");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MACRO"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_DELETE"));
    const std::string mainCaption = text("MAIN_CAPTION");
    const std::string dialogCaption = text("COMPOSITE_TITLE");
    const auto question = waitForWindow(app->pid(), [&](const WindowInfo& w) {
        return isType(w, "_NET_WM_WINDOW_TYPE_DIALOG") && w.name != mainCaption && w.name != dialogCaption;
    });
    ASSERT_TRUE(question) << "no question before deleting a macro in use";
    shot(app->pid(), "delete question");
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"y"}));
    ASSERT_TRUE(desktop().waitHidden(question->id));
    shot(app->pid(), "macro deleted");
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));

    EXPECT_TRUE(waitForEntry(kQ, {2, 2, 0x14})) << "Q still plays the deleted macro";
    EXPECT_TRUE(waitUntil([&] { return keyboardMacros().empty(); }, 5s)) << "the macro area still holds it";
    // The record's type goes back to the default; its other fields stay as they were.
    EXPECT_TRUE(waitUntil(
        [&] {
            const auto q = cacheRecord(kQ);
            return q && q->type == keyboard::ASSIGN_DEFAULT;
        },
        5s))
        << "the cache file still gives Q the macro";
}

TEST_F(KeyDialogScenarios, AGKeyInTheSecondLayerEditsItsSecondLayerSlot) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_EQ(desktop().portmuxSim({"layer"}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return keyboardLayer() == 1; }, 5s))
        << "the program did not switch the layer";
    const std::vector<int> blocksBefore = flash("keys");

    const auto dialog = openKeyDialog(app->pid(), *window, "FUNC_G3");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"b"}));
    shot(app->pid(), "G3 of layer B gets B");
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));

    const keyboard::KeySlot layerB = keyboard::kFirstGSlotLayer1 + 2;
    const keyboard::KeySlot layerA = keyboard::kFirstGSlotLayer0 + 2;
    EXPECT_TRUE(waitUntil(
        [&] {
            return holds(cacheRecord(layerB), keyboard::ASSIGN_SINGLE_KEY, kB,
                         keyboard::GKeyTagOfSlot(layerB));
        },
        10s))
        << "slot " << layerB << " does not hold the assignment";
    EXPECT_TRUE(holds(cacheRecord(layerA), keyboard::ASSIGN_DEFAULT, 0, keyboard::GKeyTagOfSlot(layerA)))
        << "the first layer's G3 changed";
    // The G keys live in the program only: the keyboard's key blocks are as they were.
    EXPECT_EQ(flash("keys"), blocksBefore);
}

TEST_F(KeyDialogScenarios, UnpluggingTheKeyboardClosesAnOpenKeyDialog) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"b"}));

    ASSERT_EQ(desktop().portmuxSim({"unplug"}).exitCode, 0);
    EXPECT_TRUE(desktop().waitHidden(dialog->id)) << "the key dialog stayed open";
    EXPECT_TRUE(desktop().waitHidden(window->id)) << "the main window stayed open";
    shot(app->pid(), "unplugged");

    // Back again: the window opens on request, without the dialog and without what it held.
    ASSERT_EQ(desktop().portmuxSim({"plug"}).exitCode, 0);
    const auto icon = desktop().trayIconOf(app->pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));
    EXPECT_EQ(startAndWait({}).exitCode, 0);
    ASSERT_TRUE(mainWindow(app->pid(), 5s));
    EXPECT_FALSE(desktop().isViewable(dialog->id));
}

TEST_F(KeyDialogScenarios, FlipThenApplyWhileTheDialogStaysOpenAndExitAsksAboutAnEditNotWritten) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const auto icon = desktop().trayIconOf(app->pid());
    ASSERT_TRUE(icon);
    flipPages(*app, *window);
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"b"}));
    shot(app->pid(), "B pressed, Apply enabled, A drawn pressed");
    ASSERT_EQ(keyEntry(kA), (Entry{2, 2, kUsageA})) << "OK alone wrote the keyboard";
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_APPLY"));
    EXPECT_TRUE(waitForEntry(kA, {2, 2, kUsageB})) << "Apply in the dialog did not reach the keyboard";
    EXPECT_TRUE(desktop().isViewable(dialog->id)) << "Apply closed the dialog";
    shot(app->pid(), "applied, the dialog still open");

    // Another key for A, not written: Exit asks. Cancel keeps the program and the dialog.
    ASSERT_TRUE(desktop().activate(dialog->id));
    ASSERT_TRUE(desktop().key({"t"}));
    auto question = exitQuestion(app->pid(), *icon);
    ASSERT_TRUE(question) << "Exit asked nothing about the edit";
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("exit question");
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"Escape"}));
    EXPECT_TRUE(desktop().waitHidden(question->id));
    EXPECT_TRUE(app->running()) << "Cancel ended the program";
    EXPECT_TRUE(desktop().isViewable(dialog->id));
    shot(app->pid(), "exit cancelled");

    // No: the program ends and the edit is dropped.
    question = exitQuestion(app->pid(), *icon);
    ASSERT_TRUE(question);
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"alt+n"}));
    ASSERT_TRUE(app->wait(10s)) << "No did not end the program";
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_EQ(keyEntry(kA), (Entry{2, 2, kUsageB})) << "the dropped edit reached the keyboard";
}

TEST_F(KeyDialogScenarios, FlipApplyAndTheExitQuestionInChinese) {
    Process* app = nullptr;
    const auto window = openWindowInChinese(app);
    ASSERT_TRUE(window) << "no Chinese main window";
    const auto icon = desktop().trayIconOf(app->pid());
    ASSERT_TRUE(icon);
    flipPages(*app, *window);
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"t"}));
    shot(app->pid(), "T pressed, Apply enabled");
    const auto question = exitQuestion(app->pid(), *icon);
    ASSERT_TRUE(question) << "Exit asked nothing about the edit";
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("exit question");
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"alt+n"}));
    ASSERT_TRUE(app->wait(10s)) << "No did not end the program";
}

TEST_F(KeyDialogScenarios, EveryPanelInChinese) {
    Process* app = nullptr;
    const auto window = openWindowInChinese(app);
    ASSERT_TRUE(window) << "no Chinese main window";
    auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->name, text("COMPOSITE_TITLE", true));
    ASSERT_TRUE(desktop().key({"F5"}));
    shot(app->pid(), "single key panel");

    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MACRO"));
    shot(app->pid(), "macro panel empty");
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_ADD"));
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    ASSERT_TRUE(desktop().key({"ctrl+c"}));
    shot(app->pid(), "macro panel recording");
    ASSERT_TRUE(clickInDialog(*dialog, "FUNC_MACRO_RECORD"));
    shot(app->pid(), "macro panel recorded");

    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_MEDIA"));
    ASSERT_TRUE(openListInDialog(app->pid(), *dialog, "FUNC_MEDIA_SELECT"));
    shot(app->pid(), "media list");
    ASSERT_TRUE(desktop().key({"Escape"}));
    ASSERT_TRUE(menuClosed(app->pid()));

    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_FUNCTION"));
    ASSERT_TRUE(openListInDialog(app->pid(), *dialog, "FUNC_FUNCTION_SELECT"));
    shot(app->pid(), "function list");
    ASSERT_TRUE(desktop().key({"Escape"}));
    ASSERT_TRUE(menuClosed(app->pid()));
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_CANCEL"));
    ASSERT_TRUE(desktop().waitHidden(dialog->id));

    // G9 edits macros only.
    dialog = openKeyDialog(app->pid(), *window, "FUNC_G9");
    ASSERT_TRUE(dialog);
    shot(app->pid(), "G9 macro only");
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_CANCEL"));
    ASSERT_TRUE(desktop().waitHidden(dialog->id));
}

} // namespace
} // namespace tarvik::e2e
