#include "profiles/AssignmentStore.h"
#include "profiles/StoreMacros.h"

#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/LockCheckingPrompter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace tarvik::profiles {
namespace {

keyboard::KeyAssignment playMacro(uint32_t id) {
    keyboard::KeyAssignment r;
    r.type = keyboard::ASSIGN_MACRO;
    r.aux = 1;
    r.value = id;
    return r;
}

TEST(AssignmentStore, StartsAsTheDefaultStore) {
    AssignmentStore store;
    auto lock = store.lockKeyData();
    const WorkingCopy& w = store.working();
    EXPECT_TRUE(w.macros().empty());
    EXPECT_EQ(w.textSum(), 0u);
    EXPECT_EQ(w.records()[256].aux, 0x0301);
    EXPECT_EQ(w.records()[273].aux, 0x1309);
    EXPECT_EQ(w.records()[512 + 256].aux, 0) << "only profile 0 carries the tags";
    EXPECT_EQ(w.block().headerArea[0], 0x46);
    EXPECT_EQ(w.block().headerArea[31], 0x76);
}

TEST(AssignmentStore, TextsKeepTheirSizesAndSum) {
    AssignmentStore store;
    auto lock = store.lockKeyData();
    WorkingCopy& w = store.working();
    keyboard::KeyAssignment launch;
    launch.type = keyboard::ASSIGN_LAUNCH;
    ASSERT_GE(keyboard::AssignToSlot(w, 1, 0x1E, launch, u"/bin/sh"), 0);
    EXPECT_EQ(w.text(512 + 0x1E).size, 16u);
    w.attachText(7, std::u16string(u"ab\0cd", 5));
    EXPECT_EQ(w.text(7).text, u"ab") << "a text ends at its terminator";
    EXPECT_EQ(w.textSum(), 16u + 6u);
    // Assigning the slot again releases its text and takes its size off the sum.
    keyboard::KeyAssignment single;
    single.type = keyboard::ASSIGN_SINGLE_KEY;
    single.value = 0x30;
    ASSERT_GE(keyboard::AssignToSlot(w, 1, 0x1E, single), 0);
    EXPECT_EQ(w.text(512 + 0x1E).size, 0u);
    EXPECT_EQ(w.textSum(), 6u);
    w.release();
    EXPECT_EQ(w.textSum(), 0u);
    EXPECT_EQ(w.records()[256].aux, 0);
}

TEST(AssignmentStore, PackingSkipsTextsOfRecordsThatCarryNone) {
    AssignmentStore store;
    auto lock = store.lockKeyData();
    WorkingCopy& w = store.working();
    keyboard::KeyAssignment text;
    text.type = keyboard::ASSIGN_TEXT_BLOCK;
    w.setRecord(2000, text);
    w.attachText(2000, u"z");
    w.attachText(10, u"orphan"); // record 10 is type 0: not packed, the pool keeps its room
    std::vector<uint8_t> pool = packTexts(w);
    ASSERT_EQ(pool.size(), 4u + 14u);
    EXPECT_EQ(pool[0], 'z');
    EXPECT_EQ(w.records()[2000].value, 0u);
    EXPECT_EQ(w.records()[10].value, 0u);
    for (size_t i = 2; i < pool.size(); ++i) {
        EXPECT_EQ(pool[i], 0) << i;
    }
}

TEST(StoreMacros, ReconcileReplacesTheMacroSetAndResetsStaleKeys) {
    AssignmentStore store;
    macros::MacroSet list;
    list.push_back(macros::createMacroRecord(list, u"one")); // id 1
    list.push_back(macros::createMacroRecord(list, u"two")); // id 2
    list[0].setIsNew(0);
    {
        auto lock = store.lockKeyData();
        store.working().setRecord(1536 + 0x1E, playMacro(2)); // profile 3 is looked at too
        store.working().setRecord(0x1F, playMacro(1));
    }
    macros::ReconcileResult r = reconcileMacroReferences(store, list);
    EXPECT_TRUE(r.modified);
    EXPECT_EQ(r.resetRecords, std::vector<size_t>{1536 + 0x1E}) << "macro 2 is new: its id was taken again";
    macros::MacroSet now;
    {
        auto lock = store.lockKeyData();
        now = store.working().macros();
    }
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(now[1].isNew(), 0);
    EXPECT_EQ(macroPosition(store, 2), 1u);
    EXPECT_EQ(macroPosition(store, 5), 0u);

    // The check asks nothing under the lock; the question comes after, from the caller.
    testing::LockCheckingPrompter p(store);
    const MacroDeleteCheck first = isMacroInUse(store, now[0]);
    EXPECT_EQ(first, MacroDeleteCheck::AskFirst) << "key S plays macro 1";
    EXPECT_TRUE(p.recorder.asked.empty());
    EXPECT_FALSE(confirmMacroDelete(first, p)) << "the answer is No";
    p.recorder.answers.push_back(true);
    EXPECT_TRUE(confirmMacroDelete(first, p));
    EXPECT_EQ(p.recorder.asked,
              (std::vector<std::string>{"MACRO_DELETE_CONFIRM_OF_KEYS", "MACRO_DELETE_CONFIRM_OF_KEYS"}));
    EXPECT_EQ(p.recorder.defaults, (std::vector<bool>{false, false})) << "No preselected";
    EXPECT_EQ(isMacroInUse(store, now[1]), MacroDeleteCheck::MayDelete);
    EXPECT_TRUE(confirmMacroDelete(MacroDeleteCheck::MayDelete, p));
    EXPECT_EQ(p.recorder.asked.size(), 2u);
    EXPECT_TRUE(p.underLock.empty());

    // Held by another thread (a window handler), the lock is seen: the checking prompter itself works.
    std::promise<void> locked;
    std::promise<void> release;
    std::thread holder([&] {
        auto lock = store.lockKeyData();
        locked.set_value();
        release.get_future().wait();
    });
    locked.get_future().wait();
    p.show("X");
    release.set_value();
    holder.join();
    EXPECT_EQ(p.underLock, std::vector<std::string>{"X"});
}

TEST(StoreLocks, TheAppliedCopyLockIsTakenOnlyAfterTheKeyDataLock) {
    AssignmentStore store;
    std::atomic<bool> gotApplied{false};
    auto keyData = store.lockKeyData();
    std::thread other([&] {
        auto both = store.lockApplied();
        gotApplied = true;
    });
    // While this thread holds the key-data lock the other cannot reach the applied copy.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(gotApplied.load());
    keyData.unlock();
    other.join();
    EXPECT_TRUE(gotApplied.load());

    // Both locks are re-entrant on one thread.
    auto outer = store.lockApplied();
    auto inner = store.lockApplied();
    auto again = store.lockKeyData();
    EXPECT_TRUE(outer.applied.owns_lock() && inner.applied.owns_lock() && again.owns_lock());
}

} // namespace
} // namespace tarvik::profiles
