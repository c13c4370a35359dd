// The open main window as a user works with it, on one desktop with a tray host and the virtual
// keyboard of portmux-sim: Enter and Escape, a report-rate click that reaches the keyboard, the keyboard
// unplugged under an open window, its layer key, and the language switch through the window's menu. The
// program runs from the desktop's own copy of the program folder, since a language switch writes the
// choice into the folder's language file.
#include "keyboard/KeyAssignment.h"
#include "keyboard/Layout.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileFile.h"
#include "tests/e2e/ProgramScenario.h"
#include "ui/TextTable.h"

#include <fstream>

namespace tarvik::e2e {
namespace {

class WindowScenarios : public ProgramScenario {
public:
    static void SetUpTestSuite() {
        DesktopOptions options;
        options.privateProgramFolder = true;
        openDesktop(options);
    }

protected:
    std::filesystem::path layout() { return desktop().skinFile("Main.ini"); }
    // The window's menu button, then its menu on the screen.
    bool openMainMenu(pid_t pid, const WindowInfo& window) {
        return desktop().clickAt(window.id, layout(), "CONTROL_MENU") &&
               waitForWindow(pid, isMenu).has_value();
    }
};

// The cache file of a user whose G1 key has a function in the keyboard's second layer only: the program
// keeps the G keys' records itself, so they survive the keyboard's arrival.
bool writeCacheWithG1InLayer1(const std::filesystem::path& dataFolder) {
    profiles::WorkingCopy working;
    profiles::newDefaultStore(working);
    keyboard::KeyAssignment record;
    record.type = keyboard::ASSIGN_SINGLE_KEY;
    record.aux = keyboard::GKeyTagOfSlot(keyboard::kFirstGSlotLayer1);
    record.value = 0x1E; // A
    working.setRecord(keyboard::kFirstGSlotLayer1, record);
    const std::vector<uint8_t> bytes = profiles::serializeProfile(working);
    std::error_code ec;
    std::filesystem::create_directories(dataFolder, ec);
    std::ofstream out(dataFolder / "$Profile0", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && out.good();
}

TEST_F(WindowScenarios, EnterAndEscapeLeaveTheWindowOpenAndAReportRateClickReachesTheKeyboard) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const std::vector<int> before = flash("settings");
    ASSERT_EQ(before.size(), 126u); // three profiles of 42 bytes
    ASSERT_NE(before[15], 2) << "the keyboard starts at another rate than the one chosen below";

    ASSERT_TRUE(desktop().activate(window->id));
    ASSERT_TRUE(desktop().key({"Return", "Escape", "KP_Enter"}));
    // A click after the keys: once it has reached the keyboard, the window has handled the keys too.
    ASSERT_TRUE(desktop().clickAt(window->id, layout(), "FUNC_REPORT3"));
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::vector<int> now = flash("settings");
            return now.size() == 126 && now[15] == 2;
        },
        10s))
        << "the report rate did not reach the keyboard's settings of profile 1";
    EXPECT_TRUE(desktop().isViewable(window->id)) << "Enter or Escape closed the window";
    const std::vector<int> after = flash("settings");
    for (size_t i = 0; i < after.size(); ++i) {
        if (i != 15) {
            EXPECT_EQ(after[i], before[i]) << "settings byte " << i;
        }
    }
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("report rate 250 Hz");
}

TEST_F(WindowScenarios, UnpluggingHidesTheWindowAndClosesTheAboutBox) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    const auto icon = desktop().trayIconOf(app->pid());
    ASSERT_TRUE(icon);
    // About from the window's menu: Import, Export, About.
    ASSERT_TRUE(openMainMenu(app->pid(), *window));
    desktop().step("menu");
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Return"}));
    const auto about =
        waitForWindow(app->pid(), [&](const WindowInfo& w) { return w.name == text("MENU_3"); });
    ASSERT_TRUE(about) << "About did not open";
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("about box");

    ASSERT_EQ(desktop().portmuxSim({"unplug"}).exitCode, 0);
    EXPECT_TRUE(desktop().waitHidden(window->id)) << "the window stayed";
    EXPECT_TRUE(desktop().waitHidden(about->id)) << "the About box stayed";
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::NoKeyboard));
    desktop().step("unplugged");

    // Plugged back: the icon follows, the window does not come back by itself.
    ASSERT_EQ(desktop().portmuxSim({"plug"}).exitCode, 0);
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::Keyboard));
    ASSERT_TRUE(openTrayMenu(app->pid(), *icon));
    EXPECT_FALSE(desktop().isViewable(window->id));
    ASSERT_TRUE(desktop().key({"Escape"}));
    EXPECT_TRUE(app->running());
}

TEST_F(WindowScenarios, TheLayerKeyRedrawsTheGButtonsAndTheLayerIndicator) {
    ASSERT_TRUE(writeCacheWithG1InLayer1(dataFolder()));
    // A lighting that stands still, so only what the layer changes changes on the screen.
    const RunOutcome still = desktop().tarvikctl({"lighting", "mode", "6"});
    ASSERT_EQ(still.exitCode, 0) << still.output;
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(settle(app->pid()));
    auto place = [&](const char* key) { return skinRectOnScreen(layout(), key, window->place); };
    const char* const gKeys[] = {"FUNC_G1", "FUNC_G2", "FUNC_G3", "FUNC_G4", "FUNC_G5",
                                 "FUNC_G6", "FUNC_G7", "FUNC_G8", "FUNC_G9"};
    // The first layer, once the window has drawn itself completely (two pictures alike).
    QImage layer0;
    ASSERT_TRUE(waitUntil(
        [&] {
            const QImage previous = layer0;
            layer0 = screen();
            return samePixels(part(previous, window->place), part(layer0, window->place));
        },
        10s, 100ms));
    desktop().step("layer A");

    ASSERT_EQ(desktop().portmuxSim({"layer"}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return keyboardLayer() == 1; }, 5s))
        << "the program did not switch the layer";
    QImage layer1;
    EXPECT_TRUE(waitUntil(
        [&] {
            layer1 = screen();
            return !samePixels(part(layer0, place("FUNC_G1")), part(layer1, place("FUNC_G1"))) &&
                   !samePixels(part(layer0, place("LOCK_AB")), part(layer1, place("LOCK_AB")));
        },
        5s, 100ms))
        << "G1 (assigned in the second layer only) or the layer indicator did not change";
    for (const char* g : gKeys) {
        if (std::string(g) != "FUNC_G1") {
            EXPECT_TRUE(samePixels(part(layer0, place(g)), part(layer1, place(g)))) << g << " changed";
        }
    }
    desktop().step("layer B");

    // The key again: back to the first layer's buttons and indicator.
    ASSERT_EQ(desktop().portmuxSim({"layer"}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return keyboardLayer() == 0; }, 5s));
    EXPECT_TRUE(waitUntil(
        [&] {
            const QImage now = screen();
            return samePixels(part(layer0, place("FUNC_G1")), part(now, place("FUNC_G1"))) &&
                   samePixels(part(layer0, place("LOCK_AB")), part(now, place("LOCK_AB")));
        },
        5s, 100ms))
        << "the second press did not bring the first layer back";
    desktop().step("layer A again");
}

TEST_F(WindowScenarios, ALanguageSwitchThroughTheMenuRetextsTheWindowAtOnce) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_EQ(window->name, text("MAIN_CAPTION"));
    const std::filesystem::path languageFile = desktop().skinFile("language.ini");

    // Menu: Import, Export, About, Language > (Chinese, English).
    ASSERT_TRUE(openMainMenu(app->pid(), *window));
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Down", "Right"}));
    desktop().step("language menu");
    ASSERT_TRUE(desktop().key({"Return"}));
    ASSERT_TRUE(mainWindow(app->pid(), 5s)) << "the window closed";
    EXPECT_TRUE(waitUntil([&] { return shows(app->pid(), text("MAIN_CAPTION", true)); }, 5s))
        << "the window's caption did not follow the language";
    EXPECT_EQ(ui::TextTable().load(languageFile), ui::TextTable::kChinese) << "the choice was not kept";
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("chinese");

    // The icon's menu and the About box in the new language, without a restart.
    const auto icon = desktop().trayIconOf(app->pid());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(openTrayMenu(app->pid(), *icon));
    desktop().step("chinese icon menu");
    ASSERT_TRUE(desktop().key({"Down", "Down", "Return"}));
    const auto about =
        waitForWindow(app->pid(), [&](const WindowInfo& w) { return w.name == text("MENU_3", true); });
    EXPECT_TRUE(about) << "no About box with the Chinese title";
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("chinese about box");
    if (about) {
        ASSERT_TRUE(desktop().activate(about->id));
        ASSERT_TRUE(desktop().key({"Return"}));
        ASSERT_TRUE(desktop().waitHidden(about->id));
    }

    // And back to English the same way.
    ASSERT_TRUE(openMainMenu(app->pid(), *window));
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Down", "Right", "Down", "Return"}));
    EXPECT_TRUE(waitUntil([&] { return shows(app->pid(), text("MAIN_CAPTION")); }, 5s));
    EXPECT_EQ(ui::TextTable().load(languageFile), ui::TextTable::kEnglish);
    ASSERT_TRUE(settle(app->pid()));
    desktop().step("english again");
}

} // namespace
} // namespace tarvik::e2e
