#include "tests/app/HubFixture.h"

#include "keyboard/KeyAssignment.h"
#include "lighting/KeyButtons.h"
#include "profiles/DataFolder.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"

#include <fstream>

namespace tarvik::app::test {
namespace {

using device::kCodeInit;
using device::kCodeKill;
using device::kCodeLed;
using device::kCodeOpen;
using device::kCodeProf;

constexpr int kG1 = 1000;
constexpr int kG3 = 1002;
constexpr int kG9 = 1143;

keyboard::KeyAssignment singleKey(uint16_t key) {
    keyboard::KeyAssignment r;
    r.type = keyboard::ASSIGN_SINGLE_KEY;
    r.value = key;
    return r;
}

// ---- messages ---------------------------------------------------------------------------------------

struct MessageCase {
    uint32_t message;
    uint32_t wParam;
    bool posted;
    const char* expectedCall; // nullptr: the message changes nothing
};

class Messages : public HubTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(Messages, AHandlerActsOnlyOnItsOwnCode) {
    const MessageCase& c = GetParam();
    hub->initialise();
    state.devicePresence.store(1);
    view.calls.clear();
    EXPECT_EQ(hub->handleMessage(c.message, c.wParam, c.posted), 0);
    settle();
    if (c.expectedCall == nullptr) {
        EXPECT_TRUE(view.calls.empty()) << view.calls.front();
        EXPECT_FALSE(hub->isReady());
    } else {
        EXPECT_TRUE(view.has(c.expectedCall)) << c.expectedCall;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Messages,
    ::testing::Values(MessageCase{device::MSG_OPEN, kCodeOpen, false, "showWindow"},
                      MessageCase{device::MSG_OPEN, kCodeKill, false, nullptr},
                      MessageCase{device::MSG_OPEN, 0, true, nullptr},
                      MessageCase{device::MSG_KILL, kCodeKill, false, "quit"},
                      MessageCase{device::MSG_KILL, kCodeOpen, false, nullptr},
                      MessageCase{device::MSG_INIT, kCodeInit, true, "createTray 128"},
                      MessageCase{device::MSG_INIT, kCodeOpen, true, nullptr},
                      MessageCase{device::MSG_KEYMODE_CHANGED, kCodeLed, false, "setLayerIndicator 0"},
                      MessageCase{device::MSG_KEYMODE_CHANGED, kCodeProf, false, nullptr},
                      MessageCase{device::MSG_PROFILE_SYNC, kCodeProf, false, "setProfileButtons 0"},
                      MessageCase{device::MSG_PROFILE_SYNC, kCodeLed, false, nullptr},
                      // Apply: posted, with any wParam; sent, it is not the Apply message.
                      MessageCase{MSG_APPLY, 12345, true, "setBusy 1"},
                      MessageCase{MSG_APPLY, 0, false, nullptr},
                      MessageCase{0x5351, kCodeOpen, false, nullptr}));

TEST_F(HubTest, InitCreatesTheTrayIconMarksTheWindowReadyAndHidesIt) {
    hub->initialise();
    EXPECT_TRUE(view.has("setApplyEnabled 0"));
    EXPECT_EQ(state.currentProfile.load(), -1);
    EXPECT_FALSE(hub->isReady());
    hub->handleMessage(device::MSG_INIT, kCodeInit, true);
    EXPECT_TRUE(hub->isReady());
    EXPECT_LT(view.indexOf("createTray 128"), view.indexOf("hideWindow"));
    EXPECT_EQ(hub->trayIcon(), 128);
}

TEST_F(HubTest, OpeningWithoutAKeyboardShowsTheMessageAndKeepsTheWindowHidden) {
    startWithKeyboard();
    state.devicePresence.store(0);
    hub->handleMessage(device::MSG_OPEN, kCodeOpen, false);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_NO_DEVICE_PROMPT"});
    EXPECT_FALSE(view.has("showWindow"));
    // The tray's Open and its double click follow the same rule.
    hub->onTrayOpen();
    hub->onCommand(command::kOpen);
    EXPECT_EQ(prompter.shown.size(), 3u);
    state.devicePresence.store(1);
    hub->onTrayOpen();
    EXPECT_TRUE(view.has("showWindow"));
}

TEST_F(HubTest, TheLayerMessageRedrawsTheGButtonsFromTheKeyboardsBitWithoutTogglingIt) {
    startWithKeyboard();
    state.linkStatusMode.store(0x03);
    hub->handleMessage(device::MSG_KEYMODE_CHANGED, kCodeLed, false);
    EXPECT_EQ(state.linkStatusMode.load(), 0x03);
    EXPECT_TRUE(view.has("setLayerIndicator 1"));
    for (const keyboard::GButton& g : keyboard::GButtons()) {
        EXPECT_TRUE(view.has("refreshButton " + std::to_string(g.controlId)));
    }
    hub->handleMessage(device::MSG_KEYMODE_CHANGED, kCodeLed, false);
    EXPECT_EQ(view.count("setLayerIndicator 1"), 2u); // the same bit: the same layer, twice
}

TEST_F(HubTest, AKeyboardArrivalReloadsTheStoreAndSelectsItsProfile) {
    startWithKeyboard();
    keyboard.config[10] = 2;
    hub->edits().edit([](profiles::WorkingCopy& w) { w.block().profile(2)[0x1E] = singleKey(0x30); });
    hub->assignmentsChanged();
    ASSERT_TRUE(hub->modified());
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    EXPECT_EQ(hub->editingProfile(), 2);
    EXPECT_TRUE(view.has("setProfileButtons 2"));
    EXPECT_FALSE(hub->modified()); // the store equals the keyboard now
    EXPECT_TRUE(std::filesystem::exists(profiles::cacheFilePath()));
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().block().profile(2)[0x1E].type, keyboard::ASSIGN_DEFAULT);
}

TEST_F(HubTest, ALostKeyboardAsksTheEditorsToCloseInOrderWhateverTheyAnswer) {
    std::vector<std::string> log;
    FakeEditor about("about", log), manager("manager", log), composite("composite", log);
    about.open = manager.open = composite.open = true;
    manager.refuse = true;
    hub->setAbout(&about);
    hub->addEditor(&manager);
    hub->addEditor(&composite);
    startWithKeyboard();
    hub->handleMessage(device::MSG_DEVICE_LOST, 0, false);
    EXPECT_EQ(log, (std::vector<std::string>{"close about", "close manager", "close composite"}));
    EXPECT_FALSE(view.has("quit"));
}

TEST_F(HubTest, TimersAnimateTheBusyPicturesAndReloadTheLightingOnce) {
    startWithKeyboard();
    for (int i = 0; i < 11; ++i) {
        hub->onTimer(kTimerBusy);
    }
    std::vector<std::string> frames;
    for (const auto& c : view.calls) {
        frames.push_back(c);
    }
    EXPECT_EQ(frames.front(), "showBusyFrame 1");
    EXPECT_EQ(frames[8], "showBusyFrame 9");
    EXPECT_EQ(frames[9], "showBusyFrame 0");
    EXPECT_EQ(frames[10], "showBusyFrame 1");
    hub->onTimer(device::kTimerLightingReload);
    EXPECT_TRUE(view.has("killTimer 1051"));
}

// ---- Apply ------------------------------------------------------------------------------------------

TEST_F(HubTest, ApplyWithNothingModifiedRunsTheBusyPicturesAndSendsNothing) {
    startWithKeyboard();
    hub->onControl(control::kApply);
    EXPECT_TRUE(hub->busy());
    settle();
    EXPECT_FALSE(hub->busy());
    EXPECT_TRUE(keyboard.requests.empty());
    EXPECT_LT(view.indexOf("setBusy 1"), view.indexOf("setBusy 0"));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(HubTest, ApplyAfterAnEditWritesTheKeyBlockOnTheWorkerAndDisablesApply) {
    startWithKeyboard();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
    }
    // The cache file exists once the keyboard has been read.
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
    }
    hub->assignmentsChanged();
    keyboard.requests.clear();
    const auto before = keyboard.keyBlock(0);
    hub->onControl(control::kApply);
    EXPECT_TRUE(keyboard.requests.empty()); // nothing on the user-interface thread
    // No input while the worker writes: a second Apply and a key click are not taken.
    hub->onControl(control::kApply);
    hub->onControl(kG1);
    EXPECT_EQ(worker.size(), 1u);
    EXPECT_FALSE(view.has("openKeyDialog 256 0 1000"));
    settle();
    EXPECT_EQ(requestsOf(device::CMD_BEGIN_WRITE), 1u);
    EXPECT_GE(requestsOf(device::CMD_WRITE_KEYS), 1u);
    EXPECT_EQ(requestsOf(device::CMD_END_WRITE), 1u);
    EXPECT_FALSE(hub->modified());
    EXPECT_NE(keyboard.keyBlock(0), before); // A now sends what the edit gave it
}

// A client of the program's service wrote Q -> Z while the user's A -> B waits for Apply.
TEST_F(HubTest, AClientsWriteIsMergedAtOnceAndTheUsersUnappliedEditStays) {
    FakeLighting lighting;
    hub->setLighting(&lighting);
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
    }
    hub->assignmentsChanged();
    {
        profiles::AssignmentStore theirs;
        auto read = profiles::readKeyboardKeepingHostRecords(commands, state);
        ASSERT_TRUE(read);
        auto lock = theirs.lockKeyData();
        std::swap(theirs.working(), *read);
        theirs.working().block().profile(0)[0x10] = singleKey(0x2C);
        ASSERT_TRUE(profiles::makeAppliedCopy(theirs, commands, state, true).succeeded());
    }
    view.calls.clear();
    lighting.calls.clear();

    hub->keyboardWrittenByClient();
    settle();
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().block().profile(0)[0x10], singleKey(0x2C)) << "the client's write";
        EXPECT_EQ(store.working().block().profile(0)[0x1E], singleKey(0x30)) << "the user's edit";
    }
    EXPECT_TRUE(hub->modified()) << "the user's edit still waits for Apply";
    EXPECT_TRUE(view.has("refreshKeyButtons"));
    EXPECT_EQ(lighting.calls, std::vector<std::string>{"reload 0"});

    // The applied copy took the client's write too: Apply finds nothing new to tell.
    hub->onControl(control::kApply);
    settle();
    EXPECT_FALSE(hub->modified());
    EXPECT_TRUE(prompter.shown.empty()) << prompter.shown.front();
    auto back = profiles::readKeyboardKeepingHostRecords(commands, state);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->block().profile(0)[0x10], singleKey(0x2C));
    EXPECT_EQ(back->block().profile(0)[0x1E], singleKey(0x30));
    hub->setLighting(nullptr);
}

TEST_F(HubTest, AFailedApplyLeavesApplyEnabled) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    hub->edits().edit([](profiles::WorkingCopy& w) { w.block().profile(0)[0x1E] = singleKey(0x30); });
    hub->assignmentsChanged();
    keyboard.transactFailures[device::CMD_WRITE_KEYS] = device::kNoReply;
    hub->onControl(control::kApply);
    settle();
    EXPECT_TRUE(hub->modified());
    EXPECT_EQ(view.calls.back(), "setBusy 0");
}

TEST_F(HubTest, ApplysMessagesAreShownAfterTheWorkerIsDone) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    {
        auto lock = store.lockKeyData();
        macros::MacroRecord m;
        m.setId(1);
        m.setName(u"Build");
        m.setActions(std::vector<macros::MacroAction>(50, macros::MacroAction{10, 0x1E, macros::kPress}));
        store.working().macros().push_back(m);
    }
    state.macroCapacity.store(0); // no room for any macro
    hub->assignmentsChanged();
    bool busyWhenShown = true;
    prompter.onShow = [&](const std::string&) { busyWhenShown = hub->busy(); };
    hub->onControl(control::kApply);
    worker.runAll();
    EXPECT_TRUE(prompter.shown.empty()); // not from the worker
    ui.runAll();
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});
    EXPECT_FALSE(busyWhenShown);
    EXPECT_TRUE(hub->modified());
}

// ---- report rate, defaults, flip ---------------------------------------------------------------------

TEST_F(HubTest, AReportRateButtonWithoutAKeyboardChangesTheSelectionOnly) {
    startWithKeyboard();
    state.devicePresence.store(0);
    hub->onControl(control::kReport3);
    settle();
    EXPECT_TRUE(view.has("setReportRateButtons 2"));
    EXPECT_EQ(hub->shownReportRate(), 2);
    EXPECT_TRUE(keyboard.requests.empty());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(HubTest, AReportRateButtonWritesTheEditingProfilesRateInOneFrame) {
    startWithKeyboard();
    keyboard.config[10] = 1;
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    keyboard.requests.clear();
    hub->onControl(control::kReport4);
    settle();
    ASSERT_EQ(
        keyboard.commandSequence(),
        (std::vector<uint8_t>{device::CMD_BEGIN_WRITE, device::CMD_WRITE_SETTINGS, device::CMD_END_WRITE}));
    const auto& write = keyboard.requests[1];
    EXPECT_EQ(write.address, 1 * 42 + 15);
    EXPECT_EQ(write.data, std::vector<uint8_t>{3});
}

TEST_F(HubTest, RestoreDefaultsAsksWithNoAsDefaultAndNoChangesNothing) {
    startWithKeyboard();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
    }
    prompter.answers = {false};
    hub->onControl(control::kDefaults);
    settle();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0], (std::pair<std::string, bool>{"MAIN_PROMPT_DEFAULT", false}));
    EXPECT_TRUE(keyboard.requests.empty());
    EXPECT_FALSE(hub->modified());
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().block().profile(0)[0x1E], singleKey(0x30));
}

TEST_F(HubTest, RestoreDefaultsYesResetsTheKeysAndAppliesThem) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
        store.working().block().profile(0)[keyboard::kFirstGSlotLayer0] = singleKey(0x31);
    }
    keyboard.requests.clear();
    prompter.answers = {true};
    hub->onControl(control::kDefaults);
    settle();
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().block().profile(0)[0x1E].type, keyboard::ASSIGN_DEFAULT);
        EXPECT_EQ(store.working().block().profile(0)[keyboard::kFirstGSlotLayer0].type,
                  keyboard::ASSIGN_DEFAULT);
    }
    EXPECT_GE(requestsOf(device::CMD_WRITE_KEYS), 1u);
    EXPECT_FALSE(hub->modified());
}

TEST_F(HubTest, FlipTogglesAndIsKeptInTheSettings) {
    hub->initialise();
    EXPECT_EQ(hub->flip(), 0);
    hub->onControl(control::kFlip2);
    EXPECT_EQ(hub->flip(), 1);
    EXPECT_EQ(settings->readFlip(), 1);
    hub->onControl(control::kFlip1);
    EXPECT_EQ(settings->readFlip(), 0);
    hub->onControl(control::kFlip0); // the page dots only show it
    EXPECT_EQ(settings->readFlip(), 0);
    EXPECT_EQ(view.count("setFlip 1"), 1u);
}

TEST_F(HubTest, FlipsSecondPageShowsWhatEachChangedKeyHasBeenGiven) {
    startWithKeyboard();
    const std::u16string function = texts.readOnDemand(languageFile, keyboard::FunctionKeyList()[0].textKey);
    const struct {
        int control;
        uint16_t type;
        uint32_t value;
        std::u16string legend;
    } rows[] = {{1010, keyboard::ASSIGN_SINGLE_KEY, 0x30, u"B"},
                {1011, keyboard::ASSIGN_MEDIA, 0, keyboard::KeyName(keyboard::MediaKeyList()[0].key)},
                {1012, keyboard::ASSIGN_FUNCTION_KEY, 0, function},
                {1013, keyboard::ASSIGN_NO_FUNCTION, 0, u""},
                {1014, keyboard::ASSIGN_DEFAULT, 0, u""}};
    ASSERT_FALSE(function.empty());
    for (const auto& row : rows) {
        auto lock = store.lockKeyData();
        auto& r =
            store.working().block().profile(0)[static_cast<size_t>(keyboard::SlotOfButton(row.control, 0))];
        r.type = row.type;
        r.value = row.value;
    }
    for (int page : {0, 1, 0}) {
        if (page != hub->flip()) {
            hub->onControl(control::kFlip2);
            EXPECT_TRUE(view.has("refreshKeyButtons"));
        }
        for (const auto& row : rows) {
            EXPECT_EQ(hub->buttonLook(row.control).legend, page == 1 ? row.legend : u"") << row.control;
        }
    }
    // Colour-keys mode shows lights, not functions.
    hub->onControl(control::kFlip2);
    state.keyEditMode.store(1);
    EXPECT_TRUE(hub->buttonLook(1010).legend.empty());
}

// ---- keys -------------------------------------------------------------------------------------------

struct ClickCase {
    int control;
    uint8_t layerBit;
    const char* expected;
};

class KeyClicks : public HubTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(KeyClicks, OpenTheKeyDialogForTheButtonsSlot) {
    const ClickCase& c = GetParam();
    startWithKeyboard();
    state.linkStatusMode.store(static_cast<uint8_t>(0x02 | c.layerBit));
    hub->onControl(c.control);
    if (c.expected == nullptr) {
        EXPECT_TRUE(view.calls.empty());
    } else {
        // The button it opens for is drawn pressed first.
        const std::string expected = c.expected;
        const std::string button = expected.substr(expected.rfind(' ') + 1);
        EXPECT_EQ(view.calls, (std::vector<std::string>{"refreshButton " + button, expected}));
        EXPECT_TRUE(hub->buttonLook(std::stoi(button)).pressed);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, KeyClicks,
                         ::testing::Values(ClickCase{kG3, 1, "openKeyDialog 267 0 1002"},
                                           ClickCase{kG3, 0, "openKeyDialog 258 0 1002"},
                                           ClickCase{kG9, 0, "openKeyDialog 264 1 1143"},
                                           // The macro button acts as G9 in the keyboard's layer.
                                           ClickCase{control::kMacro, 1, "openKeyDialog 273 1 1143"},
                                           ClickCase{1010, 0, "openKeyDialog 59 0 1010"},
                                           ClickCase{control::kFn, 0, nullptr}));

TEST_F(HubTest, InColourKeysModeAClickTogglesTheKeysFlagAndEnablesApply) {
    startWithKeyboard();
    hub->onControl(control::kSwitch);
    EXPECT_EQ(state.keyEditMode.load(), 1);
    EXPECT_EQ(hub->switchText(), u"Switch to the function keys mode");
    hub->onControl(1010);
    EXPECT_TRUE(hub->modified());
    EXPECT_TRUE(view.has("refreshButton 1010"));
    EXPECT_TRUE(hub->buttonLook(1010).colourFlag);
    hub->onControl(1010);
    EXPECT_FALSE(hub->buttonLook(1010).colourFlag);
    hub->onControl(control::kSwitch);
    EXPECT_EQ(state.keyEditMode.load(), 0);
    EXPECT_FALSE(hub->buttonLook(1010).colourMode);
}

TEST_F(HubTest, KeysPaintOnlyWhileThePanelSaysClicksPaintAndGKeysAlwaysEdit) {
    FakeLighting lighting;
    hub->setLighting(&lighting);
    startWithKeyboard();
    // Panel off, or on in another mode than the user mode: the panel says clicks do not paint.
    lighting.on = true;
    hub->onControl(1010);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"refreshButton 1010", "openKeyDialog 59 0 1010"}));
    EXPECT_TRUE(lighting.calls.empty());

    view.calls.clear();
    lighting.paints = true;
    hub->onControl(1010);
    hub->onControl(control::kFn);
    EXPECT_EQ(lighting.calls,
              (std::vector<std::string>{"paintKey " + std::to_string(lighting::buttonOfControl(1010)),
                                        "paintKey " + std::to_string(lighting::kFnButton)}));
    EXPECT_TRUE(view.calls.empty());
    // G keys share one light and are never painted: they open their dialog.
    hub->onControl(kG1);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"refreshButton 1000", "openKeyDialog 256 0 1000"}));
    hub->setLighting(nullptr);
}

TEST_F(HubTest, RestoreDefaultsRestoresTheLightingToBeforeApplyOnlyWhileThePanelIsOn) {
    FakeLighting lighting;
    hub->setLighting(&lighting);
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    lighting.calls.clear();
    prompter.answers = {true, true};
    hub->onControl(control::kDefaults);
    settle();
    EXPECT_TRUE(lighting.calls.empty());
    EXPECT_GE(requestsOf(device::CMD_WRITE_KEYS), 1u); // Apply sent the reset keys

    lighting.on = true;
    // The lighting request is made before Apply is handed to the worker.
    worker.post([&] { EXPECT_EQ(lighting.calls, std::vector<std::string>{"restoreDefaults"}); });
    hub->onControl(control::kDefaults);
    settle();
    EXPECT_EQ(lighting.calls, std::vector<std::string>{"restoreDefaults"});
    hub->setLighting(nullptr);
}

TEST_F(HubTest, TheLightingFollowsArrivalsProfileSwitchesTheKeyboardsOwnChangesAndTheLanguage) {
    FakeLighting lighting;
    hub->setLighting(&lighting);
    startWithKeyboard();
    keyboard.config[device::kConfigCurrentProfile] = 2;
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    EXPECT_EQ(hub->editingProfile(), 2);
    hub->onTimer(device::kTimerLightingReload);
    profiles::SwitchFinish finish;
    finish.profile = 1;
    hub->profileSwitched(finish);
    hub->switchLanguage(ui::TextTable::kEnglish);
    EXPECT_EQ(lighting.calls,
              (std::vector<std::string>{"reload 2", "scheduleReload", "switchProfile 1", "retranslate"}));
    EXPECT_EQ(hub->editingProfile(), 1);
    EXPECT_TRUE(view.has("setProfileButtons 1"));

    // What the panel reports back: the report rate read with it, and the panel going off.
    hub->lightingRead(2);
    EXPECT_EQ(hub->shownReportRate(), 2);
    EXPECT_TRUE(view.has("setReportRateButtons 2"));
    hub->lightingRead(9); // not a rate: nothing changes
    EXPECT_EQ(hub->shownReportRate(), 2);
    hub->onControl(control::kSwitch);
    ASSERT_EQ(state.keyEditMode.load(), 1);
    hub->lightingPanelTurnedOff();
    EXPECT_EQ(state.keyEditMode.load(), 0);
    EXPECT_EQ(hub->switchText(), u"Switch to the color keys mode");
    hub->setLighting(nullptr);
}

TEST_F(HubTest, ButtonsShowTheirAssignmentInTheKeyboardsLayer) {
    startWithKeyboard();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[keyboard::kFirstGSlotLayer1 + 2] = singleKey(0x1E);
    }
    EXPECT_FALSE(hub->buttonLook(kG3).assigned);
    state.linkStatusMode.store(0x03);
    const ButtonLook look = hub->buttonLook(kG3);
    EXPECT_TRUE(look.assigned);
    EXPECT_FALSE(look.tip.empty());
}

// ---- menus, About, language ---------------------------------------------------------------------------

TEST_F(HubTest, AboutTwiceGivesOneWindow) {
    std::vector<std::string> log;
    FakeEditor about("about", log);
    hub->setAbout(&about);
    view.onOpenAbout = [&] { about.open = true; };
    startWithKeyboard();
    hub->onCommand(command::kAbout);
    hub->onCommand(command::kSysAbout);
    hub->onCommand(command::kAbout);
    EXPECT_EQ(view.count("openAbout"), 1u);
    about.open = false; // hidden by its OK
    hub->onCommand(command::kAbout);
    EXPECT_EQ(view.count("openAbout"), 2u);
}

TEST_F(HubTest, TheMenuButtonOffersImportExportAboutLanguageUpdateExitAndTheProfiles) {
    startWithKeyboard();
    state.currentProfile.store(1);
    hub->onControl(control::kMenu);
    const auto m = view.lastMenu;
    ASSERT_EQ(m.size(), 14u);
    EXPECT_EQ(m[0].command, command::kImport);
    EXPECT_EQ(m[0].text, u"Import Profile");
    EXPECT_EQ(m[1].command, command::kExport);
    EXPECT_EQ(m[2].command, command::kAbout);
    EXPECT_TRUE(m[3].separator);
    EXPECT_EQ(m[4].text, u"Language");
    ASSERT_EQ(m[4].submenu.size(), 2u);
    EXPECT_EQ(m[4].submenu[0].command, command::kChinese);
    EXPECT_FALSE(m[4].submenu[0].checked);
    EXPECT_EQ(m[4].submenu[1].command, command::kEnglish);
    EXPECT_TRUE(m[4].submenu[1].checked);
    EXPECT_EQ(m[5].command, command::kUpdate);
    EXPECT_EQ(m[5].text, u"Firmware Update...");
    EXPECT_EQ(m[6].command, command::kAutostart);
    EXPECT_EQ(m[6].text, u"Start with the desktop");
    EXPECT_TRUE(m[6].checkable);
    EXPECT_FALSE(m[6].checked);
    EXPECT_TRUE(m[7].separator);
    EXPECT_EQ(m[8].command, command::kMenuExit);
    EXPECT_EQ(m[8].text, u"Exit");
    // The profile menu of control 1009 as a submenu, after Exit; its choice switches the profile.
    EXPECT_TRUE(m[9].separator);
    EXPECT_EQ(m[10].text, u"Profiles");
    ASSERT_EQ(m[10].submenu.size(), hub->profileMenu().size());
    EXPECT_EQ(m[10].submenu[0].command, command::kProfileMenuFirst);
    EXPECT_TRUE(m[10].submenu[3].checked);
    EXPECT_FALSE(m[10].submenu[0].checked);
    // Undo and Redo last, greyed while there is nothing to take back or do again.
    EXPECT_TRUE(m[11].separator);
    EXPECT_EQ(m[12].command, command::kUndo);
    EXPECT_EQ(m[12].text, u"Undo (Ctrl+Z)");
    EXPECT_TRUE(m[12].disabled);
    EXPECT_EQ(m[13].command, command::kRedo);
    EXPECT_TRUE(m[13].disabled);
    hub->onCommand(m[10].submenu[4].command);
    EXPECT_TRUE(view.has("switchProfile 2 menu"));
}

TEST_F(HubTest, ALanguageSwitchReTextsTheWindowTheTrayAndTheMenus) {
    std::vector<int> switched;
    hub->setLanguageSwitch([&](int language) {
        switched.push_back(language);
        texts.loadLanguage(languageFile, language);
    });
    startWithKeyboard();
    hub->onCommand(command::kChinese);
    EXPECT_EQ(switched, std::vector<int>{0});
    EXPECT_TRUE(view.has("retext"));
    EXPECT_TRUE(view.has("setTrayTip"));
    const auto tray = hub->trayMenu();
    EXPECT_EQ(tray[0].text, u"\u6253\u5F00"); // 打开
    EXPECT_TRUE(hub->mainMenu()[4].submenu[0].checked);
    hub->onCommand(command::kEnglish);
    EXPECT_EQ(hub->trayMenu()[2].text, u"Exit");
}

TEST_F(HubTest, OnBoardProfilesAreCalledByTheirNumber) {
    EXPECT_EQ(hub->profileEntryName(0), u"Profile 1");
    EXPECT_EQ(hub->profileEntryName(2), u"Profile 3");
    EXPECT_EQ(hub->profileEntryName(-1), u"<Default Profile>");
    texts.loadLanguage(languageFile, ui::TextTable::kChinese);
    EXPECT_EQ(hub->profileEntryName(1), u"\u914D\u7F6E2"); // 配置2
}

TEST_F(HubTest, TheTrayMenuIsOpenAboutExitWithOpenAsDefault) {
    startWithKeyboard();
    const auto items = hub->trayMenu();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].command, command::kOpen);
    EXPECT_TRUE(items[0].isDefault);
    EXPECT_EQ(items[0].text, u"Open");
    EXPECT_EQ(items[1].command, command::kAbout);
    EXPECT_EQ(items[1].text, u"About");
    EXPECT_EQ(items[2].command, command::kExit);
    EXPECT_FALSE(items[2].isDefault);
}

TEST_F(HubTest, TheTrayIconChangesOnlyWhenTheIdDiffers) {
    hub->initialise();
    hub->setTrayIcon(141); // no icon before the window is ready
    EXPECT_FALSE(view.has("setTrayIcon 141"));
    hub->handleMessage(device::MSG_INIT, kCodeInit, true);
    for (int id : {128, 141, 141, 142, 142, 141, 128}) {
        hub->setTrayIcon(id);
    }
    std::vector<std::string> icons;
    for (const auto& c : view.calls) {
        if (c.rfind("setTrayIcon", 0) == 0) {
            icons.push_back(c);
        }
    }
    EXPECT_EQ(icons, (std::vector<std::string>{"setTrayIcon 141", "setTrayIcon 142", "setTrayIcon 141",
                                               "setTrayIcon 128"}));
}

TEST_F(HubTest, LinksHelpAndWindowButtons) {
    std::filesystem::create_directories(programFolder / "Help");
    std::ofstream(programFolder / "Help" / "index.html") << "<html></html>";
    std::ofstream(programFolder / "Help" / "index_zh.html") << "<html></html>";
    startWithKeyboard();
    hub->onControl(control::kLink);
    hub->onControl(control::kLink0 + 2);
    hub->onControl(control::kHelp);
    hub->onHelpKey();
    hub->onControl(control::kMinimize);
    hub->onControl(control::kProfile1 + 1);
    hub->onCommand(command::kProfileMenuFirst);
    hub->onCommand(command::kProfileMenuFirst + 3);
    EXPECT_EQ(view.calls, (std::vector<std::string>{
                              "openUrl https://a.example/", "openUrl https://c.example/",
                              "openFile index.html", "openFile index.html", "minimizeWindow",
                              "switchProfile 1 button", "switchProfile -1 menu", "switchProfile 2 menu"}));

    // The help page follows the language.
    view.calls.clear();
    texts.loadLanguage(languageFile, ui::TextTable::kChinese);
    hub->onHelpKey();
    EXPECT_EQ(view.calls, std::vector<std::string>{"openFile index_zh.html"});
}

// ---- import and export --------------------------------------------------------------------------------

TEST_F(HubTest, ImportAndExportGoThroughTheFileChooserWithTheProfileFilter) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    const auto exported = home / "backup.tvk";
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(1)[0x10] = singleKey(0x1E);
    }
    files.next = exported;
    hub->onCommand(command::kExport);
    ASSERT_TRUE(std::filesystem::exists(exported));
    EXPECT_EQ(files.filters.back(), "(*.tvk)|*.tvk|(*.*)|*.*||");
    EXPECT_EQ(files.modes.back(), FileChooser::Mode::Save);

    {
        auto lock = store.lockKeyData();
        store.working().block().profile(1)[0x10] = keyboard::KeyAssignment{};
    }
    keyboard.requests.clear();
    hub->onCommand(command::kImport);
    EXPECT_EQ(files.modes.back(), FileChooser::Mode::Open);
    settle();
    EXPECT_EQ(requestsOf(device::CMD_WRITE_KEYS) > 0, true);
    EXPECT_FALSE(hub->modified());
    EXPECT_TRUE(prompter.shown.empty());
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().block().profile(1)[0x10], singleKey(0x1E));
}

TEST_F(HubTest, ABadImportShowsBothMessagesWithThePathAndChangesNothing) {
    startWithKeyboard();
    const auto bad = home / "bad.tvk";
    std::vector<uint8_t> bytes(profiles::kRecordBlockSize, 0x55);
    std::ofstream(bad, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    files.next = bad;
    hub->onCommand(command::kImport);
    settle();
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_PROMPT_INPORT"});
    EXPECT_TRUE(view.has("showText"));
    EXPECT_NE(view.lastText.find(u"bad.tvk"), std::u16string::npos);
    EXPECT_EQ(view.lastText.find(u"%s"), std::u16string::npos);
    EXPECT_TRUE(keyboard.requests.empty());
    files.next.reset();
    hub->onCommand(command::kImport); // cancelled
    EXPECT_EQ(worker.size(), 0u);
}

// ---- exit ----------------------------------------------------------------------------------------------

TEST_F(HubTest, AnEditorThatRefusesCancelsTheExit) {
    std::vector<std::string> log;
    FakeEditor about("about", log), manager("manager", log), composite("composite", log);
    about.open = manager.open = composite.open = true;
    composite.refuse = true;
    hub->setAbout(&about);
    hub->addEditor(&manager);
    hub->addEditor(&composite);
    bool instanceClosed = false;
    hub->setExitSteps([&] { instanceClosed = true; }, [] {});
    startWithKeyboard();
    EXPECT_FALSE(hub->exitSequence());
    EXPECT_EQ(log, (std::vector<std::string>{"close about", "close manager", "close composite"}));
    EXPECT_EQ(view.calls, std::vector<std::string>{"hideWindow"});
    EXPECT_FALSE(instanceClosed);
    EXPECT_TRUE(hub->isReady()); // still resident, icon and all
    EXPECT_FALSE(hub->exiting());
}

// An editor with edits it has not kept: the user's answer decides what the exit does with them.
struct UnsavedCase {
    Prompter::Answer answer;
    bool exits;
    std::vector<std::string> log;
    bool written; // the kept edit reached the keyboard before the program ended
};

class UnsavedEdits : public HubTest, public ::testing::WithParamInterface<UnsavedCase> {};

TEST_P(UnsavedEdits, AreAskedAboutAndTheAnswerDecides) {
    const UnsavedCase& c = GetParam();
    std::vector<std::string> log;
    FakeEditor composite("composite", log);
    composite.open = true;
    composite.question = "EXIT_UNSAVED_KEY";
    // Keeping the edit is what OK does: the record joins the working copy, the window is modified.
    composite.onSave = [&] {
        {
            auto lock = store.lockKeyData();
            store.working().block().profile(0)[0x1E] = singleKey(0x30);
        }
        hub->assignmentsChanged();
    };
    hub->addEditor(&composite);
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    const auto before = keyboard.keyBlock(0);
    view.calls.clear();
    prompter.threeWay = {c.answer};

    EXPECT_EQ(hub->exitSequence(), c.exits);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXIT_UNSAVED_KEY"});
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(hub->exiting(), c.exits);
    // A write to the keyboard comes first: the program ends only once the worker has written it.
    EXPECT_EQ(view.has("quit"), c.exits && !c.written);
    settle();
    EXPECT_EQ(view.has("quit"), c.exits);
    EXPECT_EQ(keyboard.keyBlock(0) != before, c.written);
    EXPECT_EQ(composite.open, c.answer == Prompter::Answer::Cancel);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnsavedEdits,
    ::testing::Values(UnsavedCase{Prompter::Answer::Cancel, false, {}, false},
                      UnsavedCase{Prompter::Answer::No, true, {"close composite"}, false},
                      UnsavedCase{Prompter::Answer::Yes, true, {"save composite", "close composite"}, true}));

TEST_F(HubTest, AnEditorsApplyWhileTheKeyboardIsWrittenIsWrittenNext) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    hub->edits().edit([](profiles::WorkingCopy& w) { w.block().profile(0)[0x1F] = singleKey(0x31); });
    hub->assignmentsChanged();
    hub->apply();
    EXPECT_TRUE(hub->busy());
    // The key dialog's Apply while the first write runs: its record may miss that one.
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
    }
    hub->assignmentsChanged();
    hub->apply();
    keyboard.requests.clear();
    settle();
    EXPECT_EQ(requestsOf(device::CMD_BEGIN_WRITE), 2u);
    EXPECT_FALSE(hub->modified());
    EXPECT_FALSE(hub->busy());
}

TEST_F(HubTest, TheSessionsEndExitsWithoutAskingTheEditors) {
    std::vector<std::string> log;
    FakeEditor about("about", log), manager("manager", log);
    about.open = manager.open = true;
    manager.refuse = true; // a refusal is not heard: the session ends all the same
    hub->setAbout(&about);
    hub->addEditor(&manager);
    hub->setExitSteps([&] { log.push_back("instance"); }, [&] { log.push_back("events"); });
    startWithKeyboard();
    hub->endSession();
    // Closed without a question (their edits dropped), then the program's own steps.
    EXPECT_EQ(log, (std::vector<std::string>{"close about", "close manager", "instance", "events"}));
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"hideWindow", "removeTray", "setApplyEnabled 0", "quit"}));
    EXPECT_TRUE(hub->exiting());
    // A second signal while the program is ending changes nothing.
    hub->endSession();
    EXPECT_EQ(view.count("quit"), 1u);
}

TEST_F(HubTest, TheExitSequenceRunsItsStepsInOrder) {
    std::vector<std::string> log;
    FakeEditor about("about", log);
    about.open = true;
    hub->setAbout(&about);
    hub->setExitSteps([&] { log.push_back("instance"); }, [&] { log.push_back("events"); });
    startWithKeyboard();
    {
        auto lock = store.lockKeyData();
        macros::MacroRecord m;
        m.setId(1);
        store.working().macros().push_back(m);
    }
    hub->onControl(control::kClose);
    EXPECT_EQ(log, (std::vector<std::string>{"close about", "instance", "events"}));
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"hideWindow", "removeTray", "setApplyEnabled 0", "quit"}));
    EXPECT_FALSE(hub->isReady());
    {
        auto lock = store.lockKeyData();
        EXPECT_TRUE(store.working().macros().empty()); // released
    }
    // A second exit request (a late MSG_KILL) does nothing.
    hub->onCommand(command::kExit);
    hub->handleMessage(device::MSG_KILL, kCodeKill, false);
    EXPECT_EQ(view.count("quit"), 1u);
}

TEST_F(HubTest, EveryExitCommandRunsTheSameSequence) {
    for (int which = 0; which < 4; ++which) {
        auto& v = view;
        v.calls.clear();
        hub = std::make_unique<MainHub>(
            MainHubParts{state,
                         store,
                         commands,
                         *settings,
                         prompter,
                         files,
                         view,
                         texts,
                         languageFile,
                         home,
                         home,
                         [this](std::function<void()> t) { worker.post(std::move(t)); },
                         [this](std::function<void()> t) { ui.post(std::move(t)); },
                         {},
                         {}});
        startWithKeyboard();
        switch (which) {
        case 0:
            hub->onControl(control::kClose);
            break;
        case 1:
            hub->onCommand(command::kExit);
            break;
        case 2:
            hub->onCommand(command::kMenuExit);
            break;
        case 3:
            hub->handleMessage(device::MSG_KILL, kCodeKill, false);
            break;
        }
        EXPECT_EQ(v.calls.back(), "quit") << which;
    }
}

// ---- undo and redo ----------------------------------------------------------------------------------

struct HistoryEndCase {
    const char* name;
    std::function<void(MainHub&, ScriptedPrompter&)> event;
};

// A -> B on the read keyboard, then Ctrl+Z: A has its own function and Apply is disabled; Ctrl+Shift+Z
// gives B back. Each event that replaces the working copy as a whole forgets the steps.
class HistoryEnds : public HubTest, public ::testing::WithParamInterface<HistoryEndCase> {};

TEST_P(HistoryEnds, UndoFollowsTheAppliedCopyAndTheEventForgetsTheSteps) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    const auto keyA = [this] {
        auto lock = store.lockKeyData();
        return store.working().block().profile(0)[0x1E];
    };
    hub->edits().edit([](profiles::WorkingCopy& w) { w.block().profile(0)[0x1E] = singleKey(0x30); });
    hub->assignmentsChanged();
    ASSERT_TRUE(hub->modified());
    hub->onCommand(command::kUndo);
    EXPECT_EQ(keyA().type, keyboard::ASSIGN_DEFAULT);
    EXPECT_FALSE(hub->modified());
    hub->redo();
    EXPECT_EQ(keyA(), singleKey(0x30));
    EXPECT_TRUE(hub->modified());
    EXPECT_TRUE(hub->switchContext().undoHistory);

    GetParam().event(*hub, prompter);
    settle();
    EXPECT_TRUE(hub->edits().empty());
    const keyboard::KeyAssignment now = keyA();
    hub->undo();
    EXPECT_EQ(keyA(), now) << "nothing left to undo";
}

INSTANTIATE_TEST_SUITE_P(
    Events, HistoryEnds,
    ::testing::Values(HistoryEndCase{"arrival",
                                     [](MainHub& hub, ScriptedPrompter&) {
                                         hub.handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
                                     }},
                      HistoryEndCase{"switch",
                                     [](MainHub& hub, ScriptedPrompter&) {
                                         profiles::SwitchFinish finish;
                                         finish.profile = 1;
                                         hub.profileSwitched(finish);
                                     }},
                      HistoryEndCase{"reload",
                                     [](MainHub& hub, ScriptedPrompter&) { hub.profilesReloaded(); }},
                      HistoryEndCase{"defaults",
                                     [](MainHub& hub, ScriptedPrompter& prompter) {
                                         prompter.answers = {true};
                                         hub.onControl(control::kDefaults);
                                         EXPECT_EQ(prompter.asked.back().first, "MAIN_PROMPT_DEFAULT_UNDO");
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// A paint stroke shares the history with the keys: undo takes back the newest step first, and Apply does
// not follow a stroke (the keyboard has it already).
TEST_F(HubTest, AStrokeIsAStepBesideTheKeyEdits) {
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    std::vector<bool> restored;
    userEdit();
    hub->lightingStep([&](bool forward) { restored.push_back(forward); });
    hub->undo();
    EXPECT_EQ(restored, std::vector<bool>{false});
    EXPECT_TRUE(hub->modified()) << "the key edit is still there";
    hub->undo();
    EXPECT_FALSE(hub->modified());
    hub->redo();
    hub->redo();
    EXPECT_EQ(restored, (std::vector<bool>{false, true}));
}

} // namespace
} // namespace tarvik::app::test
