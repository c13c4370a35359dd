// The main window's decisions that connect its sub-windows: the key dialog and the profile manager as
// they decide clicks and profile switches, the end of a switch, the profile menu, the update's restore
// offer after the keyboard comes back, and "Start with the desktop".
#include "tests/app/HubFixture.h"

#include "app/Autostart.h"
#include "keyboard/KeyAssignment.h"
#include "profiles/DataFolder.h"
#include "profiles/ProfileFiles.h"
#include "tests/update/UpdateFakes.h"
#include "update/FirmwareUpdate.h"

#include <fstream>

namespace tarvik::app::test {
namespace {

using device::kCodeProf;

keyboard::KeyAssignment singleKey(uint16_t key) {
    keyboard::KeyAssignment r;
    r.type = keyboard::ASSIGN_SINGLE_KEY;
    r.value = key;
    return r;
}

// ---- the editors' state --------------------------------------------------------------------------------

TEST_F(HubTest, WhileTheKeyDialogIsOpenKeyClicksDoNothingAndEverySwitchIsRefused) {
    std::vector<std::string> log;
    FakeEditor keyDialog("key", log);
    hub->setKeyDialog(&keyDialog);
    startWithKeyboard();
    state.currentProfile.store(0);

    keyDialog.open = true;
    hub->onControl(1010);
    state.keyEditMode.store(1); // not even a colour flag changes
    hub->onControl(1010);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_FALSE(hub->modified());
    profiles::ProfileSwitcher switcher;
    for (int profile : {1, 2, -1}) {
        const profiles::SwitchDecision d =
            switcher.request(profile, profiles::SwitchSource::Menu, hub->switchContext());
        EXPECT_EQ(d.step, profiles::SwitchStep::Refuse) << profile;
        EXPECT_EQ(d.message, profiles::kEditorOpenMessage);
    }

    keyDialog.open = false;
    state.keyEditMode.store(0);
    hub->onControl(1010);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"refreshButton 1010", "openKeyDialog 59 0 1010"}));
    EXPECT_EQ(switcher.request(1, profiles::SwitchSource::Menu, hub->switchContext()).step,
              profiles::SwitchStep::Run);
}

TEST_F(HubTest, UnappliedChangesOfTheWindowOrTheOpenManagerMakeASwitchAskFirst) {
    std::vector<std::string> log;
    FakeEditor manager("manager", log);
    bool managerModified = true;
    hub->setProfileManager(&manager, [&] { return managerModified; });
    startWithKeyboard();
    state.currentProfile.store(1);

    struct Case {
        bool windowModified;
        bool managerOpen;
        profiles::SwitchStep expected;
    } cases[] = {
        {false, false, profiles::SwitchStep::Run},
        // A closed manager's flag is left over from its last showing.
        {false, true, profiles::SwitchStep::Ask},
        {true, false, profiles::SwitchStep::Ask},
    };
    for (const Case& c : cases) {
        manager.open = c.managerOpen;
        if (c.windowModified) {
            userEdit();
        }
        const profiles::SwitchContext context = hub->switchContext();
        EXPECT_EQ(context.keyboardProfile, 1);
        EXPECT_EQ(context.managerOpen, c.managerOpen);
        profiles::ProfileSwitcher switcher;
        EXPECT_EQ(switcher.request(2, profiles::SwitchSource::ProfileButton, context).step, c.expected)
            << c.windowModified << c.managerOpen;
    }
}

// ---- a switch's end ------------------------------------------------------------------------------------

TEST_F(HubTest, ASwitchsEndShowsTheNewProfileAndItsKeys) {
    startWithKeyboard();
    hub->edits().edit([](profiles::WorkingCopy& w) { w.block().profile(2)[0x1E] = singleKey(0x30); });
    hub->assignmentsChanged();
    ASSERT_TRUE(hub->modified());

    hub->setSwitchBusy(true);
    EXPECT_TRUE(hub->busy());
    hub->onControl(1010); // no input while the keyboard is switched
    EXPECT_FALSE(view.has("openKeyDialog 59 0 1010"));
    hub->setSwitchBusy(false);

    view.calls.clear();
    profiles::SwitchFinish finish;
    finish.profile = 2;
    finish.disableMainApply = true;
    hub->profileSwitched(finish);
    EXPECT_FALSE(hub->modified());
    EXPECT_EQ(hub->editingProfile(), 2);
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"setApplyEnabled 0", "setProfileButtons 2", "refreshKeyButtons"}));
    // The A key's button shows profile 2's record now.
    int aButton = 0;
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        if (keyboard::SlotOfButton(k.controlId, 0) == 0x1E) {
            aButton = k.controlId;
        }
    }
    ASSERT_NE(aButton, 0);
    EXPECT_TRUE(hub->buttonLook(aButton).assigned);

    // <Default Profile> selects nothing: the buttons show the keyboard's profile, the editing one stays.
    view.calls.clear();
    state.currentProfile.store(-1);
    hub->profileSwitched(profiles::SwitchFinish{});
    EXPECT_EQ(hub->editingProfile(), 2);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"setProfileButtons -1", "refreshKeyButtons"}));
}

TEST_F(HubTest, TheProfileManagersApplyReloadsTheWindowFromTheKeyboard) {
    FakeLighting lighting;
    hub->setLighting(&lighting);
    startWithKeyboard();
    hub->assignmentsChanged();
    state.currentProfile.store(1);
    hub->profilesReloaded();
    EXPECT_FALSE(hub->modified());
    EXPECT_EQ(hub->editingProfile(), 1);
    EXPECT_TRUE(view.has("setProfileButtons 1"));
    EXPECT_EQ(lighting.calls, std::vector<std::string>{"reload 1"});
    hub->setLighting(nullptr);
}

TEST_F(HubTest, TheProfileMenuNamesTheProfilesAndChecksTheKeyboardsOne) {
    startWithKeyboard();
    for (int current : {-1, 0, 2}) {
        state.currentProfile.store(current);
        const std::vector<MenuItem> m = hub->profileMenu();
        ASSERT_EQ(m.size(), 5u);
        EXPECT_EQ(m[0].command, command::kProfileMenuFirst);
        EXPECT_EQ(m[0].text, u"<Default Profile>");
        EXPECT_TRUE(m[1].separator);
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(m[static_cast<size_t>(2 + p)].command, command::kProfileMenuFirst + 1 + p);
            EXPECT_EQ(m[static_cast<size_t>(2 + p)].text, hub->profileEntryName(p));
            EXPECT_EQ(m[static_cast<size_t>(2 + p)].checked, p == current);
        }
        EXPECT_EQ(m[0].checked, current < 0);
    }
    // Control 1009 shows it; its choices switch as the menu does.
    hub->onControl(control::kTrayMenu);
    EXPECT_EQ(view.lastMenu.size(), 5u);
    hub->onCommand(view.lastMenu[3].command);
    EXPECT_TRUE(view.has("switchProfile 1 menu"));
}

// ---- the restore offer ---------------------------------------------------------------------------------

class RestoreOfferTest : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        const std::filesystem::path package = home / "Package";
        std::filesystem::create_directories(package);
        program = package / "flash";
        std::ofstream(program) << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        update = std::make_unique<update::FirmwareUpdate>(
            store, *settings,
            update::FirmwareUpdate::Seams{prompter, updatePrompter, chooser, starter, trigger.sender()},
            update::FirmwareUpdate::Folders{package, {}});
        hub->setRestoreOffer([this] { return update->offerRestore(); });
    }
    // An update run to its end: the backup written, the keyboard sent to its boot mode.
    void runUpdate() {
        chooser.answers.push_back(program);
        update->chooseUpdateFile();
        ASSERT_EQ(update->startUpdate(), update::FirmwareUpdate::UpdateResult::Started);
        ASSERT_FALSE(update->lastAutomaticBackup().empty());
    }
    size_t questions() const {
        size_t n = 0;
        for (const auto& e : updatePrompter.entries) {
            n += e.question && e.key == "UPDATE_RESTORE_PROMPT" ? 1 : 0;
        }
        return n;
    }

    std::filesystem::path program;
    tarvik::testing::RecordingUpdatePrompter updatePrompter;
    tarvik::testing::ScriptedChooser chooser;
    tarvik::testing::ScriptedStarter starter;
    tarvik::testing::RecordingTrigger trigger;
    std::unique_ptr<update::FirmwareUpdate> update;
};

TEST_F(RestoreOfferTest, AfterAnUpdateTheArrivalAsksOnceAndYesImportsTheBackupOnTheWorker) {
    startWithKeyboard();
    {
        auto lock = store.lockKeyData();
        store.working().block().profile(0)[0x1E] = singleKey(0x30);
    }
    runUpdate();
    // Flashing reset the keyboard; it comes back with its factory keys.
    updatePrompter.answers = {true};
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    EXPECT_EQ(questions(), 0u); // not while the presence worker waits for the message
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().block().profile(0)[0x1E].type, 0u);
    }
    keyboard.requests.clear();
    ui.runAll();
    EXPECT_EQ(questions(), 1u);
    EXPECT_EQ(updatePrompter.entries.back().file, update->lastAutomaticBackup());
    EXPECT_TRUE(hub->busy());
    EXPECT_TRUE(keyboard.requests.empty()); // the import waits for the worker
    settle();
    EXPECT_FALSE(hub->busy());
    EXPECT_GE(requestsOf(device::CMD_WRITE_KEYS), 1u);
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().block().profile(0)[0x1E], singleKey(0x30));
    }
    EXPECT_FALSE(hub->modified());
    EXPECT_TRUE(view.has("refreshKeyButtons"));

    // The next arrival asks nothing.
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    EXPECT_EQ(questions(), 1u);
}

TEST_F(RestoreOfferTest, NoKeepsWhatTheKeyboardHoldsAndIsNotAskedAgain) {
    startWithKeyboard();
    runUpdate();
    updatePrompter.answers = {false};
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    keyboard.requests.clear();
    settle();
    EXPECT_EQ(questions(), 1u);
    EXPECT_EQ(requestsOf(device::CMD_WRITE_KEYS), 0u);
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    EXPECT_EQ(questions(), 1u);
}

TEST_F(RestoreOfferTest, AnArrivalWhileApplyRunsLeavesTheOfferForTheNextOne) {
    startWithKeyboard();
    runUpdate();
    updatePrompter.answers = {false};
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    hub->onControl(control::kApply); // busy before the queued offer runs
    ui.runAll();
    EXPECT_EQ(questions(), 0u);
    settle();
    hub->handleMessage(device::MSG_PROFILE_SYNC, kCodeProf, false);
    settle();
    EXPECT_EQ(questions(), 1u);
}

} // namespace
} // namespace tarvik::app::test
