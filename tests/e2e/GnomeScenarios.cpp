// The program on a headless GNOME Shell, all scenarios on one desk and one instance of the program:
// without a tray it stays resident and a second start opens its window; the key dialog captures the
// Windows key, which the shell otherwise takes for its overview, and the shell has it back once the
// dialog is gone; and with the shipped extension enabled, the keyboard's profile follows the app id in
// front. Screenshots in build/e2e/gnome-*.png.
#include "keyboard/KeyAssignment.h"
#include "tests/e2e/CachedKeyTarget.h"
#include "tests/e2e/DeskTools.h"
#include "tests/e2e/GnomeDesk.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

namespace tarvik::e2e {
namespace {

constexpr keyboard::KeyCode kQ = 0x10, kWin = 0x15B;
constexpr int kEvLeftMeta = 125, kEvEnter = 28, kEvEscape = 1;
constexpr char kLegacyExtension[] = "tarvik-focus-legacy@tarvik.github.io";
constexpr char kExtension[] = "tarvik-focus@tarvik.github.io";

class GnomeScenarios : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        const std::filesystem::path extensions = TARVIK_GNOME_EXTENSIONS;
        // Both, as the package installs them: the shell runs the one written for it.
        desk_ = std::make_unique<GnomeDesk>(
            "gnome", std::vector{extensions / kExtension, extensions / kLegacyExtension});
    }
    static void TearDownTestSuite() {
        app_ = nullptr;
        desk_.reset();
    }

protected:
    void SetUp() override {
        if (desk_->error().find("gnome-shell did not come up") != std::string::npos) {
            GTEST_SKIP() << "GNOME Shell cannot run here: " << desk_->error();
        }
        ASSERT_TRUE(desk_->ok()) << desk_->error();
        desk_->setScenario(std::string("gnome-") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    GnomeDesk& desk() { return *desk_; }

    // The program started as at login, once: later scenarios use the same instance.
    Process* program() {
        if (app_ == nullptr || !app_->running()) {
            app_ = &desk_->startProgram("tarvik", {"/Start"});
        }
        return app_;
    }
    RunOutcome ctl(const std::vector<std::string>& args) const {
        return desk_->run(desk_->programFolder() / "tarvikctl", args);
    }
    bool programOnTheBus() const {
        return desk_
                   ->run(which("gdbus"), {"call", "--session", "--dest", "org.freedesktop.DBus",
                                          "--object-path", "/org/freedesktop/DBus", "--method",
                                          "org.freedesktop.DBus.NameHasOwner", "io.github.tarvik.Tarvik"})
                   .output.find("true") != std::string::npos;
    }
    std::vector<GnomeWindow> windowsOf(pid_t pid) const {
        std::vector<GnomeWindow> out;
        for (const GnomeWindow& w : desk_->windows()) {
            if (w.pid == pid) {
                out.push_back(w);
            }
        }
        return out;
    }
    // The main window: the program's largest window.
    std::optional<GnomeWindow> mainWindow(pid_t pid, std::chrono::milliseconds timeout = 15s) const {
        std::optional<GnomeWindow> found;
        waitUntil(
            [&] {
                for (const GnomeWindow& w : windowsOf(pid)) {
                    if (w.place.w >= 1000 &&
                        (!found || w.place.w * w.place.h > found->place.w * found->place.h)) {
                        found = w;
                    }
                }
                return found.has_value();
            },
            timeout, 100ms);
        return found;
    }
    // The main window, opened by a second start when an earlier scenario left it closed.
    std::optional<GnomeWindow> shownWindow(pid_t pid) {
        if (auto window = mainWindow(pid, 1s)) {
            return window;
        }
        Process& second = desk_->startProgram("tarvik", {});
        if (!second.wait(20s)) {
            ADD_FAILURE() << "the second start did not hand over to the first and end";
        }
        return mainWindow(pid);
    }
    bool gone(const GnomeWindow& window) const {
        return waitUntil(
            [&] {
                for (const GnomeWindow& w : windowsOf(window.pid)) {
                    if (w.title == window.title && w.place.w == window.place.w &&
                        w.place.h == window.place.h) {
                        return false;
                    }
                }
                return true;
            },
            10s, 100ms);
    }
    std::string windowList() const {
        std::string out;
        for (const GnomeWindow& w : desk_->windows()) {
            out += "[" + w.title + " " + w.appId + (w.focused ? " focused" : "") + "] ";
        }
        return out;
    }
    int keyboardProfile() const {
        return simKeyboardProfile(desk_->portmuxSim({"flash", "config", "--json"}));
    }

    static std::unique_ptr<GnomeDesk> desk_;
    static Process* app_;
};

std::unique_ptr<GnomeDesk> GnomeScenarios::desk_;
Process* GnomeScenarios::app_ = nullptr;

TEST_F(GnomeScenarios, WithoutATrayTheProgramStaysAndASecondStartOpensTheWindow) {
    Process* app = program();
    ASSERT_TRUE(waitUntil([&] { return programOnTheBus(); }, 20s, 100ms))
        << "the program did not take its name on the session bus";
    ASSERT_TRUE(app->running()) << "without a tray the program ended instead of staying resident";
    EXPECT_TRUE(windowsOf(app->pid()).empty()) << "started as at login, the program showed a window";
    desk().step("resident without a tray");

    Process& second = desk().startProgram("tarvik", {});
    ASSERT_TRUE(second.wait(20s)) << "the second start did not end";
    EXPECT_EQ(second.exitCode(), 0);
    const auto window = mainWindow(app->pid());
    ASSERT_TRUE(window) << "the second start opened no window of the first";
    EXPECT_TRUE(app->running());
    desk().step("opened by a second start");
}

TEST_F(GnomeScenarios, TheKeyDialogTakesSuperFromTheShellAndGivesItBack) {
    Process* app = program();
    const std::optional<GnomeWindow> window = shownWindow(app->pid());
    ASSERT_TRUE(window);
    ASSERT_TRUE(desk().clickAt(*window, desk().skinFile("Main.ini"), "KEY_010"));
    // The dialog is not focused yet when the shell asks its question first.
    std::optional<GnomeWindow> dialog;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const GnomeWindow& w : windowsOf(app->pid())) {
                if (w.place.w >= 300 && w.place.w < window->place.w) {
                    dialog = w;
                    return true;
                }
            }
            return false;
        },
        10s, 100ms))
        << "a click on Q opened no key dialog";
    // The shell asks once whether the program may take the shortcuts; the user allows it (the dialog's
    // default button).
    if (waitUntil([&] { return desk().shellDialogShown(); }, 3s, 100ms)) {
        std::cout << "[ measured ] GNOME Shell asked whether Tarvik may take the shortcuts\n";
        desk().step("the shell asks about the shortcuts");
        ASSERT_TRUE(desk().chord({kEvEnter}));
        ASSERT_TRUE(waitUntil([&] { return !desk().shellDialogShown(); }, 5s, 100ms));
    }
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const GnomeWindow& w : windowsOf(app->pid())) {
                // Where the shell has placed it by now, for the clicks on its controls.
                if (w.focused && w.place.w == dialog->place.w) {
                    dialog = w;
                    return true;
                }
            }
            return false;
        },
        5s, 100ms))
        << "the key dialog did not get the focus";
    desk().step("key dialog of Q");
    // Over the main window, not in the screen's corner: the shell was told it is the window's modal dialog.
    EXPECT_NEAR(dialog->place.x + dialog->place.w / 2, window->place.x + window->place.w / 2, 2)
        << "the key dialog is not placed over the main window";

    ASSERT_TRUE(desk().chord({kEvLeftMeta}));
    // The capture shows Super in its field; the overview must not open meanwhile.
    const bool overview = waitUntil([&] { return desk().overviewShown(); }, 2s, 100ms);
    desk().step("Super captured");
    EXPECT_FALSE(overview) << "the shell took Super for its overview during the capture";
    if (overview) {
        desk().chord({kEvEscape});
    }
    ASSERT_TRUE(desk().clickAt(*dialog, desk().skinFile("Composite.ini"), "CONTROL_OK"));
    ASSERT_TRUE(gone(*dialog)) << "OK did not close the key dialog";
    ASSERT_TRUE(desk().clickAt(*window, desk().skinFile("Main.ini"), "CONTROL2_APPLY"));
    EXPECT_TRUE(waitUntil([&] { return cachedKeyTarget(desk().home(), kQ) == kWin; }, 10s, 100ms))
        << "the cache file does not give Q the Windows key";
    desk().step("applied");

    // Without a capture the shell has its key again.
    ASSERT_TRUE(desk().chord({kEvLeftMeta}));
    EXPECT_TRUE(waitUntil([&] { return desk().overviewShown(); }, 5s, 100ms))
        << "the shell did not get Super back after the dialog";
    desk().step("Super opens the overview again");
    ASSERT_TRUE(desk().chord({kEvEscape}));
    EXPECT_TRUE(waitUntil([&] { return !desk().overviewShown(); }, 5s, 100ms));
}

TEST_F(GnomeScenarios, TheProfileFollowsTheAppIdInFrontThroughTheExtension) {
    // GNOME 42 to 44 run the script extension and mark the module one out of date; later shells the
    // other way round.
    const int legacy = desk().extensionState(kLegacyExtension), modern = desk().extensionState(kExtension);
    std::cout << "[ measured ] extension states: " << kLegacyExtension << " " << legacy << ", " << kExtension
              << " " << modern << " (1 enabled, 4 out of date)\n";
    ASSERT_TRUE(legacy == 1 || modern == 1) << "the shell runs neither of the program's extensions";
    const std::string running = legacy == 1 ? kLegacyExtension : kExtension;

    Process* app = program();
    ASSERT_TRUE(waitUntil(
        [&] {
            return ctl({"app-profiles", "list"}).output.find("watching: GNOME Shell extension " + running) !=
                   std::string::npos;
        },
        20s, 100ms))
        << ctl({"app-profiles", "list"}).output;
    ASSERT_EQ(ctl({"app-profiles", "add", "game1", "2"}).exitCode, 0);
    ASSERT_EQ(keyboardProfile(), 0);

    std::filesystem::copy_file(TARVIK_E2E_PROBE, desk().programFolder() / "e2e_probe",
                               std::filesystem::copy_options::overwrite_existing);
    const std::filesystem::path log = desk().home() / "probe.log";
    desk().startProgram("e2e_probe", {"--title", "game1", "--app-id", "game1", "--log", log.string()});
    desk().startProgram("e2e_probe", {"--title", "editor", "--app-id", "editor", "--log", log.string()});
    ASSERT_TRUE(desk().findWindow("^game1$") && desk().findWindow("^editor$"))
        << "the probe windows did not show";

    ASSERT_TRUE(desk().activate("game1"));
    ASSERT_TRUE(waitUntil([&] { return keyboardProfile() == 2; }, 10s, 20ms))
        << "focusing game1 did not switch the keyboard to profile 2; windows: " << windowList();
    desk().step("game1 in front, profile 2");

    ASSERT_TRUE(desk().activate("editor"));
    ASSERT_TRUE(waitUntil([&] { return keyboardProfile() == 0; }, 10s, 20ms))
        << "focusing editor did not return the keyboard to profile 0";
    desk().step("editor in front, profile 0");
    EXPECT_TRUE(app->running());
}

// Installed but not enabled, as after the package's installation: the program names the extension this
// shell can run (GNOME 42 to 44 cannot load the module one) for the user to enable.
TEST(GnomeExtensionOff, TheProgramNamesTheExtensionThisShellRuns) {
    const std::filesystem::path extensions = TARVIK_GNOME_EXTENSIONS;
    GnomeDesk desk("gnome-extension-off", {extensions / kExtension, extensions / kLegacyExtension}, false);
    if (desk.error().find("gnome-shell did not come up") != std::string::npos) {
        GTEST_SKIP() << "GNOME Shell cannot run here: " << desk.error();
    }
    ASSERT_TRUE(desk.ok()) << desk.error();
    const bool legacyRuns = desk.extensionState(kExtension) == 4;
    ASSERT_NE(legacyRuns, desk.extensionState(kLegacyExtension) == 4)
        << "the shell can run neither extension";
    desk.startProgram("tarvik", {"/Start"});
    const std::string expected =
        std::string("watching: off: ") + (legacyRuns ? kLegacyExtension : kExtension) + "\n";
    std::string said;
    EXPECT_TRUE(waitUntil(
        [&] {
            said = desk.run(desk.programFolder() / "tarvikctl", {"app-profiles", "list"}).output;
            return said.find(expected) != std::string::npos;
        },
        20s, 100ms))
        << said;
}

} // namespace
} // namespace tarvik::e2e
