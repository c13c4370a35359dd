#include "macros/MacroReferences.h"

#include "tests/macros/RecordingPrompter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::macros {
namespace {

using keyboard::KeyAssignment;

MacroRecord withId(uint16_t id, uint16_t isNew = 0) {
    MacroRecord m;
    m.setId(id);
    m.setIsNew(isNew);
    return m;
}

KeyAssignment playMacro(uint32_t id) {
    KeyAssignment r;
    r.type = keyboard::ASSIGN_MACRO;
    r.aux = 1;
    r.value = id;
    return r;
}

TEST(MacroReferences, DeleteAsksOnlyWhenAKeyPlaysTheMacro) {
    std::vector<KeyAssignment> records(2048);
    records[1500] = playMacro(3); // a key of profile 2
    KeyAssignment single;
    single.type = keyboard::ASSIGN_SINGLE_KEY;
    single.value = 4; // same number, other type
    records[10] = single;

    testing::RecordingPrompter p;
    EXPECT_TRUE(isMacroInUse(withId(4), records, p));
    EXPECT_TRUE(p.asked.empty());
    EXPECT_TRUE(isMacroInUse(withId(3, 1), records, p)) << "a new macro goes without asking";
    EXPECT_TRUE(p.asked.empty());

    EXPECT_FALSE(isMacroInUse(withId(3), records, p)) << "No keeps it";
    p.answers.push_back(true);
    EXPECT_TRUE(isMacroInUse(withId(3), records, p));
    ASSERT_EQ(p.asked.size(), 2u);
    EXPECT_EQ(p.asked[0], "MACRO_DELETE_CONFIRM_OF_KEYS");
    EXPECT_FALSE(p.defaults[0]) << "No is preselected";
}

TEST(MacroReferences, ReconcileResetsKeysOfMissingOrReusedIds) {
    std::vector<KeyAssignment> records(2048);
    records[0x1E] = playMacro(1);        // kept
    records[0x30] = playMacro(3);        // id 3 was deleted and taken again by a new macro
    records[512 + 0x30] = playMacro(3);  // the same in profile 1
    records[1024 + 0x1F] = playMacro(7); // missing
    records[0x20] = playMacro(0);        // no macro yet: gets the first one's id

    // Editor list: macro 1 kept, macro 3 deleted, a new macro created with id 3.
    MacroSet list{withId(2), withId(1), withId(3, 1)};
    ReconcileResult r = reconcileMacroReferences(list, records);
    EXPECT_TRUE(r.modified);
    EXPECT_EQ(records[0x1E].type, keyboard::ASSIGN_MACRO);
    EXPECT_EQ(records[0x30].type, keyboard::ASSIGN_DEFAULT);
    EXPECT_EQ(records[512 + 0x30].type, keyboard::ASSIGN_DEFAULT);
    EXPECT_EQ(records[1024 + 0x1F].type, keyboard::ASSIGN_DEFAULT);
    EXPECT_EQ(records[0x20].type, keyboard::ASSIGN_MACRO);
    EXPECT_EQ(records[0x20].value, 2u);
    EXPECT_EQ(r.resetRecords, (std::vector<size_t>{0x30, 512 + 0x30, 1024 + 0x1F}));
    for (const auto& m : list) {
        EXPECT_EQ(m.isNew(), 0);
    }
}

TEST(MacroReferences, ReconcileWithNothingToFixChangesNothing) {
    std::vector<KeyAssignment> records(2048);
    records[5] = playMacro(0); // stays 0 with an empty list
    records[6] = playMacro(0);
    MacroSet empty;
    ReconcileResult r = reconcileMacroReferences(empty, records);
    EXPECT_FALSE(r.modified);
    EXPECT_EQ(records[5].value, 0u);
    EXPECT_EQ(records[5].type, keyboard::ASSIGN_MACRO);
}

} // namespace
} // namespace tarvik::macros
