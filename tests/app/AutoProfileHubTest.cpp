// The main window's side of automatic profiles: a switch for the application in front is made only when
// it can be made without a question, the tray menu carries the pause and the rules window, and the
// tooltip says when a switch waits.
#include "tests/app/HubFixture.h"

namespace tarvik::app::test {
namespace {

TEST_F(HubTest, AnAutomaticSwitchNeverRunsOverPendingEditsOrWithoutAKeyboard) {
    std::vector<std::string> log;
    FakeEditor keyDialog("key dialog", log);
    hub->setKeyDialog(&keyDialog);
    EXPECT_FALSE(hub->switchAutomatically(2)) << "before a keyboard is there";
    startWithKeyboard();
    state.currentProfile.store(0);
    struct Case {
        const char* what;
        std::function<void()> arrange;
        bool switches;
    };
    const Case cases[] = {
        {"nothing pending", [] {}, true},
        {"unapplied edits", [&] { userEdit(); }, false},
        {"the key dialog open", [&] { keyDialog.open = true; }, false},
        {"a switch running", [&] { hub->setSwitchBusy(true); }, false},
    };
    for (const Case& c : cases) {
        c.arrange();
        view.calls.clear();
        EXPECT_EQ(hub->autoSwitchState().editsPending, !c.switches) << c.what;
        EXPECT_EQ(hub->switchAutomatically(2), c.switches) << c.what;
        EXPECT_EQ(view.has("switchProfile 2 button"), c.switches) << c.what;
    }
    EXPECT_EQ(prompter.shown.size(), 0u) << "an automatic switch showed a message";
}

TEST_F(HubTest, TheTrayMenuPausesAutomaticProfilesAndOpensTheirRules) {
    EXPECT_EQ(hub->trayMenu().size(), 3u) << "no entries without the feature";
    bool paused = false;
    int opened = 0;
    int changed = 0;
    hub->setAutoProfiles(
        {[&] { return paused; }, [&](bool p) { paused = p; }, [&] { ++opened; }, [&] { ++changed; }});
    startWithKeyboard();
    const std::vector<MenuItem> menu = hub->trayMenu();
    ASSERT_EQ(menu.size(), 6u);
    EXPECT_EQ(menu[2].command, command::kExit) << "Exit keeps its place";
    EXPECT_TRUE(menu[3].separator);
    EXPECT_EQ(menu[4].text, u"Automatic profiles");
    EXPECT_TRUE(menu[4].checkable && menu[4].checked);
    hub->onCommand(menu[4].command);
    EXPECT_TRUE(paused);
    EXPECT_FALSE(hub->trayMenu()[4].checked);
    hub->onCommand(menu[5].command);
    EXPECT_EQ(opened, 1);

    // Edits applied or dropped reach the feature through the window's queue, never from inside the call.
    hub->assignmentsChanged();
    EXPECT_EQ(changed, 0);
    settle();
    EXPECT_GE(changed, 1);

    hub->setSwitchWaiting(true);
    EXPECT_NE(view.lastText.find(u"waits for your unapplied changes"), std::u16string::npos);
    hub->setSwitchWaiting(false);
    EXPECT_EQ(view.lastText.find(u"waits"), std::u16string::npos);
}

} // namespace
} // namespace tarvik::app::test
