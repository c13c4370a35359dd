// The main window's side of a switch: the question and the refusal on this thread, the keyboard work on
// the device worker, the menu rebuilt and the window told what to redraw afterwards.
#include "profiles/ProfileSwitchRunner.h"

#include "device/SerialWorker.h"
#include "profiles/DataFolder.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ProfileMenuWidgets.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/TestHome.h"
#include "ui/CPngButton.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvik::profiles {
namespace {

constexpr int kWaitMs = 10000;

class Host final : public ProfileSwitchHost {
public:
    SwitchContext switchContext() const override { return context; }
    void setSwitchBusy(bool busy) override { busyChanges.push_back(busy); }
    void profileSwitched(const SwitchFinish& finish, const ProfileMenu& menu) override {
        finished.push_back(finish);
        menus.push_back(menu);
        if (finish.disableMainApply) {
            context.mainModified = false;
        }
    }

    SwitchContext context;
    std::vector<bool> busyChanges;
    std::vector<SwitchFinish> finished;
    std::vector<ProfileMenu> menus;
};

// Answers the save question, and can do something while it is on screen, as the nested event loop of a
// modal box lets the user do.
class QuestionPrompter final : public Prompter {
public:
    void show(std::string_view key) override { shown.emplace_back(key); }
    bool askYesNo(std::string_view key, bool defaultYes) override {
        asked.emplace_back(key);
        defaults.push_back(defaultYes);
        if (whileAsking) {
            auto f = std::move(whileAsking);
            whileAsking = nullptr;
            f();
        }
        return answer;
    }
    bool answer = false;
    std::function<void()> whileAsking;
    std::vector<std::string> shown, asked;
    std::vector<bool> defaults;
};

class ProfileSwitchRunnerTest : public ::testing::Test {
protected:
    ProfileSwitchRunnerTest() {
        testing::useOwnHome();
        ensureDataFolder();
        EXPECT_TRUE(newDefaultStoreFile(cacheFilePath(0)));
        link.macroCapacity = 8192;
        link.currentProfile = 0;
        host.context.keyboardProfile = 0;
    }
    ~ProfileSwitchRunnerTest() override { worker.stop(); }

    bool settle() {
        return QTest::qWaitFor([&] { return runner.pending() == 0; }, kWaitMs) &&
               worker.waitIdle(std::chrono::milliseconds(kWaitMs));
    }
    std::vector<int> selectedProfiles() const {
        std::vector<int> out;
        for (const auto& r : kb.requests) {
            if (r.command == device::CMD_WRITE_CONFIG) {
                out.push_back(r.data.at(device::kConfigCurrentProfile));
            }
        }
        return out;
    }

    testing::FakeKeyboard kb;
    device::LinkTiming timing = [] {
        device::LinkTiming t;
        t.endWritePause = std::chrono::milliseconds(0);
        return t;
    }();
    device::Commands commands{kb, timing};
    device::AppLinkState link;
    AssignmentStore store;
    Host host;
    QuestionPrompter prompter;
    device::SerialWorker worker;
    ProfileSwitchRunner runner{
        host,  prompter, [this](std::function<void()> t) { worker.post(std::move(t)); },
        store, commands, link};
};

TEST_F(ProfileSwitchRunnerTest, AButtonSwitchRunsOnTheWorkerAndRebuildsTheMenu) {
    std::vector<bool> done;
    runner.switchProfile(2, SwitchSource::ProfileButton, [&](bool s) { done.push_back(s); });
    EXPECT_EQ(runner.pending(), 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(done, (std::vector<bool>{true}));
    EXPECT_EQ(selectedProfiles(), (std::vector<int>{2}));
    EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false}));
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_EQ(host.finished[0].profile, 2);
    EXPECT_TRUE(host.menus[0].items[4].checked);
    EXPECT_TRUE(runner.menu().items[4].checked);
    EXPECT_TRUE(prompter.asked.empty());

    // The button of the profile the keyboard runs does nothing at all.
    host.context.keyboardProfile = 2;
    runner.switchProfile(2, SwitchSource::ProfileButton, [&](bool s) { done.push_back(s); });
    EXPECT_EQ(done.back(), false);
    EXPECT_EQ(runner.pending(), 0);
}

TEST_F(ProfileSwitchRunnerTest, TheCompositeDialogOpenRefusesWithItsMessage) {
    host.context.compositeOpen = true;
    EXPECT_TRUE(runner.menuCommand(9002));
    runner.switchProfile(2, SwitchSource::ProfileButton);
    EXPECT_EQ(prompter.shown, (std::vector<std::string>{"PROFILE_SEELCT_PROMPT2", "PROFILE_SEELCT_PROMPT2"}));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(kb.requests.empty());
    EXPECT_TRUE(host.finished.empty());
    EXPECT_FALSE(runner.menuCommand(1135));
}

TEST_F(ProfileSwitchRunnerTest, TheSaveQuestionHasNoPreselectedAndASecondSwitchGoesStraightThrough) {
    host.context.mainModified = true;
    prompter.answer = false;
    prompter.whileAsking = [&] { runner.switchProfile(1, SwitchSource::ProfileButton); };
    runner.switchProfile(2, SwitchSource::ProfileButton);
    ASSERT_TRUE(settle());
    EXPECT_EQ(prompter.asked, (std::vector<std::string>{"PROFILE_SELECT_PROMPT"}));
    EXPECT_EQ(prompter.defaults, (std::vector<bool>{false}));
    // The second switch was sent first; the question's own switch followed its answer.
    EXPECT_EQ(selectedProfiles(), (std::vector<int>{1, 2}));
    ASSERT_EQ(host.finished.size(), 2u);
    EXPECT_FALSE(host.finished[0].disableMainApply);
    EXPECT_TRUE(host.finished[1].disableMainApply); // No discards the edits
    EXPECT_EQ(host.finished[1].profile, 2);
    EXPECT_EQ(host.busyChanges.front(), true);
    EXPECT_EQ(host.busyChanges.back(), false);
}

TEST(ProfileMenuWidgets, TheMenuAndTheManagerButtonShowTheModel) {
    testing::useOwnHome();
    const ProfileMenu model = buildProfileMenu(0, u"<Default Profile>", u"Tip: ");
    QMenu menu;
    fillProfileMenu(menu, model);
    fillProfileMenu(menu, model); // a rebuild replaces, it does not add
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(profileMenuCommand(*actions[0]), 9000);
    EXPECT_EQ(profileMenuCommand(*actions[2]), 9001);
    EXPECT_TRUE(actions[2]->isChecked());
    EXPECT_FALSE(actions[3]->isChecked());
    EXPECT_EQ(actions[4]->text(), QStringLiteral("$Profile0"));

    ui::CPngButton b;
    showProfileMenuOn(b, model);
    EXPECT_EQ(b.text(), QStringLiteral("$Profile0"));
    EXPECT_EQ(b.tipText(), QStringLiteral("Tip: $Profile0"));
}

} // namespace
} // namespace tarvik::profiles
