#include "dialogs/ProfileStoreAccess.h"

#include "dialogs/KeyDialogModel.h"
#include "tests/dialogs/FakeKeyDialogStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <string>

namespace tarvik::dialogs {
namespace {

using keyboard::KeyAssignment;
using test::macroWithId;
using test::recordOf;

// Answers every question with Yes and notes whether another thread could take the key-data lock
// meanwhile: a question asked under the lock would leave the dialog's nested event loop free to enter
// the store again.
class LockProbePrompter final : public Prompter {
public:
    explicit LockProbePrompter(profiles::AssignmentStore& store) : mutex_(store.lockKeyData().mutex()) {}
    void show(std::string_view) override {}
    bool askYesNo(std::string_view key, bool) override {
        asked.emplace_back(key);
        // Another thread only tries, so a lock held here fails the test instead of hanging it.
        lockFreeWhileAsked = std::async(std::launch::async, [this] {
                                 const bool taken = mutex_->try_lock();
                                 if (taken) {
                                     mutex_->unlock();
                                 }
                                 return taken;
                             }).get();
        return true;
    }
    std::vector<std::string> asked;
    bool lockFreeWhileAsked = false;

private:
    std::recursive_mutex* mutex_;
};

class StoreAccess : public ::testing::Test {
protected:
    StoreAccess() : access(store, edits, [this] { return profile; }) {
        auto lock = store.lockKeyData();
        store.working().macros() = {macroWithId(1, u"One"), macroWithId(2, u"Two"), macroWithId(3, u"Three")};
        auto records = store.working().records();
        records[0x30] = recordOf(4, 3, 1);                                  // profile 0 plays macro 3
        records[2 * keyboard::kSlotsPerProfile + 0x1F] = recordOf(4, 2, 5); // profile 2 plays macro 2
        keyboard::AssignToSlot(store.working(), 1, 0x20, recordOf(3, 0), u"/usr/bin/true"); // a launch record
    }

    profiles::AssignmentStore store;
    unsigned profile = 1;
    profiles::EditHistory edits{store};
    ProfileStoreAccess access;
};

TEST_F(StoreAccess, ReadsTheCurrentProfile) {
    EXPECT_EQ(access.record(0x20).type, keyboard::ASSIGN_LAUNCH);
    profile = 2;
    EXPECT_EQ(access.record(0x1F), recordOf(4, 2, 5));
    profile = 7;
    EXPECT_EQ(access.record(0x1F), KeyAssignment{}) << "no such profile";
    EXPECT_EQ(access.macros().size(), 3u);
}

TEST_F(StoreAccess, TellsWhetherKeysPlayAMacroWithoutAsking) {
    EXPECT_TRUE(access.macroPlayedByKeys(macroWithId(2)));
    EXPECT_TRUE(access.macroPlayedByKeys(macroWithId(3)));
    EXPECT_FALSE(access.macroPlayedByKeys(macroWithId(1)));
    macros::MacroRecord fresh = macroWithId(3);
    fresh.setIsNew(1);
    EXPECT_FALSE(access.macroPlayedByKeys(fresh)) << "a new macro goes without a question";
}

TEST_F(StoreAccess, AssignReconcilesAndWritesOneRecord) {
    // Macro 3 deleted in the editor and its id taken by a new macro.
    macros::MacroRecord reused = macroWithId(3, u"New");
    reused.setIsNew(1);
    const AssignOutcome out =
        access.assign({macroWithId(1), macroWithId(2), reused}, 0x20, recordOf(2, 0x030));
    EXPECT_TRUE(out.written);
    EXPECT_EQ(out.recordIndex, 512 + 0x20);
    EXPECT_EQ(out.record, recordOf(2, 0x030));
    EXPECT_EQ(out.reconcile.resetRecords, std::vector<size_t>{0x30});

    auto lock = store.lockKeyData();
    const auto& w = store.working();
    EXPECT_EQ(w.records()[0x30].type, keyboard::ASSIGN_DEFAULT);
    EXPECT_EQ(w.text(512 + 0x20).size, 0u) << "the launch text went with its record";
    ASSERT_EQ(w.macros().size(), 3u);
    EXPECT_EQ(w.macros()[2].isNew(), 0);
}

TEST_F(StoreAccess, AssignWithoutARecordLeavesTheSlotAndItsText) {
    const AssignOutcome out = access.assign(access.macros(), 0x20, std::nullopt);
    EXPECT_FALSE(out.written);
    EXPECT_EQ(out.record.type, keyboard::ASSIGN_LAUNCH);
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().text(512 + 0x20).text, u"/usr/bin/true");
}

TEST_F(StoreAccess, TheDeleteQuestionIsAskedWithTheLockReleased) {
    LockProbePrompter prompter(store);
    std::filesystem::path dir = std::filesystem::path(std::getenv("HOME")) / "dialogs" / "lock-probe";
    std::filesystem::create_directories(dir);
    profiles::SettingsStore settings(dir / "tarvik.ini");
    KeyDialogModel model(access, prompter, settings);
    profile = 0;
    model.open(OpenRequest{0x30, 1078, false});
    ASSERT_EQ(model.panel().selected(), 2) << "the record plays macro 3";
    EXPECT_TRUE(model.panel().deleteMacro());
    EXPECT_EQ(prompter.asked, std::vector<std::string>{"MACRO_DELETE_CONFIRM_OF_KEYS"});
    EXPECT_TRUE(prompter.lockFreeWhileAsked);

    model.apply();
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().macros().size(), 2u);
    EXPECT_EQ(store.working().records()[0x30].value, 2u) << "the macro shown after the delete";
}

} // namespace
} // namespace tarvik::dialogs
