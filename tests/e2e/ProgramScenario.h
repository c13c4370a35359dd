// The program's scenarios: one desktop for every scenario of a test program (coming up costs more than
// most scenarios), and for each scenario a clean start: the keyboard back to its factory state, no
// settings or profile files of the user, and at its end every `tarvik` it started ended, by "/Kill" so
// that the program goes its own orderly way, else by its process id.
//
//   class MyScenarios : public ProgramScenario {};
//   TEST_F(MyScenarios, Something) {
//       Process& app = start({"/Start"});
//       auto icon = desktop().trayIconOf(app.pid());
//       ...
//   }
#pragma once

#include "tests/e2e/Desktop.h"

#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::e2e {

// The three notification-area pictures of the program.
enum class TrayPicture { NoKeyboard = 128, Keyboard = 141, Activity = 142 };

class ProgramScenario : public ::testing::Test {
public:
    // A test program that needs other desktop options brings a SetUpTestSuite of its own that calls
    // openDesktop with them.
    static void SetUpTestSuite() { openDesktop({}); }
    static void TearDownTestSuite();

protected:
    static void openDesktop(DesktopOptions options);

    void SetUp() override;
    void TearDown() override;

    Desktop& desktop() { return *desktop_; }
    // What the desktop was opened with (its screen size among them).
    static const DesktopOptions& desktopOptions() { return options_; }
    // Starts the program; the scenario ends it at the latest in TearDown.
    Process& start(const std::vector<std::string>& args);
    // What every program the scenario starts gets besides the desktop's environment (NAME=value).
    std::vector<std::string> programEnvironment_;
    // A start that is expected to end by itself (a second instance): run to its end, bounded.
    RunOutcome startAndWait(const std::vector<std::string>& args);
    // Starts the program with the keyboard and waits for its main window.
    std::optional<WindowInfo> openWindow(Process*& app);
    // The user's data folder of the program (profiles, cache file, backups) in the desktop's home.
    std::filesystem::path dataFolder() const;

    // A text of the language file of the program folder, in English or Chinese.
    std::string text(const char* key, bool chinese = false) const;
    // The program's main window, mapped or not, once it exists.
    std::optional<WindowInfo> mainWindow(pid_t pid, std::chrono::milliseconds timeout = 15s) const;
    // The first viewable window of the process that the predicate accepts, waiting up to timeout.
    template <typename Predicate>
    std::optional<WindowInfo> waitForWindow(pid_t pid, Predicate accept,
                                            std::chrono::milliseconds timeout = 10s) const {
        std::optional<WindowInfo> found;
        waitUntil(
            [&] {
                for (const WindowInfo& w : desktop_->windowsOf(pid)) {
                    if (w.viewable && accept(w)) {
                        found = w;
                        return true;
                    }
                }
                return false;
            },
            timeout, 50ms);
        return found;
    }
    // A window of the process with exactly this name is on the screen.
    bool shows(pid_t pid, const std::string& name) const;

    // The pointer off every control, and no tooltip of the process left on the screen: what a screenshot
    // or a comparison of pictures needs.
    bool settle(pid_t pid);
    // The screen now, as a picture.
    QImage screen();
    // Which of the program's three pictures the notification-area icon shows now; empty when it looks
    // like none of them.
    std::optional<TrayPicture> trayPicture(const WindowInfo& icon);
    bool waitForTrayPicture(const WindowInfo& icon, TrayPicture picture,
                            std::chrono::milliseconds timeout = 10s);

    // Opens the icon's menu (right button) and waits for it; true when it is on the screen.
    bool openTrayMenu(pid_t pid, const WindowInfo& icon);
    // A double click on the icon, the pointer brought onto it first.
    bool doubleClickTrayIcon(const WindowInfo& icon);
    // Waits until no menu of the process is on the screen (a chosen item has been carried out).
    bool menuClosed(pid_t pid);
    // One area of the keyboard's flash, as the virtual keyboard holds it.
    std::vector<int> flash(const std::string& area) const;
    // The keyboard's G-key layer as the program last told the keyboard (bit 0 of its status), if it has.
    std::optional<int> keyboardLayer() const;

private:
    static std::unique_ptr<Desktop> desktop_;
    static DesktopOptions options_;
    std::vector<Process*> started_;
};

// A rectangle of a skin layout file in screen coordinates, for a window shown at the skin's size.
ScreenRect skinRectOnScreen(const std::filesystem::path& layoutFile, const char* key,
                            const ScreenRect& window);
// The part of a picture, and whether two parts show the same pixels.
QImage part(const QImage& screen, const ScreenRect& r);
bool samePixels(const QImage& a, const QImage& b);
// Whether a window type (as WindowInfo has it) is one of the given _NET_WM_WINDOW_TYPE_ names.
bool isType(const WindowInfo& w, const char* type);
// A menu on the screen: placed by the program itself, neither a tooltip nor the icon in the tray host.
bool isMenu(const WindowInfo& w);

} // namespace tarvik::e2e
