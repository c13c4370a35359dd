// Profile switching: the decisions on the user-interface thread, and what the device worker does for them.
#include "profiles/ProfileSwitcher.h"

#include "profiles/DataFolder.h"
#include "profiles/ProfileFiles.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace tarvik::profiles {
namespace {

using Pending = SwitchWork::Pending;

struct DecisionCase {
    const char* what;
    int profile;
    SwitchSource source;
    SwitchContext context;
    SwitchStep step;
    int workProfile;
    bool tickManager;
};

class SwitchDecisions : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(SwitchDecisions, Decide) {
    const DecisionCase& c = GetParam();
    ProfileSwitcher s;
    SwitchDecision d = s.request(c.profile, c.source, c.context);
    EXPECT_EQ(d.step, c.step);
    EXPECT_EQ(d.work.profile, c.workProfile);
    EXPECT_EQ(d.work.pending, Pending::Keep);
    EXPECT_EQ(d.work.tickManager, c.tickManager);
    EXPECT_EQ(d.message, c.step == SwitchStep::Refuse ? kEditorOpenMessage
                         : c.step == SwitchStep::Ask  ? kSaveQuestion
                                                      : std::string_view());
    EXPECT_EQ(s.questionUp(), c.step == SwitchStep::Ask);
}

constexpr SwitchContext kIdle{1, false, false, false, false};
constexpr SwitchContext kComposite{1, true, false, false, false};
constexpr SwitchContext kCompositeAndEdits{1, true, true, true, false};
constexpr SwitchContext kEdited{1, false, true, false, false};
constexpr SwitchContext kManagerEdited{1, false, false, true, true};
constexpr SwitchContext kManagerOpen{1, false, false, false, true};
constexpr SwitchContext kUnread{-1, false, false, false, false};

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchDecisions,
    ::testing::Values(
        // The buttons skip the profile the keyboard runs; the menu runs the whole switch for it.
        DecisionCase{"button, current", 1, SwitchSource::ProfileButton, kIdle, SwitchStep::Skip, 1, false},
        DecisionCase{"menu, current", 1, SwitchSource::Menu, kIdle, SwitchStep::Run, 1, false},
        DecisionCase{"button, other", 2, SwitchSource::ProfileButton, kIdle, SwitchStep::Run, 2, false},
        DecisionCase{"button, unread", 0, SwitchSource::ProfileButton, kUnread, SwitchStep::Run, 0, false},
        // <Default Profile> selects nothing but still refreshes.
        DecisionCase{"menu 9000", -1, SwitchSource::Menu, kIdle, SwitchStep::Run, -1, false},
        DecisionCase{"beyond the three", 7, SwitchSource::Menu, kIdle, SwitchStep::Run, 0, false},
        // An open composite dialog refuses every switch, edits or not.
        DecisionCase{"composite", 2, SwitchSource::ProfileButton, kComposite, SwitchStep::Refuse, 2, false},
        DecisionCase{"composite, menu", 1, SwitchSource::Menu, kCompositeAndEdits, SwitchStep::Refuse, 1,
                     false},
        DecisionCase{"main edits", 0, SwitchSource::ProfileButton, kEdited, SwitchStep::Ask, 0, false},
        DecisionCase{"manager edits", 0, SwitchSource::Menu, kManagerEdited, SwitchStep::Ask, 0, false},
        DecisionCase{"manager open", 2, SwitchSource::Menu, kManagerOpen, SwitchStep::Run, 2, true},
        DecisionCase{"manager open, 9000", -1, SwitchSource::Menu, kManagerOpen, SwitchStep::Run, -1, false}),
    [](const ::testing::TestParamInfo<DecisionCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c != 0; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) {
                name += *c;
            }
        }
        return name;
    });

TEST(ProfileSwitcher, ASecondSwitchWhileTheQuestionIsUpSelectsWithoutAsking) {
    ProfileSwitcher s;
    SwitchDecision first = s.request(2, SwitchSource::ProfileButton, kEdited);
    ASSERT_EQ(first.step, SwitchStep::Ask);

    SwitchDecision second = s.request(0, SwitchSource::ProfileButton, kEdited);
    EXPECT_EQ(second.step, SwitchStep::Run);
    EXPECT_EQ(second.work, (SwitchWork{0, Pending::Keep, false, false}));
    // Still refused while the composite dialog is open.
    EXPECT_EQ(s.request(0, SwitchSource::Menu, kCompositeAndEdits).step, SwitchStep::Refuse);

    EXPECT_EQ(s.answer(first, true), (SwitchWork{2, Pending::Apply, true, false}));
    EXPECT_FALSE(s.questionUp());
    // The next switch asks again.
    EXPECT_EQ(s.request(1, SwitchSource::Menu, kEdited).step, SwitchStep::Ask);
    EXPECT_EQ(s.answer(first, false), (SwitchWork{2, Pending::Discard, false, false}));
}

TEST(ProfileSwitcher, YesWithOnlyTheManagerModifiedHasNothingToApply) {
    ProfileSwitcher s;
    SwitchDecision d = s.request(0, SwitchSource::Menu, kManagerEdited);
    EXPECT_EQ(s.answer(d, true), (SwitchWork{0, Pending::Apply, false, false}));
}

class SwitchWorkTest : public ::testing::Test {
protected:
    SwitchWorkTest() {
        testing::useOwnHome();
        device::LinkTiming t;
        t.endWritePause = std::chrono::milliseconds(0);
        commands = std::make_unique<device::Commands>(kb, t);
        state.macroCapacity = 8192;
        ensureDataFolder();
        EXPECT_TRUE(newDefaultStoreFile(cacheFilePath(0)));
        EXPECT_EQ(loadProfileFile(store, cacheFilePath(0)), 1);
    }
    // An edit of key A in profile 0 that only the working copy holds.
    void edit() {
        auto lock = store.lockKeyData();
        store.working().records()[0x1E].type = keyboard::ASSIGN_NO_FUNCTION;
    }
    uint16_t typeOfA() {
        auto lock = store.lockKeyData();
        return store.working().records()[0x1E].type;
    }
    std::vector<testing::FakeRequest> requestsOf(uint8_t command) const {
        std::vector<testing::FakeRequest> out;
        for (const auto& r : kb.requests) {
            if (r.command == command) {
                out.push_back(r);
            }
        }
        return out;
    }

    testing::FakeKeyboard kb;
    std::unique_ptr<device::Commands> commands;
    device::AppLinkState state;
    AssignmentStore store;
};

TEST_F(SwitchWorkTest, NoDiscardsTheEditsByReloadingTheCacheFileThenSwitches) {
    state.currentProfile = 0;
    edit();
    ProfileSwitcher s;
    SwitchDecision d = s.request(2, SwitchSource::ProfileButton, {0, false, true, false, false});
    SwitchWork w = s.answer(d, false);
    SwitchResult r = runSwitch(w, store, *commands, state);

    EXPECT_TRUE(r.reloaded);
    EXPECT_EQ(typeOfA(), keyboard::ASSIGN_DEFAULT);
    auto writes = requestsOf(device::CMD_WRITE_CONFIG);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].data.at(device::kConfigCurrentProfile), 2);
    EXPECT_EQ(state.currentProfile.load(), 2);
    EXPECT_TRUE(requestsOf(device::CMD_WRITE_KEYS).empty()); // nothing of the edit reached the keyboard

    SwitchFinish f = finishSwitch(w, r);
    EXPECT_TRUE(f.disableMainApply);
    EXPECT_EQ(f.profile, 2);
    EXPECT_FALSE(f.tickManager);
}

TEST_F(SwitchWorkTest, NoWithoutAKnownProfileKeepsTheWorkingCopy) {
    edit();
    SwitchWork w{1, Pending::Discard, false, false};
    SwitchResult r = runSwitch(w, store, *commands, state);
    EXPECT_FALSE(r.reloaded);
    EXPECT_EQ(typeOfA(), keyboard::ASSIGN_NO_FUNCTION);
    EXPECT_TRUE(finishSwitch(w, r).disableMainApply);
}

TEST_F(SwitchWorkTest, YesAppliesBeforeSwitchingAndAFailedApplyKeepsApplyEnabled) {
    state.currentProfile = 0;
    edit();
    SwitchWork w{1, Pending::Apply, true, false};
    SwitchResult r = runSwitch(w, store, *commands, state);
    ASSERT_TRUE(r.apply.has_value());
    EXPECT_TRUE(r.apply->succeeded());
    // The key block went out before the configuration write that switches.
    size_t keys = 0, config = 0;
    for (size_t i = 0; i < kb.requests.size(); ++i) {
        if (kb.requests[i].command == device::CMD_WRITE_KEYS) {
            keys = i;
        }
        if (kb.requests[i].command == device::CMD_WRITE_CONFIG) {
            config = i;
        }
    }
    EXPECT_GT(keys, 0u);
    EXPECT_GT(config, keys);
    EXPECT_TRUE(finishSwitch(w, r).disableMainApply);

    kb.gone = true;
    SwitchResult failed = runSwitch(w, store, *commands, state);
    ASSERT_TRUE(failed.apply.has_value());
    EXPECT_FALSE(failed.apply->succeeded());
    EXPECT_NE(failed.selectResult, device::kOk);
    EXPECT_EQ(state.currentProfile.load(), -1);
    EXPECT_FALSE(finishSwitch(w, failed).disableMainApply);
}

TEST_F(SwitchWorkTest, DefaultProfileEntrySendsNothingAndTheCurrentOneIsWrittenAgain) {
    state.currentProfile = 1;
    SwitchResult none = runSwitch(SwitchWork{-1, Pending::Keep, false, false}, store, *commands, state);
    EXPECT_EQ(none.selectResult, device::kOk);
    EXPECT_TRUE(kb.requests.empty());
    EXPECT_EQ(finishSwitch(SwitchWork{-1}, none).profile, -1);

    // The current profile again from the menu: the whole switch, configuration write included.
    ProfileSwitcher s;
    SwitchDecision d = s.request(1, SwitchSource::Menu, {1, false, false, false, false});
    ASSERT_EQ(d.step, SwitchStep::Run);
    runSwitch(d.work, store, *commands, state);
    ASSERT_EQ(requestsOf(device::CMD_WRITE_CONFIG).size(), 1u);
    EXPECT_EQ(requestsOf(device::CMD_WRITE_CONFIG)[0].data.at(device::kConfigCurrentProfile), 1);
}

TEST(SwitchFinishTest, TheApplysSpaceMessagesAreShownAfterwards) {
    SwitchResult r;
    r.apply = ApplyOutcome{true, DownloadOutcome{1, true, true}};
    SwitchFinish f = finishSwitch(SwitchWork{0, Pending::Apply, true, false}, r);
    EXPECT_EQ(f.messages,
              (std::vector<std::string_view>{"EXTRA_MACRO_TOO_LONG", "EXTRA_PROFILE_SPACE_TIGHT"}));
    EXPECT_TRUE(f.disableMainApply);
}

} // namespace
} // namespace tarvik::profiles
