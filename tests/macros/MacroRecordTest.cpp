#include "macros/MacroRecord.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::macros {
namespace {

TEST(MacroRecord, FieldsLandAtTheirOffsetsLittleEndian) {
    MacroRecord r;
    r.setName(u"Ab");
    r.setCycles(7);
    r.setIsNew(1);
    r.setId(0x0102);
    r.setActions(std::vector<MacroAction>{{0x11223344, 0x01E, kPress}, {5, 0x138, kRelease}});
    auto b = r.bytes();
    EXPECT_EQ(b.size(), 16512u);
    EXPECT_EQ(b[0], 'A');
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[2], 'b');
    EXPECT_EQ(b[4], 0); // terminator
    EXPECT_EQ(b[500], 7);
    EXPECT_EQ(b[502], 1);
    EXPECT_EQ(b[506], 0x02);
    EXPECT_EQ(b[507], 0x01);
    EXPECT_EQ(b[508], 2);
    EXPECT_EQ(b[509], 0);
    const std::vector<uint8_t> action0{0x44, 0x33, 0x22, 0x11, 0x1E, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 512, b.begin() + 520), action0);
    const std::vector<uint8_t> action1{0x05, 0, 0, 0, 0x38, 0x01, 0x01, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 520, b.begin() + 528), action1);
    // Nothing after the actions.
    for (size_t i = 528; i < b.size(); ++i) {
        ASSERT_EQ(b[i], 0) << i;
    }
    EXPECT_EQ(MacroRecord::fromBytes(b), r);
}

TEST(MacroRecord, NameKeepsAtMost249UnitsEvenWithoutTerminator) {
    MacroRecord r;
    r.setName(std::u16string(300, u'x'));
    EXPECT_EQ(r.nameLength(), 249u);
    EXPECT_EQ(r.bytes()[498], 0); // unit 249 stays the terminator
    EXPECT_EQ(r.bytes()[499], 0);

    // A file can fill all 250 units; the name still stops at 249.
    std::array<uint8_t, kMacroRecordSize> raw{};
    for (size_t i = 0; i < 500; i += 2) {
        raw[i] = 'y';
    }
    MacroRecord fromFile = MacroRecord::fromBytes(raw);
    EXPECT_EQ(fromFile.name(), std::u16string(249, u'y'));

    r.setName(std::u16string(u"ab\0cd", 5));
    EXPECT_EQ(r.name(), u"ab");
    EXPECT_EQ(r.bytes()[6], 0); // 'c' not stored after the cut
}

TEST(MacroRecord, StoredActionCountAbove2000IsClippedForUse) {
    std::array<uint8_t, kMacroRecordSize> raw{};
    raw[508] = 0xFF;
    raw[509] = 0xFF;
    MacroRecord r = MacroRecord::fromBytes(raw);
    EXPECT_EQ(r.storedActionCount(), 0xFFFF);
    EXPECT_EQ(r.actionCount(), 2000u);
    EXPECT_EQ(r.actions().size(), 2000u);

    std::vector<MacroAction> many(2500, MacroAction{10, 0x1E, kPress});
    r.setActions(many);
    EXPECT_EQ(r.storedActionCount(), 2000);
}

TEST(MacroRecord, CreateTakesLowestFreeIdAndMarksNew) {
    MacroSet list;
    for (int i = 0; i < 5; ++i) {
        list.push_back(createMacroRecord(list, u"m"));
    }
    EXPECT_EQ(list[4].id(), 5);
    // Delete id 3 in the editor, then create: the freed id comes back, as a new macro.
    list.erase(list.begin() + 2);
    MacroRecord again = createMacroRecord(list, u"Macro6");
    EXPECT_EQ(again.id(), 3);
    EXPECT_EQ(again.isNew(), 1);
    EXPECT_EQ(again.cycles(), 1);
    EXPECT_EQ(again.actionCount(), 0u);
    EXPECT_EQ(again.name(), u"Macro6");
    EXPECT_EQ(again.reserved504(), 0);
}

TEST(MacroRecord, NoFreeIdLeavesZero) {
    MacroSet list;
    for (uint16_t id = 1; id <= 100; ++id) {
        MacroRecord m;
        m.setId(id);
        list.push_back(m);
    }
    EXPECT_EQ(createMacroRecord(list, u"x").id(), 0);
    // Ids outside 1-100 do not block anything.
    list.resize(3);
    list[0].setId(0);
    list[1].setId(250);
    EXPECT_EQ(lowestFreeId(list), 1);
}

TEST(MacroRecord, PositionOfIdIsFirstMatchOrZero) {
    MacroSet list(3);
    list[0].setId(4);
    list[1].setId(9);
    list[2].setId(9);
    EXPECT_EQ(macroPosition(list, 9), 1u);
    EXPECT_EQ(macroPosition(list, 4), 0u);
    EXPECT_EQ(macroPosition(list, 7), 0u);
}

} // namespace
} // namespace tarvik::macros
