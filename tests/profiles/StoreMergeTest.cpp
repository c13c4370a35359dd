#include "profiles/StoreMerge.h"

#include "profiles/KeyboardGuard.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tarvik::profiles {
namespace {

using keyboard::ASSIGN_LAUNCH;
using keyboard::ASSIGN_MACRO;
using keyboard::ASSIGN_SINGLE_KEY;
using keyboard::KeyAssignment;

constexpr size_t kA = 0x1E, kQ = 0x10, kS = 0x1F, kD = 0x20, kF = 0x21;
constexpr size_t kProfile1 = keyboard::kSlotsPerProfile;
constexpr size_t kGSlot = keyboard::kFirstGSlotLayer0;
constexpr size_t kProfile3 = 3 * keyboard::kSlotsPerProfile;

KeyAssignment single(uint32_t key) {
    return {ASSIGN_SINGLE_KEY, 0, key};
}
KeyAssignment macroKey(uint32_t id) {
    return {ASSIGN_MACRO, 1, id};
}

macros::MacroRecord macro(uint16_t id, size_t actions) {
    macros::MacroRecord m;
    m.setId(id);
    m.setCycles(1);
    m.setName(u"m" + std::u16string(1, static_cast<char16_t>(u'0' + actions)));
    m.setActions(std::vector<macros::MacroAction>(actions, macros::MacroAction{10, 0x1E, 0}));
    return m;
}

// Every side starts as this base: two macros (2 and 3 actions), S plays the second, F launches a program.
void baseContents(WorkingCopy& w) {
    w.macros() = {macro(1, 2), macro(2, 3)};
    w.setRecord(kS, macroKey(2));
    w.setRecord(kF, {ASSIGN_LAUNCH, 0, 0});
    w.attachText(kF, u"/usr/bin/a");
}

struct Case {
    const char* name;
    std::function<void(WorkingCopy&)> user;
    std::function<void(WorkingCopy&)> keyboard;
    std::vector<std::pair<size_t, KeyAssignment>> records; // expected afterwards
    size_t taken, kept;
    bool macrosTaken;
    std::vector<size_t> macroActions; // the merged set, by its macros' action counts
};

TEST(StoreMergeTest, UserEditsWinKeyboardChangesFillTheRest) {
    const auto none = [](WorkingCopy&) {};
    const Case cases[] = {
        {"user edit only",
         [](WorkingCopy& w) { w.setRecord(kA, single(0x30)); },
         none,
         {{kA, single(0x30)}, {kQ, {}}},
         0,
         0,
         false,
         {2, 3}},
        {"keyboard change only, in two profiles",
         none,
         [](WorkingCopy& w) {
             w.setRecord(kQ, single(0x2C));
             w.setRecord(kProfile1 + kQ, single(0x2D));
         },
         {{kQ, single(0x2C)}, {kProfile1 + kQ, single(0x2D)}},
         2,
         0,
         false,
         {2, 3}},
        {"both, on different keys",
         [](WorkingCopy& w) { w.setRecord(kA, single(0x30)); },
         [](WorkingCopy& w) { w.setRecord(kQ, single(0x2C)); },
         {{kA, single(0x30)}, {kQ, single(0x2C)}},
         1,
         0,
         false,
         {2, 3}},
        {"both, on the same key: the user's edit stays",
         [](WorkingCopy& w) { w.setRecord(kA, single(0x30)); },
         [](WorkingCopy& w) { w.setRecord(kA, single(0x2C)); },
         {{kA, single(0x30)}},
         0,
         1,
         false,
         {2, 3}},
        {"the user's new text is an edit, the keyboard's function change of that key is not taken",
         [](WorkingCopy& w) { w.attachText(kF, u"/usr/bin/b"); },
         [](WorkingCopy& w) {
             w.releaseText(kF);
             w.setRecord(kF, single(0x2C));
         },
         {{kF, {ASSIGN_LAUNCH, 0, 0}}},
         0,
         1,
         false,
         {2, 3}},
        {"G keys and profile 3 are not the keyboard's",
         none,
         [](WorkingCopy& w) {
             w.setRecord(kGSlot, single(0x2C));
             w.setRecord(kProfile3 + kA, single(0x2C));
         },
         {{kGSlot, KeyAssignment{0, keyboard::GKeyTagOfSlot(kGSlot), 0}}, {kProfile3 + kA, {}}},
         0,
         0,
         false,
         {2, 3}},
        // The keyboard numbers macros by position: a macro put first moves the others.
        {"macro area moved: every key keeps its macro",
         [](WorkingCopy& w) { w.setRecord(kA, macroKey(1)); },
         [](WorkingCopy& w) {
             w.macros() = {macro(1, 5), macro(2, 2), macro(3, 3)};
             w.setRecord(kS, macroKey(3));
             w.setRecord(kD, macroKey(1));
         },
         {{kA, macroKey(2)}, {kS, macroKey(3)}, {kD, macroKey(1)}},
         1,
         0,
         true,
         {5, 2, 3}},
        {"both changed the macros: the user's set, plus what a taken key needs",
         [](WorkingCopy& w) {
             w.macros().push_back(macro(3, 4));
             w.setRecord(kA, macroKey(3));
         },
         [](WorkingCopy& w) {
             w.macros() = {macro(1, 2), macro(2, 3), macro(3, 6)};
             w.setRecord(kD, macroKey(3));
         },
         {{kA, macroKey(3)}, {kD, macroKey(4)}, {kS, macroKey(2)}},
         1,
         0,
         false,
         {2, 3, 4, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorkingCopy base, user, now;
        for (WorkingCopy* w : {&base, &user, &now}) {
            newDefaultStore(*w);
            baseContents(*w);
        }
        c.user(user);
        c.keyboard(now);
        AppliedCopy applied;
        ASSERT_TRUE(fillAppliedCopy(applied, base));

        const MergeOutcome out = mergeKeyboardChanges(user, applied, now);
        for (const auto& [index, record] : c.records) {
            EXPECT_EQ(user.records()[index], record) << "record " << index;
        }
        EXPECT_EQ(out.keysTaken, c.taken);
        EXPECT_EQ(out.keysKept, c.kept);
        EXPECT_EQ(out.macrosTaken, c.macrosTaken);
        std::vector<size_t> actions;
        for (const auto& m : user.macros()) {
            actions.push_back(m.actionCount());
        }
        EXPECT_EQ(actions, c.macroActions);
    }
}

} // namespace
} // namespace tarvik::profiles
