// The lighting panel and the profiles as a user works with them, on one desktop with the virtual keyboard
// of portmux-sim: a mode from the list and the brightness slider (dragged, then the wheel) reach the
// keyboard's settings, keys painted in the user mode reach its colour table, a profile switch with an
// unapplied key edit asks first, a lighting change made on the keyboard is read back, the profile manager
// selects the ticked profile, and the colour-keys mode keeps a toggled key. The pictures of each family of
// modes are kept, in English and in Chinese. The program runs from the desktop's own copy of the program
// folder, since the Chinese pictures need the language choice written into its language file.
#include "keyboard/Layout.h"
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileFile.h"
#include "tests/e2e/ProgramScenario.h"
#include "ui/TextTable.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarvik::e2e {
namespace {

constexpr int kParamsSize = 42;       // one profile's block in the keyboard's settings
constexpr int kColourTableSize = 512; // one profile's key colour table
constexpr int kKeyBlockSize = 378;    // one profile's key functions

// The keyboard's factory list of modes: 1..18, then 20.
int modeListIndex(int code) {
    return code == 20 ? 18 : code - 1;
}

std::pair<int, int> centre(const ScreenRect& r) {
    return {r.x + r.w / 2, r.y + r.h / 2};
}

// The control id of a key button by its skin name ("KEY_010" is Q).
int keyControl(const std::string& skinName) {
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        if (keyboard::SkinNameOfButton(k.controlId) == skinName) {
            return k.controlId;
        }
    }
    return -1;
}

class LightingScenarios : public ProgramScenario {
public:
    static void SetUpTestSuite() {
        DesktopOptions options;
        options.privateProgramFolder = true;
        openDesktop(options);
    }

protected:
    std::filesystem::path layout() { return desktop().skinFile("Main.ini"); }

    // Starts the program with the keyboard and waits for its window, which the helpers below then use.
    std::optional<WindowInfo> openWindow(Process*& app) {
        auto window = ProgramScenario::openWindow(app);
        if (window) {
            window_ = *window;
        }
        return window;
    }
    ScreenRect place(const char* key) { return skinRectOnScreen(layout(), key, window_.place); }
    bool click(const char* key) { return desktop().clickAt(window_.id, layout(), key); }

    // Byte offset of the current profile's block, or of another's.
    std::optional<int> setting(int offset, int profile = 0) {
        const std::vector<int> all = flash("settings");
        const size_t at = static_cast<size_t>(profile * kParamsSize + offset);
        return at < all.size() ? std::optional<int>(all[at]) : std::nullopt;
    }
    bool waitForSetting(int offset, int value, int profile = 0) {
        return waitUntil([&] { return setting(offset, profile) == value; }, 10s);
    }
    std::optional<int> keyboardProfile() {
        const std::vector<int> config = flash("config");
        return config.size() > 10 ? std::optional<int>(config[10]) : std::nullopt;
    }

    // Waits until the part of the screen differs from what it was (a control drawn anew), and returns it.
    QImage waitForChange(const ScreenRect& r, const QImage& before, std::chrono::milliseconds timeout = 10s) {
        QImage now;
        waitUntil(
            [&] {
                now = part(screen(), r);
                return !samePixels(before, now);
            },
            timeout, 100ms);
        return now;
    }
    // Waits until the part of the screen shows the same pixels in two pictures in a row.
    QImage waitForStill(const ScreenRect& r) {
        QImage last;
        QImage now;
        waitUntil(
            [&] {
                last = now;
                now = part(screen(), r);
                return samePixels(last, now);
            },
            10s, 100ms);
        return now;
    }

    // The panel-on button, and the panel's controls on the screen.
    bool turnPanelOn() {
        const ScreenRect list = place("CONTROL_XGcombox");
        const QImage before = part(screen(), list);
        if (!click("CONTROL_DengStaPic")) {
            return false;
        }
        return !samePixels(before, waitForChange(list, before));
    }
    // A mode chosen in the list as a keyboard user does: the list opened with a click, then its entry.
    bool chooseMode(int code) {
        if (!click("CONTROL_XGcombox") || !waitForWindow(app_->pid(), isMenu)) {
            return false;
        }
        std::vector<std::string> keys{"Home"};
        keys.insert(keys.end(), static_cast<size_t>(modeListIndex(code)), "Down");
        keys.push_back("Return");
        return desktop().key(keys) && menuClosed(app_->pid()) && waitForSetting(0, code);
    }

    // A viewable window of the program other than its main window and its menus (a dialog or a message).
    std::optional<WindowInfo> waitForDialog(std::chrono::milliseconds timeout = 10s) {
        const std::string english = text("MAIN_CAPTION");
        const std::string chinese = text("MAIN_CAPTION", true);
        return waitForWindow(
            app_->pid(),
            [&](const WindowInfo& w) {
                return isType(w, "_NET_WM_WINDOW_TYPE_DIALOG") && w.name != english && w.name != chinese;
            },
            timeout);
    }

    // One mode of each family, set the way a user does, each photographed: a wave with its direction
    // turned, the static colour, the presets of mode 17, the user mode.
    void tourOfModes(const std::string& language) {
        ASSERT_TRUE(chooseMode(1));
        ASSERT_TRUE(click("CONTROL_BLFXRStaPic2"));
        EXPECT_TRUE(waitForSetting(3, 0)) << "the direction did not reach the keyboard";
        ASSERT_TRUE(settle(app_->pid()));
        desktop().step(language + " wave to the right");
        ASSERT_TRUE(chooseMode(6));
        ASSERT_TRUE(settle(app_->pid()));
        desktop().step(language + " static");
        ASSERT_TRUE(chooseMode(5));
        ASSERT_TRUE(settle(app_->pid()));
        desktop().step(language + " breathing");
        ASSERT_TRUE(chooseMode(17));
        ASSERT_TRUE(click("CONTROL_LVPIC"));
        EXPECT_TRUE(waitForSetting(8, 2)) << "the green preset did not reach the keyboard";
        ASSERT_TRUE(settle(app_->pid()));
        desktop().step(language + " green preset");
        ASSERT_TRUE(chooseMode(20));
        // Two keys painted with the slot's paint colour.
        for (const char* key : {"KEY_010", "KEY_011"}) {
            const ScreenRect r = place(key);
            const QImage before = waitForStill(r);
            ASSERT_TRUE(click(key));
            EXPECT_FALSE(samePixels(before, waitForChange(r, before))) << key << " was not painted";
        }
        ASSERT_TRUE(settle(app_->pid()));
        desktop().step(language + " user mode with painted keys");
    }

    // Q assigned B through the key dialog (a key pressed while it is open, then OK): an edit the window
    // holds until Apply. Returns Q's button as it looked before.
    QImage editQ() {
        const ScreenRect q = place("KEY_010");
        const QImage before = waitForStill(q);
        EXPECT_TRUE(click("KEY_010"));
        const auto dialog = waitForDialog();
        EXPECT_TRUE(dialog) << "the key dialog did not open";
        if (!dialog) {
            return {};
        }
        EXPECT_TRUE(desktop().activate(dialog->id));
        EXPECT_TRUE(desktop().key({"b"}));
        EXPECT_TRUE(desktop().clickAt(dialog->id, desktop().skinFile("Composite.ini"), "CONTROL_OK"));
        EXPECT_TRUE(desktop().waitHidden(dialog->id)) << "OK did not close the key dialog";
        EXPECT_FALSE(samePixels(before, waitForChange(q, before))) << "Q does not show its new key";
        return before;
    }
    // The keyboard's report number now, for reading what came after.
    std::string reportCount() {
        const RunOutcome status = desktop().portmuxSim({"status", "--json"});
        const size_t at = status.output.find("\"reports\": ");
        return at == std::string::npos ? "0" : std::to_string(std::atol(status.output.c_str() + at + 11));
    }
    // The command codes of the reports the keyboard received since then, in order.
    std::vector<int> commandsSince(const std::string& since) {
        const std::string out = desktop().portmuxSim({"reports", "--since", since, "--json"}).output;
        std::vector<int> commands;
        const std::string label = "\"command\": ";
        for (size_t at = out.find(label); at != std::string::npos; at = out.find(label, at + 1)) {
            commands.push_back(std::atoi(out.c_str() + at + label.size()));
        }
        return commands;
    }

    // The user's lighting file of profile 0 as the program wrote it.
    IniFile userFile() { return IniFile::load(dataFolder() / "UserDengColor_0.userd"); }

    Process* app_ = nullptr;
    WindowInfo window_;
};

std::optional<std::array<int, 3>> parseColour(const std::u16string& text) {
    std::array<int, 3> c{};
    std::istringstream in(toUtf8(text));
    char comma = 0;
    if (!(in >> c[0] >> comma >> c[1] >> comma >> c[2])) {
        return std::nullopt;
    }
    return c;
}

TEST_F(LightingScenarios, AModeFromTheListAndTheBrightnessSliderReachTheKeyboard) {
    ASSERT_TRUE(openWindow(app_));
    ASSERT_EQ(setting(0), 1) << "the keyboard does not start in the wave";
    ASSERT_EQ(setting(1), 5) << "the keyboard does not start at full brightness";
    ASSERT_TRUE(turnPanelOn()) << "the panel's controls did not show";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("panel on wave");

    ASSERT_TRUE(chooseMode(5)) << "breathing did not reach the keyboard";
    EXPECT_EQ(setting(0, 1), 1) << "another profile's mode changed";

    // The thumb dragged from 5 down to 1, over the positions between.
    const ScreenRect slider = place("CONTROL_LightSlider");
    const int y = slider.y + slider.h / 2;
    auto xOf = [&](int position) {
        const int inset = 10; // the track's ends in the slider pictures
        return slider.x + inset + position * (slider.w - 2 * inset) / 5;
    };
    ASSERT_TRUE(desktop().pressAt(xOf(5), y));
    for (int position : {4, 3, 2}) {
        ASSERT_TRUE(desktop().movePointer(xOf(position), y));
    }
    ASSERT_TRUE(desktop().releaseAt(xOf(1), y));
    EXPECT_TRUE(waitForSetting(1, 1)) << "the dragged brightness did not reach the keyboard";
    // Two notches of the wheel towards the user: 1 -> 3.
    ASSERT_TRUE(desktop().clickAtPoint(xOf(1), y, 5));
    ASSERT_TRUE(desktop().clickAtPoint(xOf(1), y, 5));
    EXPECT_TRUE(waitForSetting(1, 3)) << "the wheel's brightness did not reach the keyboard";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("breathing at brightness 3");
    // The keyboard ends on the last value: nothing of the drag comes after it.
    EXPECT_EQ(setting(1), 3);
    EXPECT_EQ(setting(0), 5);

    tourOfModes("english");
}

TEST_F(LightingScenarios, KeysPaintedInTheUserModeReachTheColourTableAndTheFile) {
    const auto window = openWindow(app_);
    ASSERT_TRUE(window);
    ASSERT_TRUE(turnPanelOn());
    ASSERT_TRUE(chooseMode(20));
    ASSERT_TRUE(click("CONTROL_USERgjStaPic1")) << "the paint brush";
    // The slot the program runs and its paint colour, as the user's file holds them.
    const std::u16string slot = u"Mode" + userFile().get(u"PRESENTMODE", u"mode", u"0");
    ASSERT_TRUE(waitUntil([&] { return userFile().get(slot, u"tool", u"") == u"0"; }, 5s));
    const auto paint = parseColour(userFile().get(slot, u"color", u""));
    ASSERT_TRUE(paint) << "no paint colour in the user's file";

    const std::vector<std::string> clicked{"KEY_010", "KEY_011", "KEY_012"};           // Q W E
    const std::vector<std::string> stroke{"KEY_02C", "KEY_02D", "KEY_02E", "KEY_02F"}; // Z X C V
    const std::string untouched = "KEY_01E";                                           // A
    auto led = [](const std::string& key) { return keyboard::LedPositionOfButton(keyControl(key)); };
    auto colourAt = [](const std::vector<int>& table, int position) {
        const size_t at = static_cast<size_t>(position) * 3;
        return at + 2 < table.size() ? std::array<int, 3>{table[at], table[at + 1], table[at + 2]}
                                     : std::array<int, 3>{-1, -1, -1};
    };
    const std::vector<int> before = flash("colours");
    ASSERT_GE(before.size(), static_cast<size_t>(kColourTableSize));
    std::vector<std::string> painted = clicked;
    painted.insert(painted.end(), stroke.begin(), stroke.end());
    for (const std::string& key : painted) {
        ASSERT_NE(colourAt(before, led(key)), *paint) << key << " has the paint colour already";
    }

    auto keyPlace = [&](const std::string& key) { return place(key.c_str()); };
    for (const std::string& key : clicked) {
        ASSERT_TRUE(click(key.c_str()));
    }
    // One stroke: pressed on Z, dragged over X and C, released on V. Each key lights up under the
    // pointer before the pointer goes on.
    const auto [zx, zy] = centre(keyPlace(stroke.front()));
    ASSERT_TRUE(desktop().pressAt(zx, zy));
    for (size_t i = 1; i < stroke.size(); ++i) {
        const ScreenRect r = keyPlace(stroke[i]);
        const QImage unlit = part(screen(), r);
        const auto [x, y] = centre(r);
        ASSERT_TRUE(desktop().movePointer(x, y));
        EXPECT_FALSE(samePixels(unlit, waitForChange(r, unlit))) << stroke[i] << " did not light up";
    }
    const auto [vx, vy] = centre(keyPlace(stroke.back()));
    ASSERT_TRUE(desktop().releaseAt(vx + 2, vy));

    EXPECT_TRUE(waitUntil(
        [&] {
            const std::vector<int> now = flash("colours");
            for (const std::string& key : painted) {
                if (colourAt(now, led(key)) != *paint) {
                    return false;
                }
            }
            return true;
        },
        10s))
        << "the painted keys did not reach the keyboard's colour table";
    const std::vector<int> after = flash("colours");
    EXPECT_EQ(colourAt(after, led(untouched)), colourAt(before, led(untouched)))
        << "a key not painted changed";
    // The slot's file keeps each painted key with the paint colour, not following the base colour.
    const std::string expected = std::to_string((*paint)[0]) + "," + std::to_string((*paint)[1]) + "," +
                                 std::to_string((*paint)[2]) + ",0";
    // The file is written after the keyboard took the colours: it is waited for too.
    const auto fileValue = [&](const std::string& key) {
        return toUtf8(userFile().get(slot, toUtf16(std::to_string(led(key))), u""));
    };
    waitUntil(
        [&] {
            return std::all_of(painted.begin(), painted.end(),
                               [&](const std::string& key) { return fileValue(key) == expected; });
        },
        10s);
    for (const std::string& key : painted) {
        EXPECT_EQ(fileValue(key), expected) << key;
    }
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("user mode with painted keys");

    // Ctrl+Z takes the whole stroke back, and only the stroke; Ctrl+Shift+Z paints it again.
    const auto strokeIs = [&](const std::vector<int>& table) {
        const std::vector<int> now = flash("colours");
        return std::all_of(stroke.begin(), stroke.end(), [&](const std::string& key) {
            return colourAt(now, led(key)) == colourAt(table, led(key));
        });
    };
    ASSERT_TRUE(desktop().activate(window->id));
    ASSERT_TRUE(desktop().key({"ctrl+z"}));
    EXPECT_TRUE(waitUntil([&] { return strokeIs(before); }, 10s)) << "undo did not take the stroke back";
    EXPECT_EQ(colourAt(flash("colours"), led(clicked.back())), *paint)
        << "undo took back more than the stroke";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("stroke undone");
    ASSERT_TRUE(desktop().key({"ctrl+shift+z"}));
    EXPECT_TRUE(waitUntil([&] { return strokeIs(after); }, 10s)) << "redo did not paint the stroke again";
}

TEST_F(LightingScenarios, ASwitchToProfile2AnsweredNoDropsThePendingKeyEdit) {
    ASSERT_TRUE(openWindow(app_));
    const std::vector<int> keysBefore = flash("keys");
    ASSERT_EQ(keysBefore.size(), static_cast<size_t>(3 * kKeyBlockSize));
    const QImage q = editQ();
    ASSERT_FALSE(q.isNull());

    ASSERT_TRUE(click("FUNC_PROFILE2"));
    const auto question = waitForDialog();
    ASSERT_TRUE(question) << "no question about the unapplied edit";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("save question");
    // No is the preselected answer.
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return keyboardProfile() == 1; }, 10s))
        << "the keyboard does not run profile 2";
    const RunOutcome status = desktop().tarvikctl({"status", "--json"});
    EXPECT_NE(status.output.find("\"profile\": 1"), std::string::npos) << status.output;
    EXPECT_EQ(flash("keys"), keysBefore) << "the dropped edit reached the keyboard";

    // Back in profile 1 Q has its own key again, and nothing is left to ask about.
    ASSERT_TRUE(click("FUNC_PROFILE1"));
    EXPECT_TRUE(waitUntil([&] { return keyboardProfile() == 0; }, 10s));
    EXPECT_TRUE(waitUntil([&] { return samePixels(q, part(screen(), place("KEY_010"))); }, 10s))
        << "Q still shows the dropped edit";
    EXPECT_FALSE(waitForDialog(2s)) << "a question came up without an edit";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("profile 1 again");
}

TEST_F(LightingScenarios, ASwitchToProfile2AnsweredYesAppliesThePendingKeyEditFirst) {
    ASSERT_TRUE(openWindow(app_));
    // Q's place in a key block: where the keyboard's default layout has Q (keyboard page, usage 0x14).
    const std::vector<int> defaults = flash("default-keys");
    int slot = -1;
    for (size_t i = 0; i + 2 < defaults.size(); i += 3) {
        if (defaults[i] == 2 && defaults[i + 1] == 2 && defaults[i + 2] == 0x14) {
            slot = static_cast<int>(i / 3);
        }
    }
    ASSERT_GE(slot, 0) << "no Q in the default layout";
    const QImage q = editQ();
    ASSERT_FALSE(q.isNull());

    const std::string since = reportCount();
    ASSERT_TRUE(click("FUNC_PROFILE2"));
    const auto question = waitForDialog();
    ASSERT_TRUE(question) << "no question about the unapplied edit";
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"alt+y"}));
    ASSERT_TRUE(waitUntil([&] { return keyboardProfile() == 1; }, 10s))
        << "the keyboard does not run profile 2";
    // Q of profile 1 is B (keyboard page, usage 0x05) in the keyboard's key block.
    const std::vector<int> keys = flash("keys");
    ASSERT_EQ(keys.size(), static_cast<size_t>(3 * kKeyBlockSize));
    const size_t at = static_cast<size_t>(slot) * 3;
    EXPECT_EQ((std::vector<int>{keys[at], keys[at + 1], keys[at + 2]}), (std::vector<int>{2, 2, 5}));
    // And it got there before the keyboard was asked for profile 2.
    const std::vector<int> commands = commandsSince(since);
    const auto lastKeyWrite = std::find(commands.rbegin(), commands.rend(), 0x08);
    const auto profileWrite = std::find(commands.begin(), commands.end(), 0x04);
    ASSERT_NE(lastKeyWrite, commands.rend()) << "no key block was written";
    ASSERT_NE(profileWrite, commands.end()) << "no configuration was written";
    EXPECT_LT(std::distance(commands.begin(), lastKeyWrite.base()) - 1,
              std::distance(commands.begin(), profileWrite));
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("profile 2 after yes");
}

TEST_F(LightingScenarios, ALightingChangeMadeOnTheKeyboardIsReadIntoThePanel) {
    ASSERT_TRUE(openWindow(app_));
    ASSERT_TRUE(turnPanelOn());
    ASSERT_TRUE(settle(app_->pid()));
    // The wave shows the speed slider; the static colour has none.
    const ScreenRect speed = place("CONTROL_SpeedSlider");
    const QImage wave = waitForStill(speed);
    // Changed behind the window's back, as the keyboard's own lighting keys do.
    const RunOutcome still = desktop().tarvikctl({"--direct", "lighting", "mode", "6"});
    ASSERT_EQ(still.exitCode, 0) << still.output;
    ASSERT_EQ(setting(0), 6);
    EXPECT_TRUE(samePixels(wave, part(screen(), speed))) << "the panel changed before the keyboard said so";

    ASSERT_EQ(desktop().portmuxSim({"lighting"}).exitCode, 0);
    EXPECT_FALSE(samePixels(wave, waitForChange(speed, wave))) << "the panel still shows the wave's speed";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("static read from the keyboard");
    EXPECT_EQ(setting(0), 6) << "the panel wrote its old mode back";
}

TEST_F(LightingScenarios, TheProfileManagerSelectsTheTickedProfile) {
    ASSERT_TRUE(openWindow(app_));
    ASSERT_EQ(keyboardProfile(), 0);
    const ScreenRect entry = place("FUNC_PROFILES");
    const QImage profile1 = waitForStill(entry);
    ASSERT_TRUE(click("FUNC_PROFILES"));
    const auto manager = waitForDialog();
    ASSERT_TRUE(manager) << "the profile manager did not open";
    const std::filesystem::path managerLayout = desktop().skinFile("Profile.ini");
    // The list's empty part below the three rows takes the focus; then the third row is ticked from the
    // keyboard.
    const auto dialog = desktop().geometry(manager->id);
    ASSERT_TRUE(dialog);
    const ScreenRect list = skinRectOnScreen(managerLayout, "PROGRAM_LIST", *dialog);
    const QImage unticked = part(screen(), list);
    ASSERT_TRUE(desktop().clickAtPoint(list.x + list.w / 2, list.y + list.h - 10));
    ASSERT_TRUE(desktop().key({"Home", "Down", "Down", "space"}));
    EXPECT_FALSE(samePixels(unticked, waitForChange(list, unticked))) << "no row was ticked";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("profile 3 ticked");
    ASSERT_TRUE(desktop().clickAt(manager->id, managerLayout, "CONTROL_OK"));
    EXPECT_TRUE(desktop().waitHidden(manager->id)) << "OK did not close the manager";
    EXPECT_TRUE(waitUntil([&] { return keyboardProfile() == 2; }, 10s))
        << "the keyboard does not run profile 3";
    // The manager button names the profile the keyboard runs now.
    EXPECT_FALSE(samePixels(profile1, waitForChange(entry, profile1)));
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("profile 3 selected");
}

// The colour-keys flag of a key button in profile 0 of the program's cache file; empty when the file
// cannot be read.
std::optional<uint32_t> cachedColourFlag(const std::filesystem::path& dataFolder, int controlId) {
    std::ifstream in(dataFolder / "$Profile0", std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    profiles::WorkingCopy working;
    const int record = keyboard::ColourKeyFlagRecord(controlId, 0);
    if (bytes.empty() || record < 0 || !profiles::parseProfile(bytes, working)) {
        return std::nullopt;
    }
    return working.block().profile(0)[static_cast<size_t>(record)].flag;
}

TEST_F(LightingScenarios, AKeyToggledInTheColourKeysModeIsKeptByApply) {
    ASSERT_TRUE(openWindow(app_));
    const int q = keyControl("KEY_010");
    ASSERT_TRUE(waitUntil([&] { return cachedColourFlag(dataFolder(), q).has_value(); }, 10s))
        << "no cache file after the start";
    const uint32_t before = *cachedColourFlag(dataFolder(), q);

    const ScreenRect key = place("KEY_010");
    const ScreenRect apply = place("CONTROL2_APPLY");
    const QImage functionLook = waitForStill(key);
    const QImage applyOff = waitForStill(apply);
    ASSERT_TRUE(click("FUNC_SWITCH"));
    const QImage colourLook = waitForChange(key, functionLook);
    ASSERT_FALSE(samePixels(functionLook, colourLook)) << "the keys did not take the colour-keys look";
    ASSERT_TRUE(click("KEY_010"));
    EXPECT_FALSE(samePixels(colourLook, waitForChange(key, colourLook))) << "Q's light did not change";
    EXPECT_FALSE(samePixels(applyOff, waitForChange(apply, applyOff))) << "Apply was not enabled";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("colour keys with Q toggled");

    const QImage applyOn = waitForStill(apply);
    ASSERT_TRUE(click("CONTROL2_APPLY"));
    EXPECT_FALSE(samePixels(applyOn, waitForChange(apply, applyOn))) << "Apply stayed enabled";
    EXPECT_TRUE(waitUntil([&] { return cachedColourFlag(dataFolder(), q) == (before != 0 ? 0u : 1u); }, 10s))
        << "the toggled flag was not kept";
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("colour keys applied");
}

TEST_F(LightingScenarios, TheModeFamiliesInChinese) {
    ui::TextTable table;
    ASSERT_TRUE(table.switchLanguage(desktop().skinFile("language.ini"), ui::TextTable::kChinese));
    ASSERT_TRUE(openWindow(app_));
    ASSERT_EQ(window_.name, text("MAIN_CAPTION", true));
    ASSERT_TRUE(settle(app_->pid()));
    desktop().step("chinese panel off");
    ASSERT_TRUE(turnPanelOn());
    tourOfModes("chinese");
}

} // namespace
} // namespace tarvik::e2e
