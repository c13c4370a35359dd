#include "profiles/EditHistory.h"

#include "profiles/KeyboardGuard.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tarvik::profiles {
namespace {

using keyboard::KeyAssignment;

constexpr size_t kA = 0x1E, kB = 0x30, kQ = 0x10;
constexpr size_t kG1 = keyboard::kFirstGSlotLayer0;
constexpr size_t kProfile2 = 2 * keyboard::kSlotsPerProfile;

KeyAssignment single(uint32_t key) {
    return {keyboard::ASSIGN_SINGLE_KEY, 0, key};
}

macros::MacroRecord macro(uint16_t id, size_t actions) {
    macros::MacroRecord m;
    m.setId(id);
    m.setCycles(1);
    m.setActions(std::vector<macros::MacroAction>(actions, macros::MacroAction{10, 0x1E, 0}));
    return m;
}

struct Contents {
    std::vector<KeyAssignment> records;
    std::vector<std::u16string> texts;
    macros::MacroSet macros;
    friend bool operator==(const Contents&, const Contents&) = default;
};

Contents contentsOf(AssignmentStore& store) {
    auto lock = store.lockKeyData();
    const WorkingSnapshot s = WorkingSnapshot::of(store.working());
    Contents c{s.records, {}, s.macros};
    for (const TextSlot& t : s.texts) {
        c.texts.push_back(t.text);
    }
    return c;
}

// What the keyboard was given last: the applied copy becomes the working copy.
void applyNow(AssignmentStore& store) {
    auto lock = store.lockApplied();
    ASSERT_TRUE(fillAppliedCopy(store.applied(), store.working()));
    store.fingerprint().recordRead(KeyboardAreas{}, 8192);
}

class EditHistoryTest : public ::testing::Test {
protected:
    EditHistoryTest() {
        auto lock = store.lockKeyData();
        store.working().macros() = {macro(1, 2)};
        store.working().setRecord(kQ, {keyboard::ASSIGN_LAUNCH, 0, 0});
        store.working().attachText(kQ, u"/usr/bin/a");
        applyNow(store);
    }
    AssignmentStore store;
    EditHistory history{store};
};

struct EditCase {
    const char* name;
    std::function<void(WorkingCopy&)> edit;
};

// Each kind of edit is one step: undo gives back exactly what was there and disables Apply, redo gives
// the edit back and enables it again.
TEST_F(EditHistoryTest, EveryKindOfEditUndoesAndRedoesAsOneStep) {
    const EditCase cases[] = {
        {"a key's assignment", [](WorkingCopy& w) { w.setRecord(kA, single(0x05)); }},
        {"a G key in another profile", [](WorkingCopy& w) { w.setRecord(kProfile2 + kG1, single(0x06)); }},
        {"a launch text replaced", [](WorkingCopy& w) { w.attachText(kQ, u"/usr/bin/b"); }},
        {"a text released",
         [](WorkingCopy& w) {
             w.releaseText(kQ);
             w.setRecord(kQ, {});
         }},
        {"a macro and the key that plays it",
         [](WorkingCopy& w) {
             w.macros().push_back(macro(2, 3));
             w.setRecord(kB, {keyboard::ASSIGN_MACRO, 1, 2});
         }},
        {"a colour-keys flag", [](WorkingCopy& w) { w.block().records[kA].flag ^= 1; }},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Contents before = contentsOf(store);
        ASSERT_TRUE(history.edit(c.edit));
        const Contents after = contentsOf(store);
        ASSERT_NE(after, before);
        EXPECT_TRUE(history.differsFromApplied());

        EXPECT_TRUE(history.undo());
        EXPECT_EQ(contentsOf(store), before);
        EXPECT_FALSE(history.differsFromApplied());
        EXPECT_FALSE(history.canUndo());

        EXPECT_TRUE(history.redo());
        EXPECT_EQ(contentsOf(store), after);
        EXPECT_TRUE(history.differsFromApplied());

        ASSERT_TRUE(history.undo());
        history.clear();
    }
}

TEST_F(EditHistoryTest, AnEditThatChangesNothingIsNoStepAndANewEditDropsTheRedoSteps) {
    EXPECT_FALSE(history.edit([](WorkingCopy& w) { w.setRecord(kA, w.records()[kA]); }));
    EXPECT_TRUE(history.empty());
    history.edit([](WorkingCopy& w) { w.setRecord(kA, single(0x05)); });
    history.undo();
    history.edit([](WorkingCopy& w) { w.setRecord(kB, single(0x07)); });
    EXPECT_FALSE(history.redo());
}

// Undo after Apply makes the key differ from the keyboard again, and redo makes it the same.
TEST_F(EditHistoryTest, TheHistoryOutlivesApply) {
    history.edit([](WorkingCopy& w) { w.setRecord(kA, single(0x05)); });
    applyNow(store);
    EXPECT_FALSE(history.differsFromApplied());
    history.undo();
    EXPECT_TRUE(history.differsFromApplied());
    history.redo();
    EXPECT_FALSE(history.differsFromApplied());
}

// Without a keyboard read the applied copy says nothing: Apply follows the steps left to undo.
TEST(EditHistoryWithoutKeyboard, ApplyIsEnabledWhileThereAreStepsToUndo) {
    AssignmentStore store;
    EditHistory history{store};
    history.edit([](WorkingCopy& w) { w.setRecord(kA, single(0x05)); });
    EXPECT_TRUE(history.differsFromApplied());
    history.undo();
    EXPECT_FALSE(history.differsFromApplied());
}

// Another program's change merged in after the user's edit is never taken back by undo or redo.
TEST_F(EditHistoryTest, UndoLeavesOtherProgramsChangesAlone) {
    history.edit([](WorkingCopy& w) {
        w.setRecord(kA, single(0x05));
        w.macros().push_back(macro(2, 3));
    });
    {
        // The merge: a key the user did not touch, the key the user did, and the macro list.
        auto lock = store.lockKeyData();
        store.working().setRecord(kB, single(0x0B));
        store.working().setRecord(kA, single(0x0C));
        store.working().macros().push_back(macro(3, 1));
    }
    const Contents merged = contentsOf(store);
    EXPECT_TRUE(history.undo());
    EXPECT_EQ(contentsOf(store), merged);
    EXPECT_TRUE(history.redo());
    EXPECT_EQ(contentsOf(store), merged);
}

} // namespace
} // namespace tarvik::profiles
