// The program as a screen reader and a keyboard-only user meet it, on one desktop with the accessibility
// bus: every control of the main window named (in English, and in Chinese after the language switch),
// key A and the button "Profile 2" worked through the reader's action interface, and a key assigned and
// applied with nothing but key presses, from the program's start. The reader's view of the main window
// is kept as build/e2e/main-window-accessibility-tree.txt.
#include "tests/e2e/KeyDialogScenario.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace tarvik::e2e {
namespace {

constexpr keyboard::KeyCode kA = 0x1E;
constexpr int kUsageA = 0x04, kUsageB = 0x05;

class AccessibilityScenarios : public KeyDialogScenario {
protected:
    void SetUp() override {
        KeyDialogScenario::SetUp();
        programEnvironment_ = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_ACCESSIBILITY=1"};
    }

    RunOutcome probe(const std::vector<std::string>& args) {
        std::vector<std::string> all{std::string(TARVIK_ATSPI_PROBE)};
        all.insert(all.end(), args.begin(), args.end());
        return desktop().run("/usr/bin/python3", all, 30s);
    }
    // The controls of an interactive role without a name, once the program is on the bus; nothing when
    // the tree could not be read.
    std::optional<std::string> unnamedControls(pid_t pid, const std::filesystem::path& dump) {
        RunOutcome out;
        const bool read = waitUntil(
            [&] {
                out = probe({"tree", std::to_string(pid), dump.string()});
                return out.exitCode == 0;
            },
            20s, 200ms);
        if (!read) {
            ADD_FAILURE() << out.output;
            return std::nullopt;
        }
        return out.output;
    }
    bool press(pid_t pid, const std::string& name) {
        return waitUntil(
            [&] {
                return probe({"press", std::to_string(pid), name}).exitCode == 0;
            },
            10s, 200ms);
    }
    std::string focused(pid_t pid) { return probe({"focused", std::to_string(pid)}).output; }
    // Presses the key until the reader says a control of that name has the focus, at most times presses.
    bool keyUntilFocused(pid_t pid, const std::string& key, const std::string& name, int times) {
        for (int i = 0; i < times; ++i) {
            if (!desktop().key({key})) {
                return false;
            }
            if (waitUntil([&] { return focused(pid).ends_with("\t" + name + "\n"); }, 1s, 100ms)) {
                return true;
            }
        }
        return false;
    }
    // The window's announcement (an alert to the reader) says the words.
    bool announced(pid_t pid, const std::string& words) {
        return waitUntil(
            [&] {
                return probe({"read", std::to_string(pid), words}).exitCode == 0;
            },
            5s, 200ms);
    }
    int keyboardProfile() const {
        const std::vector<int> config = flash("config");
        return config.size() > 10 ? config[10] : -1;
    }
};

TEST_F(AccessibilityScenarios, EveryControlIsNamedInBothLanguagesAndKeysAndProfilesWorkThroughTheReader) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const pid_t pid = app->pid();
    // The lighting panel on, so that its controls are on the screen too.
    ASSERT_TRUE(press(pid, text("ACC_LIGHTING_ON")));
    ASSERT_TRUE(waitUntil(
        [&] {
            return probe({"read", std::to_string(pid), text("ACC_BRIGHTNESS")}).exitCode == 0;
        },
        10s, 200ms));
    const std::filesystem::path english = desktop().shotFolder() / "main-window-accessibility-tree.txt";
    const auto unnamed = unnamedControls(pid, english);
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(*unnamed, "") << "controls without a name in English";
    std::stringstream tree;
    tree << std::ifstream(english).rdbuf();
    for (const char* expected : {"push button 'A' desc='A'", "push button 'G3'", "push button 'Right Shift'",
                                 "radio button 'Report rate 500 Hz'",
                                 "slider 'Brightness' value=", "radio button 'Profile 2' [focusable]",
                                 "radio button 'Profile 1' [checked focusable]", "push button 'Menu'"}) {
        EXPECT_NE(tree.str().find(expected), std::string::npos) << expected;
    }
    // A list reads as its name, not its entry; a colour button gives its colour in words and digits.
    EXPECT_NE(tree.str().find("combo box 'Lighting mode'"), std::string::npos);
    EXPECT_TRUE(std::regex_search(tree.str(), std::regex("push button '[^']+' desc='[a-z ]+, #[0-9A-F]{6}'")))
        << "no colour button reads its colour";

    // Profile 2 through the action interface: the keyboard runs it.
    ASSERT_EQ(keyboardProfile(), 0);
    ASSERT_TRUE(press(pid, text("PROFILE_2")));
    EXPECT_TRUE(waitUntil([&] { return keyboardProfile() == 1; }, 10s, 50ms))
        << "the keyboard stays on profile 1";
    EXPECT_TRUE(announced(pid, text("ACC_PROFILE_NOW") + " " + text("PROFILE_2")));

    // Key A: the key dialog opens for it.
    ASSERT_TRUE(press(pid, "A"));
    const auto dialog = keyDialog(pid, 10s);
    ASSERT_TRUE(dialog) << "no key dialog after A's action";
    shot(pid, "key dialog opened for A by the reader");
    const auto unnamedInDialog =
        unnamedControls(pid, desktop().shotFolder() / "key-dialog-accessibility-tree.txt");
    ASSERT_TRUE(unnamedInDialog);
    EXPECT_EQ(*unnamedInDialog, "") << "controls of the key dialog without a name";
    ASSERT_TRUE(desktop().key({"Escape"})); // armed: A is given Escape, and the dialog stays
    ASSERT_TRUE(clickInDialog(*dialog, "CONTROL_CANCEL"));
    ASSERT_TRUE(waitUntil([&] { return !desktop().isViewable(dialog->id); }, 10s, 50ms));

    // The language switch through the menu button's action and the menu's keys: every name follows.
    ASSERT_TRUE(press(pid, text("MAIN_MENU_PROMPT")));
    ASSERT_TRUE(waitForWindow(pid, [](const WindowInfo& w) { return isMenu(w); }));
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Down", "Right", "Return"}));
    ASSERT_TRUE(waitUntil([&] { return shows(pid, text("MAIN_CAPTION", true)); }, 10s));
    const std::filesystem::path chinese = desktop().home() / "tree-chinese.txt";
    const auto unnamedChinese = unnamedControls(pid, chinese);
    ASSERT_TRUE(unnamedChinese);
    EXPECT_EQ(*unnamedChinese, "") << "controls without a name in Chinese";
    std::stringstream treeChinese;
    treeChinese << std::ifstream(chinese).rdbuf();
    for (const char* key : {"MAIN_MENU_PROMPT", "PROFILE_2", "ACC_LINK_1"}) {
        EXPECT_NE(treeChinese.str().find("'" + text(key, true) + "'"), std::string::npos) << key;
    }
}

TEST_F(AccessibilityScenarios, KeyAIsGivenBAndAppliedWithKeyPressesAlone) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const pid_t pid = app->pid();
    ASSERT_EQ(keyEntry(kA), (Entry{2, 2, kUsageA}));
    ASSERT_TRUE(desktop().activate(window->id));

    // Tab to the key grid (it is one stop), then the arrows: Esc, the row under it three times, A.
    ASSERT_TRUE(keyUntilFocused(pid, "Tab", "G1", 40)) << focused(pid);
    ASSERT_TRUE(desktop().key({"Right", "Down", "Down", "Down"}));
    ASSERT_TRUE(keyUntilFocused(pid, "Right", "A", 1)) << focused(pid);
    desktop().step("focus ring on A");

    ASSERT_TRUE(desktop().key({"space"}));
    const auto dialog = keyDialog(pid, 10s);
    ASSERT_TRUE(dialog) << "Space on A did not open the key dialog";
    ASSERT_TRUE(desktop().key({"b"}));
    EXPECT_TRUE(
        waitUntil([&] { return focused(pid).ends_with("\t" + text("PROFILE_OK") + "\n"); }, 5s, 100ms))
        << "the focus did not move on to OK: " << focused(pid);
    desktop().step("B captured, focus ring on OK");
    ASSERT_TRUE(desktop().key({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return !desktop().isViewable(dialog->id); }, 10s, 50ms))
        << "OK did not close it";

    ASSERT_TRUE(keyUntilFocused(pid, "shift+Tab", text("PROFILE_APPLY"), 40)) << focused(pid);
    ASSERT_TRUE(desktop().key({"Return"}));
    EXPECT_TRUE(waitForEntry(kA, {2, 2, kUsageB})) << "the keyboard does not give A the function of B";
    EXPECT_TRUE(announced(pid, text("ACC_APPLIED")));

    // On into the lighting panel: switched on with Space, the brightness slider stepped with an arrow.
    ASSERT_TRUE(keyUntilFocused(pid, "Tab", text("ACC_LIGHTING_ON"), 40)) << focused(pid);
    ASSERT_TRUE(desktop().key({"space"}));
    ASSERT_TRUE(keyUntilFocused(pid, "Tab", text("ACC_BRIGHTNESS"), 10)) << focused(pid);
    ASSERT_TRUE(desktop().key({"Left"}));
    EXPECT_TRUE(waitUntil(
        [&] {
            return probe({"read", std::to_string(pid), text("ACC_BRIGHTNESS")}).output.find("value=4") !=
                   std::string::npos;
        },
        5s, 100ms))
        << "the slider did not step down from 5";
    shot(pid, "focus ring on the brightness slider");
}

} // namespace
} // namespace tarvik::e2e
