// The store carried through the virtual keyboard: downloaded, read back into a profile file, loaded and
// compared.
#include "device/OnBoardProfile.h"
#include "macros/MacroImage.h"
#include "platform/Paths.h"
#include "profiles/Download.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/SimKeyboard.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"

#include <gtest/gtest.h>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

class SimRoundTrip : public testing::SimKeyboardTest {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        testing::SimKeyboardTest::SetUp();
    }
    // The apply step and then its messages, as a window shows them once the store is unlocked.
    int apply(AssignmentStore& store, bool all) {
        DownloadOutcome out = makeAppliedCopy(store, commands(), state, all);
        showDownloadMessages(out, prompter);
        return out.result;
    }
    void readBack(AssignmentStore& back) {
        fs::path f = home / "back.tvk";
        ASSERT_TRUE(readKeyboardToFile(f, commands(), state));
        ASSERT_EQ(loadProfileFile(back, f), 1);
    }
    fs::path home;
    testing::RecordingPrompter prompter;
};

TEST_F(SimRoundTrip, EveryAssignmentTypeAndTheMacrosComeBack) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, true), 1);
    EXPECT_TRUE(prompter.shown.empty());

    AssignmentStore back;
    readBack(back);
    testing::expectSampleStoreBack(store, back);
}

TEST_F(SimRoundTrip, ApplyWritesOnlyTheCurrentProfilesBlock) {
    ASSERT_EQ(device::selectOnBoardProfile(commands(), state, 2), 1);
    std::vector<uint8_t> before = sim->area(PortmuxSimControl::Area::KeyBlocks);
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, false), 1);
    std::vector<uint8_t> after = sim->area(PortmuxSimControl::Area::KeyBlocks);
    ASSERT_EQ(after.size(), 3u * 378);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 756, after.begin()))
        << "blocks 0 and 1 untouched";
    EXPECT_FALSE(std::equal(before.begin() + 756, before.end(), after.begin() + 756)) << "block 2 written";
}

TEST_F(SimRoundTrip, ASmallMacroAreaDropsTheNamesAndReadsBackDefaultNames) {
    // One unit of 128 bytes: three macros fit only without their names.
    ASSERT_TRUE(sim->setArea(PortmuxSimControl::Area::Config, 11, {1}));
    ASSERT_EQ(device::refreshMacroCapacity(commands(), state), 1);
    ASSERT_EQ(state.macroCapacity.load(), 128u);
    AssignmentStore store;
    {
        auto lock = store.lockKeyData();
        auto& list = store.working().macros();
        for (std::u16string_view name : {u"a long macro name", u"another long name", u"and a third one"}) {
            list.push_back(testing::sampleMacro(list, name, 1, 6));
        }
        macros::MacroImageSizes sizes = macros::macroImageSizes(list);
        ASSERT_GT(sizes.withNames, 128u);
        ASSERT_LE(sizes.withoutNames, 128u);
    }
    ASSERT_EQ(apply(store, true), 1);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_PROFILE_SPACE_TIGHT"});
    AssignmentStore back;
    readBack(back);
    ASSERT_EQ(back.working().macros().size(), 3u);
    EXPECT_EQ(back.working().macros()[0].name(), u"Macro1");
    EXPECT_EQ(back.working().macros()[2].name(), u"Macro3");
    EXPECT_EQ(back.working().macros()[1].actions(), store.working().macros()[1].actions());

    // Far too many actions: refused before anything is sent.
    prompter.shown.clear();
    sim->clearReports();
    {
        auto lock = store.lockKeyData();
        store.working().macros().push_back(testing::sampleMacro(store.working().macros(), u"x", 1, 100));
    }
    EXPECT_EQ(apply(store, true), 0);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"EXTRA_MACRO_TOO_LONG"});
    EXPECT_EQ(sim->reportCount(), 0u);
}

TEST_F(SimRoundTrip, ReloadFromTheKeyboardGoesThroughTheCacheFile) {
    AssignmentStore store;
    testing::fillSampleStore(store);
    ASSERT_EQ(apply(store, true), 1);
    AssignmentStore fresh;
    bool ranHook = false;
    ASSERT_TRUE(reloadFromKeyboard(fresh, commands(), state, [&](const fs::path&) { ranHook = true; }));
    EXPECT_TRUE(ranHook);
    EXPECT_TRUE(fs::is_regular_file(cacheFilePath(0)));
    EXPECT_EQ(fresh.working().records()[0x1E].type, keyboard::ASSIGN_SINGLE_KEY);
    EXPECT_TRUE(saveCacheFile(fresh)) << "Apply can save the cache once it exists";

    sim->unplug();
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
    EXPECT_FALSE(reloadFromKeyboard(fresh, commands(), state));
    EXPECT_EQ(fresh.working().records()[0x1E].type, keyboard::ASSIGN_DEFAULT) << "the default store";
    sim->plug();
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
}

} // namespace
} // namespace tarvik::profiles
