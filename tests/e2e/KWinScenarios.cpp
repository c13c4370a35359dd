// The program on KDE's compositor (kwin_wayland on a virtual output, no Plasma panel, so no tray), all
// scenarios on one desk: started to the background, a second start opens the window; the key dialog
// captures the Windows key, which KWin has bound for itself, while the program holds the keyboard, and
// KWin has it back once the dialog is gone; the keyboard's profile follows the window in front through
// the program's KWin script. Screenshots in build/e2e/kwin-*.png.
#include "appprofiles/BusFocusWatcher.h"
#include "keyboard/KeyAssignment.h"
#include "profiles/ProfileFile.h"
#include "tests/e2e/CachedKeyTarget.h"
#include "tests/e2e/KWinDesk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>

namespace tarvik::e2e {
namespace {

constexpr keyboard::KeyCode kQ = 0x10, kWin = 0x15B;
constexpr int kEvLeftMeta = 125;

class KWinScenarios : public ::testing::Test {
public:
    static void SetUpTestSuite() { desk_ = std::make_unique<KWinDesk>("kwin"); }
    static void TearDownTestSuite() {
        app_ = nullptr;
        desk_.reset();
    }

protected:
    void SetUp() override {
        if (!desk_->kwinRuns()) {
            GTEST_SKIP() << "KWin does not run here: " << desk_->error();
        }
        ASSERT_TRUE(desk_->ok()) << desk_->error();
        desk_->setScenario(std::string("kwin-") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    KWinDesk& desk() { return *desk_; }

    // The program started to the background once, ready for a second start: it listens beside its
    // instance lock and has read the keyboard (its reports have come and stopped).
    Process* program() {
        if (app_ != nullptr && app_->running()) {
            return app_;
        }
        app_ = &desk_->startProgram("tarvik", {"/Start"});
        const std::filesystem::path socket = desk_->home().parent_path() / "run" / "Tarvik_Mutex_09A.sock";
        EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(socket) || !app_->running(); }, 15s));
        int reports = -1;
        auto unchangedSince = std::chrono::steady_clock::now();
        EXPECT_TRUE(waitUntil(
            [&] {
                const RunOutcome r = desk_->portmuxSim({"status", "--json"});
                const size_t at = r.output.find("\"reports\": ");
                const int now =
                    r.exitCode == 0 && at != std::string::npos ? std::atoi(r.output.c_str() + at + 11) : -1;
                if (now != reports) {
                    reports = now;
                    unchangedSince = std::chrono::steady_clock::now();
                }
                return reports > 0 && std::chrono::steady_clock::now() - unchangedSince >= 1s;
            },
            30s, 100ms))
            << "the program did not read the keyboard (reports: " << reports << ")";
        return app_;
    }
    std::vector<KWinWindow> windowsOf(pid_t pid) {
        std::vector<KWinWindow> out;
        for (const KWinWindow& w : desk_->windows()) {
            if (w.pid == pid) {
                out.push_back(w);
            }
        }
        return out;
    }
    // The main window: the program's largest window.
    std::optional<KWinWindow> mainWindow(pid_t pid, std::chrono::milliseconds timeout = 15s) {
        std::optional<KWinWindow> found;
        waitUntil(
            [&] {
                for (const KWinWindow& w : windowsOf(pid)) {
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
    // The program's active window other than the main one.
    std::optional<KWinWindow> dialogOf(pid_t pid, const KWinWindow& main) {
        std::optional<KWinWindow> found;
        waitUntil(
            [&] {
                for (const KWinWindow& w : windowsOf(pid)) {
                    if (w.active && w.title != main.title) {
                        found = w;
                        return true;
                    }
                }
                return false;
            },
            10s, 100ms);
        return found;
    }
    bool gone(const KWinWindow& dialog, pid_t pid) {
        return waitUntil(
            [&] {
                for (const KWinWindow& w : windowsOf(pid)) {
                    if (w.title == dialog.title && w.place.w == dialog.place.w) {
                        return false;
                    }
                }
                return true;
            },
            10s, 100ms);
    }
    // The target key of an ordinary key's record in the program's cache file (profile 0).
    std::optional<uint32_t> cachedTarget(keyboard::KeyCode key) const {
        return cachedKeyTarget(desk_->home(), key);
    }
    // The on-board profile the virtual keyboard runs (byte 10 of its configuration block).
    int keyboardProfile() const {
        return simKeyboardProfile(desk_->portmuxSim({"flash", "config", "--json"}));
    }

    static std::unique_ptr<KWinDesk> desk_;
    static Process* app_;
};

std::unique_ptr<KWinDesk> KWinScenarios::desk_;
Process* KWinScenarios::app_ = nullptr;

TEST_F(KWinScenarios, ASecondStartOpensTheWindowAndTheKeyDialogTakesTheWindowsKey) {
    Process* app = program();
    ASSERT_TRUE(app->running());
    EXPECT_TRUE(windowsOf(app->pid()).empty()) << "a window shows after a start with /Start";
    desk().step("started to the background");

    const RunOutcome second = desk().run(desk().programFolder() / "tarvik", {});
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 0) << second.output;
    const std::optional<KWinWindow> window = mainWindow(app->pid());
    ASSERT_TRUE(window) << "a second start opened no window";
    ASSERT_FALSE(desk().step("opened by a second start").empty()) << "KWin gave no picture";

    ASSERT_EQ(desk().currentDesktop(), 1);
    ASSERT_TRUE(desk().clickAt(*window, desk().skinFile("Main.ini"), "KEY_010"));
    const std::optional<KWinWindow> dialog = dialogOf(app->pid(), *window);
    ASSERT_TRUE(dialog) << "a click on Q opened no key dialog";
    ASSERT_TRUE(desk().chord({kEvLeftMeta}));
    desk().step("the Windows key captured");
    EXPECT_EQ(desk().currentDesktop(), 1) << "KWin took the Windows key from the capture";
    ASSERT_TRUE(desk().clickAt(*dialog, desk().skinFile("Composite.ini"), "CONTROL_OK"));
    ASSERT_TRUE(gone(*dialog, app->pid())) << "OK did not close the key dialog";
    ASSERT_TRUE(desk().clickAt(*window, desk().skinFile("Main.ini"), "CONTROL2_APPLY"));
    EXPECT_TRUE(waitUntil([&] { return cachedTarget(kQ) == kWin; }, 10s, 100ms))
        << "the cache file does not give Q the Windows key";
    desk().step("applied");

    // Without a capture KWin has its key again.
    ASSERT_TRUE(desk().chord({kEvLeftMeta}));
    EXPECT_TRUE(waitUntil([&] { return desk().currentDesktop() == 2; }, 5s, 100ms))
        << "KWin did not get the Windows key back";
    EXPECT_TRUE(desk().setCurrentDesktop(1));
}

TEST_F(KWinScenarios, TheProfileFollowsTheWindowInFrontThroughTheKWinScript) {
    Process* app = program();
    ASSERT_TRUE(app->running());
    const auto ctl = [&](const std::vector<std::string>& args) {
        return desk().run(desk().programFolder() / "tarvikctl", args);
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            return ctl({"app-profiles", "list"}).output.find("watching: KWin script") != std::string::npos;
        },
        20s, 100ms))
        << ctl({"app-profiles", "list"}).output;
    EXPECT_TRUE(desk().scriptLoaded(appprofiles::kKwinScriptName))
        << "KWin has not loaded the program's script";
    ASSERT_EQ(ctl({"app-profiles", "add", "game1", "2"}).exitCode, 0);
    ASSERT_EQ(keyboardProfile(), 0);

    const std::filesystem::path log = desk().home() / "probe.log";
    desk().startProgram(TARVIK_E2E_PROBE, {"--title", "game1", "--app-id", "game1", "--log", log.string()});
    desk().startProgram(TARVIK_E2E_PROBE, {"--title", "editor", "--app-id", "editor", "--log", log.string()});
    ASSERT_TRUE(desk().findWindow("^game1$") && desk().findWindow("^editor$"))
        << "the probe windows did not show";

    // The last step turns from the fallback back to the game: only the focus moved by the desk does that.
    for (const auto& [appId, profile] :
         {std::pair{"game1", 2}, std::pair{"editor", 0}, std::pair{"game1", 2}}) {
        SCOPED_TRACE(appId);
        ASSERT_TRUE(desk().activate(appId));
        const auto from = std::chrono::steady_clock::now();
        ASSERT_TRUE(waitUntil([&] { return keyboardProfile() == profile; }, 10s, 20ms))
            << appId << " in front did not put the keyboard on profile " << profile;
        std::cout << "[ measured ] " << appId << " in front -> profile " << profile << " after "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                           from)
                         .count()
                  << " ms\n";
        desk().step(std::string(appId) + " in front, profile " + std::to_string(profile));
    }
    EXPECT_TRUE(app->running());
}

} // namespace
} // namespace tarvik::e2e
