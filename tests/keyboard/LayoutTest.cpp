#include "keyboard/Layout.h"
#include "keyboard/KeyAssignment.h"
#include "keyboard/KeyButtonClick.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace tarvik::keyboard {
namespace {

TEST(Layout, SkinNames) {
    struct Case {
        int id;
        const char* name;
    };
    const Case cases[] = {
        {1104, "KEY_0C5"}, {1058, "KEY_01E"}, {1089, "KEY_09D"}, {1091, "KEY_0B7"},
        {1111, "KEY_04E"}, {1000, "FUNC_G1"}, {1002, "FUNC_G3"}, {1143, "FUNC_G9"},
        {1174, ""},        {1007, ""},        {0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SkinNameOfButton(c.id), c.name) << c.id;
    }
}

TEST(Layout, ButtonsSlotsAndTags) {
    EXPECT_EQ(GButtonNumber(1002), 3);
    EXPECT_EQ(SlotOfButton(1002, 0), 258);
    EXPECT_EQ(SlotOfButton(1002, 1), 267);
    EXPECT_EQ(GKeyTagOfSlot(258), 0x0303);
    EXPECT_EQ(GKeyTagOfSlot(267), 0x1303);
    EXPECT_EQ(SlotOfButton(1140, 0), 261); // G6 has an id of its own range
    EXPECT_EQ(SlotOfButton(1143, 1), 273);
    EXPECT_EQ(SlotOfButton(1058, 1), 0x1E); // key buttons ignore the layer
    EXPECT_EQ(SlotOfButton(1104, 0), 0xC5);
    EXPECT_EQ(SlotOfButton(1174, 0), -1); // Fn takes no assignment
    EXPECT_EQ(SlotOfButton(1, 0), -1);

    struct TagCase {
        KeySlot slot;
        GKeyTag tag;
    };
    const TagCase tags[] = {{0, 0},        {255, 0},      {256, 0x0301}, {264, 0x0309},
                            {265, 0x1301}, {273, 0x1309}, {274, 0},      {511, 0}};
    for (const auto& c : tags) {
        EXPECT_EQ(GKeyTagOfSlot(c.slot), c.tag) << c.slot;
    }

    EXPECT_EQ(KeyButtonPosition(1058), 0);
    EXPECT_EQ(KeyButtonPosition(1111), 103);
    EXPECT_EQ(KeyButtonPosition(1000), -1);
    EXPECT_EQ(GButtonNumber(1058), 0);
    EXPECT_EQ(LedPositionOfButton(1058), 64);
    EXPECT_EQ(LedPositionOfButton(1022), 0); // Esc sits at the matrix origin
    EXPECT_EQ(LedPositionOfButton(1004), 125);
    EXPECT_EQ(LedPositionOfButton(1174), 110);
    EXPECT_EQ(LedPositionOfButton(4242), 0);
    EXPECT_EQ(ColourKeyFlagRecord(1058, 0), 0);
    EXPECT_EQ(ColourKeyFlagRecord(1000, 0), 0);
    EXPECT_EQ(ColourKeyFlagRecord(1000, 1), 9);
    EXPECT_EQ(ColourKeyFlagRecord(1143, 1), 17);
    EXPECT_EQ(ColourKeyFlagRecord(1174, 0), -1);
}

TEST(Layout, ClickDecisions) {
    using K = ClickActionKind;
    const ClickState normal{};
    const ClickState userLighting{true, false, 0};
    const ClickState colourKeys{false, true, 0};
    const ClickState colourKeysLayer1{false, true, 1};
    const ClickState layer1{false, false, 1};
    const ClickState both{true, true, 0};
    struct Case {
        int id;
        ClickState state;
        ClickAction expected;
        const char* what;
    };
    const Case cases[] = {
        {1143, normal, {K::OpenDialog, 1143, 0, 264, -1, true}, "G9 opens locked to macros"},
        {1142, normal, {K::OpenDialog, 1142, 0, 263, -1, false}, "G8 does not"},
        {1007, normal, {K::OpenDialog, 1143, 0, 264, -1, true}, "macro-edit button acts as G9"},
        {1007, layer1, {K::OpenDialog, 1143, 0, 273, -1, true}, "macro-edit button in layer 1"},
        {1002, layer1, {K::OpenDialog, 1002, 0, 267, -1, false}, "G3 in layer 1"},
        {1058, normal, {K::OpenDialog, 1058, 0, 0x1E, -1, false}, "A"},
        {1058, userLighting, {K::PaintKey, 1058, 64, -1, -1, false}, "A paints in user lighting"},
        {1174, userLighting, {K::PaintKey, 1174, 110, -1, -1, false}, "Fn paints in user lighting"},
        {1174, normal, {K::Nothing, 1174, 0, -1, -1, false}, "Fn does nothing otherwise"},
        {1174, colourKeys, {K::Nothing, 1174, 0, -1, -1, false}, "Fn has no colour-keys flag"},
        {1000, userLighting, {K::OpenDialog, 1000, 0, 256, -1, false}, "G keys never paint"},
        {1058, colourKeys, {K::ToggleColourFlag, 1058, 0, 0x1E, 0, false}, "A toggles record 0"},
        {1000, colourKeys, {K::ToggleColourFlag, 1000, 0, 256, 0, false}, "G1 layer 0 toggles record 0"},
        {1000, colourKeysLayer1, {K::ToggleColourFlag, 1000, 0, 265, 9, false}, "G1 layer 1: record 9"},
        {1143, colourKeys, {K::ToggleColourFlag, 1143, 0, 264, 8, false}, "G9 toggles, no dialog"},
        {1058, both, {K::PaintKey, 1058, 64, -1, -1, false}, "painting comes first"},
        {1234, normal, {K::Nothing, 1234, 0, -1, -1, false}, "other control"},
        {1234, userLighting, {K::Nothing, 1234, 0, -1, -1, false}, "other control, user lighting"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OnKeyButtonClicked(c.id, c.state), c.expected) << c.what;
    }
    EXPECT_EQ(ToggledColourFlag(0), 1u);
    EXPECT_EQ(ToggledColourFlag(1), 0u);
    EXPECT_EQ(ToggledColourFlag(0x80000000u), 0u);
}

TEST(DefaultLayoutTable, BuiltInSlotsDecodeToTheirKeys) {
    const DefaultLayout& layout = DefaultLayout::builtIn();
    EXPECT_EQ(layout.entry(112), (KeyEntry{0x03, 0xB6, 0x00}));
    EXPECT_EQ(KeyOfKeyEntry(layout.entry(112)), 0x110);
    // Two slots of the built-in layout give "=".
    EXPECT_EQ(KeyOfKeyEntry(layout.entry(54)), 0x00D);
    EXPECT_EQ(KeyOfKeyEntry(layout.entry(105)), 0x00D);
    EXPECT_EQ(KeyOfKeyEntry(layout.entry(0)), 0);      // 05 00 00
    EXPECT_EQ(KeyOfKeyEntry(layout.entry(53)), 0);     // 05 02 00
    EXPECT_EQ(KeyOfKeyEntry(layout.entry(12)), 0x02A); // 02 01 02
    EXPECT_EQ(layout.entry(126), (KeyEntry{0, 0, 0}));
    EXPECT_EQ(layout.entry(100000), (KeyEntry{0, 0, 0}));
}

TEST(DefaultLayoutTable, ReplacedAsAWhole) {
    KeyBlock bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    SetDefaultLayout(bytes);
    EXPECT_EQ(DefaultLayoutEntry(1), (KeyEntry{3, 4, 5}));
    EXPECT_EQ(CurrentDefaultLayout().bytes(), bytes);
    SetDefaultLayout(DefaultLayout::builtIn().bytes());
    EXPECT_EQ(CurrentDefaultLayout(), DefaultLayout::builtIn());
    EXPECT_EQ(DefaultLayoutEntry(112), (KeyEntry{0x03, 0xB6, 0x00}));
}

// Consistency over the whole layout.

TEST(LayoutConsistency, EveryKeyButtonHasANamedKeyWithADeviceCode) {
    for (const KeyButton& b : KeyButtons()) {
        const KeyRow& row = KeyRowOf(b.key);
        EXPECT_FALSE(row.name.empty()) << b.controlId;
        EXPECT_NE(KeyCodeToHidUsage(b.key).page, 0) << b.controlId;
        EXPECT_EQ(KeyCodeToHidUsage(b.key).page, kPageKeyboard) << b.controlId;
    }
}

TEST(LayoutConsistency, NamesPositionsIdsAndSlotsAreUnique) {
    std::set<std::string> skinNames;
    std::set<int> leds;
    std::set<int> ids;
    std::set<int> slots;
    for (const KeyButton& b : KeyButtons()) {
        EXPECT_TRUE(skinNames.insert(SkinNameOfButton(b.controlId)).second) << b.controlId;
        EXPECT_TRUE(leds.insert(b.ledPosition).second) << b.controlId;
        EXPECT_TRUE(ids.insert(b.controlId).second) << b.controlId;
        EXPECT_TRUE(slots.insert(SlotOfButton(b.controlId, 0)).second) << b.controlId;
        EXPECT_LT(b.ledPosition, kLedPositionCount);
        EXPECT_NE(b.ledPosition, kGKeyLedPosition);
        EXPECT_NE(b.ledPosition, kFnLedPosition);
    }
    EXPECT_EQ(skinNames.size(), 104u);
    for (size_t n = 0; n < GButtons().size(); ++n) {
        const GButton& g = GButtons()[n];
        EXPECT_TRUE(ids.insert(g.controlId).second) << g.controlId;
        EXPECT_TRUE(skinNames.insert(SkinNameOfButton(g.controlId)).second) << g.controlId;
        EXPECT_EQ(g.slotLayer0, kFirstGSlotLayer0 + n);
        EXPECT_EQ(g.slotLayer1, kFirstGSlotLayer1 + n);
        EXPECT_EQ(GKeyTagOfSlot(g.slotLayer0), 0x0301 + n);
        EXPECT_EQ(GKeyTagOfSlot(g.slotLayer1), 0x1301 + n);
    }
    EXPECT_TRUE(ids.insert(kFnButtonId).second);
    EXPECT_TRUE(ids.insert(kMacroEditButtonId).second);
}

// The slots of the built-in key block belong to keys that have a button (not every button has a slot).
TEST(LayoutConsistency, BuiltInKeyBlockSlotsBelongToKeyButtons) {
    std::set<KeyCode> buttonKeys;
    for (const KeyButton& b : KeyButtons()) {
        buttonKeys.insert(b.key);
    }
    size_t withKey = 0;
    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        const KeyEntry entry = DefaultLayout::builtIn().entry(s);
        const KeyCode key = KeyOfKeyEntry(entry);
        if (key == 0) {
            EXPECT_TRUE(entry == (KeyEntry{0, 0, 0}) || entry[0] == 0x05) << s;
            continue;
        }
        ++withKey;
        EXPECT_TRUE(buttonKeys.count(key) || key == 0x110) << s;
    }
    EXPECT_EQ(withKey, 94u);
}

} // namespace
} // namespace tarvik::keyboard
