// The program's start as a user meets it, on one desktop with a tray host and the virtual keyboard of
// portmux-sim: the window that opens once the keyboard is read, the hidden start, the hand-over of a
// second start and of "/Kill", the start without a keyboard, and the notification-area icon's menu.
#include "tests/e2e/ProgramScenario.h"

namespace tarvik::e2e {
namespace {

class StartScenarios : public ProgramScenario {
protected:
    // How many of the program's named events exist (glibc keeps "/NAME" as /dev/shm/sem.NAME).
    int namedEvents() {
        std::string prefix;
        for (const std::string& e : desktop().environment()) {
            if (e.rfind("TARVIK_NAMED_EVENT_PREFIX=/", 0) == 0) {
                prefix = "sem." + e.substr(e.find('=') + 2);
            }
        }
        int n = 0;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
            n += !prefix.empty() && entry.path().filename().string().rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return n;
    }
};

bool isMessageBox(const WindowInfo& w, const std::string& mainCaption) {
    // The no-keyboard message has an empty caption: the window is a dialog that is neither the main
    // window nor the About box.
    return isType(w, "_NET_WM_WINDOW_TYPE_DIALOG") && w.name != mainCaption && w.name != "About";
}

TEST_F(StartScenarios, APlainStartOpensTheWindowOnceTheKeyboardIsRead) {
    Process& app = start({});
    const auto window = mainWindow(app.pid());
    ASSERT_TRUE(window) << "the main window did not open";
    // It opened after the keyboard was read: the reports of the arrival reached the keyboard first.
    const RunOutcome status = desktop().portmuxSim({"status", "--json"});
    EXPECT_EQ(status.output.find("\"reports\": 0,"), std::string::npos) << status.output;
    EXPECT_EQ(window->place.w, 1300);
    EXPECT_EQ(window->place.h, 716);
    const auto icon = desktop().trayIconOf(app.pid());
    ASSERT_TRUE(icon) << "no icon in the notification area";
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));

    ASSERT_TRUE(settle(app.pid()));
    desktop().step("window open");
    // The picture of the main window for the package and the README.
    EXPECT_FALSE(desktop().shotOfWindow(window->id, "main-window").empty());
}

TEST_F(StartScenarios, StartStaysHiddenWithTheIconInTheNotificationArea) {
    Process& app = start({"/Start"});
    const auto icon = desktop().trayIconOf(app.pid());
    ASSERT_TRUE(icon) << "no icon in the notification area";
    // The keyboard has been read and handled once the icon shows it; a window that was going to open
    // was asked to before that.
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));
    // And the window's own queue has run since: its icon menu opens.
    ASSERT_TRUE(openTrayMenu(app.pid(), *icon));
    desktop().step("icon menu of a hidden start");
    EXPECT_FALSE(shows(app.pid(), text("MAIN_CAPTION")));
    ASSERT_TRUE(desktop().key({"Escape"}));
    EXPECT_TRUE(app.running());
}

TEST_F(StartScenarios, ASecondStartOpensTheWindowOfTheFirstAndEndsWithZero) {
    Process& first = start({"/Start"});
    const auto icon = desktop().trayIconOf(first.pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));

    const RunOutcome second = startAndWait({});
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 0) << second.output;
    // The hand-over is answered once the first has handled it: its window is there at once.
    const auto window = mainWindow(first.pid(), 5s);
    ASSERT_TRUE(window) << "the first instance did not open its window";
    desktop().step("window of the first instance");
    EXPECT_TRUE(first.running());
    // Still the only instance: a third start hands over too and leaves one icon.
    EXPECT_EQ(startAndWait({"-Kill", "whatever"}).exitCode, 0);
    EXPECT_TRUE(first.running());
}

TEST_F(StartScenarios, KillEndsTheFirstInstanceAndItself) {
    Process& first = start({"/Start"});
    const auto icon = desktop().trayIconOf(first.pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));

    EXPECT_EQ(namedEvents(), 208);

    const RunOutcome kill = startAndWait({"/kILL"});
    EXPECT_TRUE(kill.finished);
    EXPECT_EQ(kill.exitCode, 0) << kill.output;
    ASSERT_TRUE(first.wait(10s)) << "the first instance is still running";
    EXPECT_EQ(first.exitCode(), 0);
    // Its own orderly end, not a crash: the named events went with it.
    EXPECT_EQ(namedEvents(), 0);
    desktop().step("after kill");
}

TEST_F(StartScenarios, WithoutAKeyboardTheWindowStaysHiddenAndASecondStartSaysSo) {
    ASSERT_EQ(desktop().portmuxSim({"unplug"}).exitCode, 0);
    Process& app = start({});
    const auto icon = desktop().trayIconOf(app.pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::NoKeyboard));

    // A second start, and a double click on the icon, ask for the window, which has nothing to show.
    const std::string caption = text("MAIN_CAPTION");
    auto noKeyboardMessage = [&](const char* what) {
        const auto box =
            waitForWindow(app.pid(), [&](const WindowInfo& w) { return isMessageBox(w, caption); });
        ASSERT_TRUE(box) << "no message after " << what;
        EXPECT_FALSE(shows(app.pid(), caption));
        ASSERT_TRUE(settle(app.pid()));
        desktop().step(std::string("no keyboard message after ") + what);
        ASSERT_TRUE(desktop().activate(box->id));
        ASSERT_TRUE(desktop().key({"Return"}));
        EXPECT_TRUE(waitUntil([&] { return !desktop().isViewable(box->id); }, 5s)) << "OK did not close it";
    };
    const RunOutcome second = startAndWait({});
    EXPECT_EQ(second.exitCode, 0) << second.output;
    noKeyboardMessage("a second start");
    ASSERT_TRUE(doubleClickTrayIcon(*icon));
    noKeyboardMessage("a double click");

    // The keyboard arrives: the icon follows, the window stays where it was.
    ASSERT_EQ(desktop().portmuxSim({"plug"}).exitCode, 0);
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));
    ASSERT_TRUE(openTrayMenu(app.pid(), *icon));
    desktop().step("keyboard plugged in later");
    EXPECT_FALSE(shows(app.pid(), caption));
    ASSERT_TRUE(desktop().key({"Escape"}));
    ASSERT_TRUE(menuClosed(app.pid()));

    // With the keyboard there, a double click opens the window.
    ASSERT_TRUE(doubleClickTrayIcon(*icon));
    EXPECT_TRUE(mainWindow(app.pid(), 5s)) << "a double click did not open the window";
}

TEST_F(StartScenarios, TheKeyboardsOwnEventsReachTheIconAndTheLighting) {
    Process& app = start({"/Start"});
    const auto icon = desktop().trayIconOf(app.pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));

    // The keyboard's activity: the icon shows it while it lasts.
    ASSERT_EQ(desktop().portmuxSim({"cons", "0x1811"}).exitCode, 0);
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::Activity));
    desktop().step("keyboard busy");
    ASSERT_EQ(desktop().portmuxSim({"cons", "0x1810"}).exitCode, 0);
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));

    // A lighting change made on the keyboard: the program reads the keyboard's settings again.
    const RunOutcome status = desktop().portmuxSim({"status", "--json"});
    const size_t at = status.output.find("\"reports\": ");
    ASSERT_NE(at, std::string::npos) << status.output;
    const std::string since = std::to_string(std::atol(status.output.c_str() + at + 11));
    ASSERT_EQ(desktop().portmuxSim({"lighting"}).exitCode, 0);
    EXPECT_TRUE(waitUntil(
        [&] {
            return desktop()
                       .portmuxSim({"reports", "--since", since, "--json"})
                       .output.find("\"command\": 5,") != std::string::npos;
        },
        10s))
        << "no settings read after the keyboard's lighting change";
    EXPECT_FALSE(shows(app.pid(), text("MAIN_CAPTION")));
}

TEST_F(StartScenarios, TheIconMenuOpensTheWindowTheAboutBoxAndEndsTheProgram) {
    Process& app = start({"/Start"});
    const auto icon = desktop().trayIconOf(app.pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));

    // Open / About / Exit, chosen with the keyboard as the menu offers them.
    ASSERT_TRUE(openTrayMenu(app.pid(), *icon));
    desktop().step("icon menu");
    ASSERT_TRUE(desktop().key({"Down", "Return"}));
    ASSERT_TRUE(mainWindow(app.pid(), 5s)) << "Open did not show the window";

    ASSERT_TRUE(openTrayMenu(app.pid(), *icon));
    ASSERT_TRUE(desktop().key({"Down", "Down", "Return"}));
    const auto about =
        waitForWindow(app.pid(), [&](const WindowInfo& w) { return w.name == text("MENU_3"); });
    ASSERT_TRUE(about) << "About did not open";
    ASSERT_TRUE(settle(app.pid()));
    desktop().step("about box");
    // About asked for again: still one box.
    ASSERT_TRUE(openTrayMenu(app.pid(), *icon));
    ASSERT_TRUE(desktop().key({"Down", "Down", "Return"}));
    // The icon menu carries out its item before it closes.
    ASSERT_TRUE(menuClosed(app.pid()));
    int abouts = 0;
    for (const WindowInfo& w : desktop().windowsOf(app.pid())) {
        abouts += w.viewable && w.name == text("MENU_3") ? 1 : 0;
    }
    EXPECT_EQ(abouts, 1);

    ASSERT_TRUE(openTrayMenu(app.pid(), *icon));
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Return"}));
    ASSERT_TRUE(app.wait(10s)) << "Exit did not end the program";
    EXPECT_EQ(app.exitCode(), 0);
    desktop().step("after exit");
}

} // namespace
} // namespace tarvik::e2e
