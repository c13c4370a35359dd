// The program on a wlroots desk (headless sway, waybar's StatusNotifier tray), all scenarios on one desk:
// a click on the tray item opens the window; the key dialog captures keys the compositor has bound for
// itself (the Windows key, Print Screen, Alt+Tab, Ctrl+Alt+Left) while it holds the keyboard, and the
// desk has them back once the dialog is gone; at output scale 2 the window fits and a click at a key's
// place hits that key.
// Screenshots in build/e2e/sway-*.png.
#include "keyboard/KeyAssignment.h"
#include "tests/e2e/CachedKeyTarget.h"
#include "tests/e2e/SwayDesk.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <memory>

namespace tarvik::e2e {
namespace {

using Entry = std::array<int, 3>;

// Key codes of the program and the evdev codes a keyboard sends for them.
constexpr keyboard::KeyCode kA = 0x1E, kQ = 0x10, kW = 0x11, kE = 0x12, kR = 0x13, kB = 0x30, kTab = 0x0F,
                            kWin = 0x15B, kPrint = 0x137, kLeft = 0x14B;
constexpr int kEvB = 48, kEvLeftMeta = 125, kEvPrint = 99, kEvLeftAlt = 56, kEvLeftCtrl = 29, kEvTab = 15,
              kEvLeft = 105;
constexpr int kUsageA = 0x04, kUsageB = 0x05;

class SwayScenarios : public ::testing::Test {
public:
    static void SetUpTestSuite() { desk_ = std::make_unique<SwayDesk>("sway"); }
    static void TearDownTestSuite() {
        app_ = nullptr;
        desk_.reset();
    }

protected:
    void SetUp() override {
        ASSERT_TRUE(desk_->ok()) << desk_->error();
        desk_->setScenario(std::string("sway-") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    SwayDesk& desk() { return *desk_; }

    // The program started to the tray, once: later scenarios use the same instance.
    Process* program() {
        if (app_ == nullptr || !app_->running()) {
            app_ = &desk_->startProgram("tarvik", {"/Start"});
        }
        return app_;
    }
    std::vector<SwayWindow> windowsOf(pid_t pid) const {
        std::vector<SwayWindow> out;
        for (const SwayWindow& w : desk_->windows()) {
            if (w.pid == pid) {
                out.push_back(w);
            }
        }
        return out;
    }
    // The main window, opened through the tray item when an earlier scenario left it closed.
    std::optional<SwayWindow> shownWindow(pid_t pid) {
        if (auto window = mainWindow(pid, 2s)) {
            return window;
        }
        const std::vector<std::string> items = desk().trayItems();
        if (items.empty() || !desk().activateTrayItem(items.front())) {
            ADD_FAILURE() << "no tray item to open the window with";
            return std::nullopt;
        }
        return mainWindow(pid);
    }
    // The main window: the program's largest window.
    std::optional<SwayWindow> mainWindow(pid_t pid, std::chrono::milliseconds timeout = 10s) const {
        std::optional<SwayWindow> found;
        waitUntil(
            [&] {
                for (const SwayWindow& w : windowsOf(pid)) {
                    if (w.place.w >= 1000 &&
                        (!found || w.place.w * w.place.h > found->place.w * found->place.h)) {
                        found = w;
                    }
                }
                return found.has_value();
            },
            timeout, 50ms);
        return found;
    }
    // A click on a key of the main window, then the key dialog, focused.
    std::optional<SwayWindow> openKeyDialog(pid_t pid, const SwayWindow& window, const char* key) {
        const QImage before = desk_->picture();
        if (!desk_->clickAt(window, desk_->skinFile("Main.ini"), key)) {
            return std::nullopt;
        }
        std::optional<SwayWindow> dialog;
        waitUntil(
            [&] {
                for (const SwayWindow& w : windowsOf(pid)) {
                    if (w.id != window.id && w.focused) {
                        dialog = w;
                        return true;
                    }
                }
                return false;
            },
            10s, 50ms);
        if (dialog && !desk_->waitUntilDrawn(before, dialog->place)) {
            ADD_FAILURE() << "the key dialog is in the compositor's tree but not on the screen";
        }
        return dialog;
    }
    bool closedByClick(const SwayWindow& dialog, const char* control) {
        return desk_->clickAt(dialog, desk_->skinFile("Composite.ini"), control) &&
               waitUntil(
                   [&] {
                       for (const SwayWindow& w : desk_->windows()) {
                           if (w.id == dialog.id) {
                               return false;
                           }
                       }
                       return true;
                   },
                   10s, 50ms);
    }
    std::vector<int> flash(const std::string& area) const {
        const RunOutcome r = desk_->portmuxSim({"flash", area, "--json"});
        const nlohmann::json j = nlohmann::json::parse(r.output, nullptr, false);
        if (r.exitCode != 0 || j.is_discarded() || !j.contains("bytes")) {
            return {};
        }
        return j["bytes"].get<std::vector<int>>();
    }
    // The entry the keyboard holds in profile 0 for key, found through its default layout.
    std::optional<Entry> keyEntry(keyboard::KeyCode key) const {
        const std::vector<int> defaults = flash("default-keys");
        const std::vector<int> blocks = flash("keys");
        for (size_t at = 0; at + 3 <= defaults.size() && at + 3 <= blocks.size(); at += 3) {
            const keyboard::KeyEntry e{static_cast<uint8_t>(defaults[at]),
                                       static_cast<uint8_t>(defaults[at + 1]),
                                       static_cast<uint8_t>(defaults[at + 2])};
            if (keyboard::KeyOfKeyEntry(e) == key) {
                return Entry{blocks[at], blocks[at + 1], blocks[at + 2]};
            }
        }
        return std::nullopt;
    }
    std::optional<uint32_t> cachedTarget(keyboard::KeyCode key) const {
        return cachedKeyTarget(desk_->home(), key);
    }
    bool fileAppears(const std::filesystem::path& file) const {
        return waitUntil([&] { return std::filesystem::exists(file); }, 5s, 50ms);
    }

    static std::unique_ptr<SwayDesk> desk_;
    static Process* app_;
};

std::unique_ptr<SwayDesk> SwayScenarios::desk_;
Process* SwayScenarios::app_ = nullptr;

TEST_F(SwayScenarios, AClickOnTheTrayItemOpensTheWindow) {
    Process* app = program();
    ASSERT_TRUE(app->running());
    ASSERT_TRUE(waitUntil([&] { return !desk().trayItems().empty(); }, 15s, 100ms))
        << "the program's StatusNotifierItem did not register with the tray's watcher";
    // Started to the tray: no window yet.
    EXPECT_TRUE(windowsOf(app->pid()).empty());
    desk().step("in the tray");
    ASSERT_TRUE(desk().click(desk().trayIconPlace()));
    const auto window = mainWindow(app->pid());
    ASSERT_TRUE(window) << "a left click on the tray item opened no window";
    desk().step("opened by a click");
}

TEST_F(SwayScenarios, TheKeyDialogTakesKeysTheCompositorBoundAndGivesThemBack) {
    Process* app = program();
    const std::optional<SwayWindow> window = shownWindow(app->pid());
    ASSERT_TRUE(window);
    ASSERT_EQ(keyEntry(kA), (Entry{2, 2, kUsageA}));
    const std::filesystem::path folder = desk().home().parent_path();
    const struct {
        const char* button;
        keyboard::KeyCode key;
        std::vector<int> pressed; // pressed in order, released in reverse
        keyboard::KeyCode captured;
        const char* binding; // the compositor's binding of the keys (the desk's configuration)
    } cases[] = {{"KEY_01E", kA, {kEvB}, kB, nullptr},
                 {"KEY_010", kQ, {kEvLeftMeta}, kWin, "super-taken"},
                 {"KEY_011", kW, {kEvPrint}, kPrint, "print-taken"},
                 {"KEY_012", kE, {kEvLeftAlt, kEvTab}, kTab, "alt-tab-taken"},
                 {"KEY_013", kR, {kEvLeftCtrl, kEvLeftAlt, kEvLeft}, kLeft, "ctrl-alt-left-taken"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        const auto dialog = openKeyDialog(app->pid(), *window, c.button);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(desk().chord(c.pressed));
        desk().step(std::string("captured in ") + c.button);
        ASSERT_TRUE(closedByClick(*dialog, "CONTROL_OK"));
        if (c.binding != nullptr) {
            EXPECT_FALSE(std::filesystem::exists(folder / c.binding))
                << "the compositor took the keys from the capture";
        }
    }

    ASSERT_TRUE(desk().clickAt(*window, desk().skinFile("Main.ini"), "CONTROL2_APPLY"));
    EXPECT_TRUE(waitUntil(
        [&] {
            return keyEntry(kA) == Entry{2, 2, kUsageB};
        },
        10s, 100ms))
        << "the keyboard's key block does not give A the function of B";
    for (const auto& c : cases) {
        EXPECT_TRUE(waitUntil([&] { return cachedTarget(c.key) == c.captured; }, 5s, 100ms))
            << "the cache file does not give " << c.button << " the captured key";
    }
    desk().step("applied");

    // Without a capture the compositor has its keys again.
    for (const auto& c : cases) {
        if (c.binding != nullptr) {
            ASSERT_TRUE(desk().chord(c.pressed));
            EXPECT_TRUE(fileAppears(folder / c.binding))
                << c.binding << ": the compositor did not get the keys back";
        }
    }
}

TEST_F(SwayScenarios, AtScaleTwoTheWindowFitsAndAClickHitsItsKey) {
    Process* app = program();
    ASSERT_TRUE(desk().setScale(2));
    const std::optional<SwayWindow> window = shownWindow(app->pid());
    ASSERT_TRUE(window);
    EXPECT_GE(window->place.x, 0);
    EXPECT_GE(window->place.y, 0);
    EXPECT_LE(window->place.x + window->place.w, 1600);
    EXPECT_LE(window->place.y + window->place.h, 900);
    desk().step("scale 2");
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01F");
    ASSERT_TRUE(dialog) << "a click at S's place opened no key dialog";
    desk().step("dialog of S at scale 2");
    EXPECT_TRUE(closedByClick(*dialog, "CONTROL_CANCEL"));
}

} // namespace
} // namespace tarvik::e2e
