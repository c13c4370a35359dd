#include "keyboard/KeyAssignment.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace tarvik::keyboard {
namespace {

// Macro ids are list position + 1, as a key block read back stores them.
class PositionMacros : public MacroLookup {
public:
    int macroPosition(uint32_t id) const override {
        return id >= 1 && id <= 100 ? static_cast<int>(id - 1) : -1;
    }
    std::u16string macroName(uint32_t) const override { return {}; }
};

using Records = std::array<KeyAssignment, kSlotsPerProfile>;

Records resetRecords() {
    Records r;
    ResetProfileRecords(r);
    return r;
}

KeyAssignment record(uint16_t type, uint32_t value = 0) {
    KeyAssignment a;
    a.type = type;
    a.value = value;
    return a;
}

KeyEntry entryAt(const KeyBlock& block, size_t slot) {
    return {block[slot * 3], block[slot * 3 + 1], block[slot * 3 + 2]};
}

// The first slot of the built-in layout that holds a key.
size_t slotOf(KeyCode key) {
    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        if (KeyOfKeyEntry(DefaultLayout::builtIn().entry(s)) == key) {
            return s;
        }
    }
    ADD_FAILURE() << "no slot for key " << key;
    return 0;
}

const DefaultLayout& builtIn() {
    return DefaultLayout::builtIn();
}

TEST(KeyBlock, UnassignedRecordsGiveTheDefaultLayout) {
    const Records recs = resetRecords();
    EXPECT_EQ(BuildKeyBlock(recs, NoMacros{}, builtIn()), builtIn().bytes());
}

TEST(KeyBlock, AssignmentsLandInTheirKeysSlots) {
    Records recs = resetRecords();
    recs[0x1E] = record(ASSIGN_SINGLE_KEY, 0x03B); // A -> F1
    recs[0x0D] = record(ASSIGN_NO_FUNCTION);       // "=" sits in two slots
    recs[0x90] = record(ASSIGN_MEDIA, 1);          // previous-track slot -> play/pause
    recs[0] = record(ASSIGN_NO_FUNCTION);          // no slot decodes to key 0
    for (KeySlot g = 256; g < 274; ++g) {
        recs[g] = record(ASSIGN_NO_FUNCTION); // G keys never enter the block
    }
    const KeyBlock block = BuildKeyBlock(recs, NoMacros{}, builtIn());
    EXPECT_EQ(entryAt(block, slotOf(0x01E)), (KeyEntry{0x02, 0x02, 0x3A}));
    EXPECT_EQ(entryAt(block, 54), (KeyEntry{0, 0, 0}));
    EXPECT_EQ(entryAt(block, 105), (KeyEntry{0, 0, 0}));
    EXPECT_EQ(entryAt(block, 112), (KeyEntry{0x03, 0xCD, 0x00}));
    size_t changed = 0;
    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        changed += entryAt(block, s) != builtIn().entry(s);
    }
    EXPECT_EQ(changed, 4u);
}

TEST(KeyBlock, SlotsWithoutAKeyAreCopiedUnchanged) {
    Records recs;
    recs.fill(record(ASSIGN_NO_FUNCTION));
    const KeyBlock block = BuildKeyBlock(recs, NoMacros{}, builtIn());
    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        const KeyEntry def = builtIn().entry(s);
        if (KeyOfKeyEntry(def) == 0) {
            EXPECT_EQ(entryAt(block, s), def) << s; // 00 00 00, 05 00 00, 05 02 00
        } else {
            EXPECT_EQ(entryAt(block, s), (KeyEntry{0, 0, 0})) << s;
        }
    }
}

TEST(KeyBlock, ReadingBackTheDefaultLayoutRestoresTheTags) {
    Records recs;
    recs.fill(record(ASSIGN_MACRO, 9));
    ReadKeyBlock(builtIn().bytes(), recs, builtIn());
    EXPECT_EQ(recs, resetRecords());
}

TEST(KeyBlock, ReadsDeviceEntries) {
    const size_t a = slotOf(0x01E);
    struct Case {
        KeyEntry device;
        KeyAssignment expected;
    };
    const Case cases[] = {
        {{0x05, 0x01, 0x04}, record(ASSIGN_MACRO, 5)},
        {{0x05, 0x01, 0xFF}, record(ASSIGN_MACRO, 256)},
        {{0x05, 0x02, 0x07}, record(ASSIGN_STOP_MACRO)},
        {{0x05, 0x05, 0x03}, record(ASSIGN_FUNCTION_KEY, 3)},
        {{0x05, 0x00, 0x00}, record(ASSIGN_NO_FUNCTION)},
        {{0x03, 0xCD, 0x00}, record(ASSIGN_MEDIA, 1)},
        {{0x03, 0x34, 0x12}, record(ASSIGN_NO_FUNCTION)},
        {{0x02, 0x02, 0x3A}, record(ASSIGN_SINGLE_KEY, 0x03B)},
        {{0x02, 0x02, 0x48}, record(ASSIGN_SINGLE_KEY, 0x045)},
        {{0x02, 0x02, 0x00}, record(ASSIGN_NO_FUNCTION)},
        {{0x02, 0x02, 0xF0}, record(ASSIGN_NO_FUNCTION)},
        {{0x02, 0x01, 0x40}, record(ASSIGN_SINGLE_KEY, 0x138)},
        {{0x02, 0x01, 0x60}, record(ASSIGN_SINGLE_KEY, 0x036)},
        {{0x02, 0x01, 0x00}, record(ASSIGN_NO_FUNCTION)}, // no modifier bit: no key to give
        {{0x04, 0x81, 0x00}, record(ASSIGN_NO_FUNCTION)},
        {{0x00, 0x00, 0x00}, record(ASSIGN_NO_FUNCTION)},
    };
    for (const auto& c : cases) {
        KeyBlock block = builtIn().bytes();
        std::copy(c.device.begin(), c.device.end(), block.begin() + static_cast<long>(a * 3));
        Records recs;
        recs.fill(record(ASSIGN_MEDIA, 3));
        ReadKeyBlock(block, recs, builtIn());
        EXPECT_EQ(recs[0x1E], c.expected)
            << int(c.device[0]) << " " << int(c.device[1]) << " " << int(c.device[2]);
        Records expected = resetRecords();
        expected[0x1E] = c.expected;
        EXPECT_EQ(recs, expected); // every other record is reset
    }
}

TEST(KeyBlock, ReadIgnoresSlotsWithoutAKey) {
    KeyBlock block = builtIn().bytes();
    block[0] = 0x02; // slot 0 (05 00 00 by default) now claims a key
    block[1] = 0x02;
    block[2] = 0x04;
    Records recs;
    ReadKeyBlock(block, recs, builtIn());
    EXPECT_EQ(recs, resetRecords());
}

TEST(KeyBlock, UsesTheCurrentDefaultLayout) {
    KeyBlock custom{};
    custom[0] = 0x02; // slot 0 is the A key
    custom[1] = 0x02;
    custom[2] = 0x04;
    SetDefaultLayout(custom);
    Records recs = resetRecords();
    recs[0x1E] = record(ASSIGN_STOP_MACRO);
    const KeyBlock block = BuildKeyBlock(recs, NoMacros{});
    SetDefaultLayout(builtIn().bytes());
    EXPECT_EQ(entryAt(block, 0), (KeyEntry{0x05, 0x02, 0x00}));
    EXPECT_EQ(entryAt(block, 1), (KeyEntry{0, 0, 0}));
}

// Every assignment a key block can carry, in every slot of the built-in layout, survives building the
// block and reading it back. An entry equal to the slot's default reads back as unassigned.
TEST(KeyBlockConsistency, BuildThenReadKeepsEveryCarriableAssignment) {
    std::vector<KeyAssignment> carriable = {record(ASSIGN_NO_FUNCTION), record(ASSIGN_STOP_MACRO)};
    for (uint32_t id = 1; id <= 100; ++id) {
        carriable.push_back(record(ASSIGN_MACRO, id));
    }
    for (uint32_t i = 0; i < kMediaKeyCount; ++i) {
        carriable.push_back(record(ASSIGN_MEDIA, i));
    }
    for (uint32_t i = 0; i < kFunctionKeyCount; ++i) {
        carriable.push_back(record(ASSIGN_FUNCTION_KEY, i));
    }
    // Single keys: those the keyboard page names unambiguously, and the modifiers.
    size_t singleKeys = 0;
    for (size_t i = 1; i < KeyTable().size(); ++i) {
        const KeyCode k = KeyCodeFromIndex(static_cast<KeyIndex>(i));
        const HidUsage hid = KeyCodeToHidUsage(k);
        if (KeyTable()[i].named() && hid.page == kPageKeyboard &&
            HidUsageToKeyCode(hid.page, hid.usage) == k) {
            carriable.push_back(record(ASSIGN_SINGLE_KEY, k));
            ++singleKeys;
        }
    }
    EXPECT_GT(singleKeys, 104u);

    const PositionMacros macros;
    for (const KeyAssignment& a : carriable) {
        Records recs = resetRecords();
        for (size_t s = 0; s < 256; ++s) {
            recs[s] = a;
        }
        const KeyBlock block = BuildKeyBlock(recs, macros, builtIn());
        Records back;
        ReadKeyBlock(block, back, builtIn());
        for (size_t s = 0; s < kKeyBlockSlots; ++s) {
            const KeyEntry def = builtIn().entry(s);
            const KeyCode key = KeyOfKeyEntry(def);
            if (key == 0) {
                continue;
            }
            const KeyAssignment expected = EncodeKeyEntry(a, def, macros) == def ? KeyAssignment{} : a;
            ASSERT_EQ(back[KeyIndexFromCode(key)], expected)
                << "slot " << s << " type " << a.type << " value " << a.value;
        }
    }
}

} // namespace
} // namespace tarvik::keyboard
