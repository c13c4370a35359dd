#include "keyboard/KeyTable.h"

#include "keyboard/UiTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace tarvik::keyboard {
namespace {

std::string hex(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%03X", v);
    return buf;
}

TEST(KeyTable, FoldsCodesOntoIndexesBothWays) {
    struct Case {
        KeyCode code;
        KeyIndex index;
    };
    const Case cases[] = {{0x000, 0x00}, {0x045, 0x45}, {0x07F, 0x7F}, {0x100, 0x80},
                          {0x145, 0xC5}, {0x11D, 0x9D}, {0x17F, 0xFF}};
    for (const auto& c : cases) {
        EXPECT_EQ(KeyIndexFromCode(c.code), c.index) << hex(c.code);
        EXPECT_EQ(KeyCodeFromIndex(c.index), c.code) << hex(c.code);
    }
    for (unsigned i = 0; i < 256; ++i) {
        EXPECT_EQ(KeyIndexFromCode(KeyCodeFromIndex(static_cast<KeyIndex>(i))), i);
    }
}

TEST(KeyTable, NamesOfKeys) {
    struct Case {
        KeyCode code;
        std::u16string name;
    };
    const Case cases[] = {
        {0x145, u"Num Lock"},    {0x045, u"Pause"},       {0x146, u"Break"},     {0x03B, u"F1"},
        {0x148, u"↑"},           {0x14B, u"←"},           {0x02B, u"\\"},        {0x028, u"'"},
        {0x036, u"Right Shift"}, {0x136, u"Right Shift"}, {0x11C, u"Num Enter"}, {0x17E, u"Calendar"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyName(c.code), c.name) << hex(c.code);
    }
}

TEST(KeyTable, KeysWithoutRowGetTheUnknownKeyTextWithTheirCode) {
    EXPECT_EQ(KeyName(0x155), u"Unknown Key: 155"); // the code, not the index 0xD5
    const std::u16string format = detail::uiText("UNKNOWN_KEY");
    EXPECT_EQ(KeyName(0x155), detail::formatNumber(format, 0x155));
    EXPECT_EQ(KeyName(0x000), detail::formatNumber(format, 0));
    // Beyond the last key the fold would land on the row of "D" (0x020).
    EXPECT_EQ(KeyName(0x1A0), detail::formatNumber(format, 0x1A0));
    EXPECT_EQ(ListCodeFromKeyCode(0x1A0), kNoListCode);
    EXPECT_EQ(KeyCodeToHidUsage(0x1A0), (HidUsage{0, 0}));
}

TEST(KeyTable, UnknownKeyFormatIsFilledSafely) {
    struct Case {
        std::u16string format;
        unsigned value;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"Unknown Key: %03x", 0x155, u"Unknown Key: 155"},
        {u"Unknown Key: %03x", 0x1, u"Unknown Key: 001"},
        {u"%X!", 0xAB, u"AB!"},
        {u"%-4d|", 7, u"7   |"},
        {u"100%% %x", 0x1F, u"100% 1f"},
        // Only the first conversion is filled; what printf would read from nowhere stays text.
        {u"%x %x %s %n", 0x10, u"10 %x %s %n"},
        {u"%s", 5, u"%s"},
        {u"trailing %", 5, u"trailing %"},
        {u"%99999999999d", 3, std::u16string(63, u' ') + u"3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detail::formatNumber(c.format, c.value), c.expected);
    }
}

TEST(KeyTable, NameIsCutToTheCapacity) {
    EXPECT_EQ(KeyName(0x137, 6), u"Print");
    EXPECT_EQ(KeyName(0x137, 1), u"");
    EXPECT_EQ(KeyName(0x137, 0), u"");
    EXPECT_EQ(KeyName(0x137, 13), u"Print Screen");
}

TEST(KeyTable, ListCodes) {
    EXPECT_EQ(KeyCodeFromListCode(0x67), 0x036); // the lower of the two "Right Shift" rows
    EXPECT_EQ(ListCodeFromKeyCode(0x136), 0x67);
    EXPECT_EQ(KeyNameFromListCode(0x67), u"Right Shift");
    EXPECT_EQ(KeyCodeFromListCode(0x00), 0x01E);
    EXPECT_EQ(KeyCodeFromListCode(0x8030), 0x064);
    EXPECT_EQ(KeyCodeFromListCode(0x1234), 0);
    EXPECT_EQ(KeyCodeFromListCode(kNoListCode), 0); // unnamed rows carry 0xFFFF but are no key
    EXPECT_EQ(KeyNameFromListCode(0x1234), u"");
    EXPECT_EQ(ListCodeFromKeyCode(0x155), kNoListCode);
}

TEST(KeyTable, HidUsageToKey) {
    struct Case {
        uint16_t page;
        uint16_t usage;
        KeyCode key;
    };
    const Case cases[] = {
        {0x07, 0x48, 0x045},                        // Pause, not Break
        {0x07, 0x04, 0x01E},   {0x07, 0xE5, 0x036}, // the lower "Right Shift" row
        {0x07, 0x00, 0},       {0x07, 0x148, 0},    // no device code above one byte
        {0x0C, 0x00CD, 0x122}, {0x0C, 0x00B6, 0x110}, {0x0C, 0x1234, 0}, {0x01, 0x81, 0x15E},
        {0x01, 0x83, 0x163},   {0x01, 0x84, 0},       {0x01, 0x04, 0},   {0x09, 0x01, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HidUsageToKeyCode(c.page, c.usage), c.key) << c.page << ":" << c.usage;
    }
}

TEST(KeyTable, KeyToHidUsage) {
    struct Case {
        KeyCode key;
        HidUsage hid;
    };
    const Case cases[] = {
        {0x15E, {0x01, 0x81}}, {0x054, {0, 0}},        {0x01E, {0x07, 0x04}}, {0x146, {0x07, 0x48}},
        {0x122, {0x0C, 0xCD}}, {0x16D, {0x0C, 0x183}}, {0x174, {0x0C, 0}},    {0x000, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyCodeToHidUsage(c.key), c.hid) << hex(c.key);
    }
}

constexpr uint32_t kExtended = 1u << 24;
constexpr uint32_t scan(uint32_t s) {
    return s << 16;
}

TEST(KeyTable, KeyOfKeyboardMessage) {
    struct Case {
        uint32_t vk;
        uint32_t lParam;
        KeyCode key;
        const char* what;
    };
    const Case cases[] = {
        {0x0D, scan(0x1C) | kExtended, 0x11C, "Num Enter"},
        {0x0D, scan(0x1C), 0x01C, "Enter"},
        {0x10, scan(0x36), 0x036, "right Shift under the generic Shift VK"},
        {0xA1, scan(0x36), 0x036, "right Shift"},
        {0x10, scan(0x2A), 0x02A, "left Shift under the generic Shift VK"},
        {0x11, scan(0x1D) | kExtended, 0x11D, "right Ctrl under the generic Ctrl VK"},
        {0x24, scan(0x47), 0x047, "Num 7 with Num Lock off"},
        {0x24, scan(0x47) | kExtended, 0x147, "Home"},
        {0x67, scan(0x47), 0x047, "Num 7"},
        {0x41, 0, 0x01E, "no scan code: the VK decides"},
        {0x41, scan(0x30), 0x01E, "scan code of another key: the VK decides"},
        {0xFF, scan(0x73), 0x073, "no VK: the scan code decides"},
        {0x2C, scan(0x37) | kExtended, 0x137, "Print Screen"},
        {0x13, scan(0x45), 0x045, "Pause"},
        {0x90, scan(0x45) | kExtended, 0x145, "Num Lock"},
        {0x141, scan(0x1E), 0x01E, "only the low byte of the VK counts"},
        {0x01, 0, 0, "left mouse button"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyCodeFromKeyMessage(c.vk, c.lParam), c.key) << c.what;
    }
}

TEST(KeyTable, KeyOfVirtualKeyFollowsTheSettledChoices) {
    struct Case {
        uint32_t vk;
        KeyCode key;
    };
    const Case cases[] = {
        {0x01, 0},     {0x02, 0},     {0x04, 0},      {0x00, 0},     {0xFF, 0},     {0x88, 0},
        {0x8C, 0},     {0x97, 0},     {0x9F, 0},      {0x0D, 0x01C}, {0x2C, 0x137}, {0xA1, 0x036},
        {0x10, 0x02A}, {0x11, 0x01D}, {0x12, 0x038},  {0x41, 0x01E}, {0x24, 0x147}, {0x5F, 0x15F},
        {0xB7, 0x121}, {0x1C, 0},     {0x141, 0x01E},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyCodeFromVirtualKey(c.vk), c.key) << hex(c.vk);
    }
}

TEST(KeyTable, WindowsKeysInTheLowLevelHook) {
    EXPECT_EQ(WindowsKeyFromVirtualKey(0x5B, false), 0x15B);
    EXPECT_EQ(WindowsKeyFromVirtualKey(0x5C, false), 0x15C);
    EXPECT_EQ(WindowsKeyFromVirtualKey(0x5D, false), 0);
    EXPECT_EQ(WindowsKeyFromVirtualKey(0x5D, true), 0x15D);
    EXPECT_EQ(WindowsKeyFromVirtualKey(0x41, true), 0);
}

TEST(KeyTable, MediaAndSpecialRecordKeys) {
    EXPECT_TRUE(IsMediaKeyCode(0x110));
    EXPECT_TRUE(IsMediaKeyCode(0x16C));
    EXPECT_FALSE(IsMediaKeyCode(0x01E));
    EXPECT_FALSE(IsMediaKeyCode(0x174)); // Zoom- has a consumer code but is no media key
    for (KeyCode k : {0x054, 0x071, 0x072, 0x137}) {
        EXPECT_EQ(IsSpecialRecordKey(static_cast<KeyCode>(k)), 1) << hex(k);
    }
    EXPECT_EQ(IsSpecialRecordKey(0x037), 0);
    EXPECT_EQ(IsSpecialRecordKey(0x000), 0);
}

// Consistency over the whole tables.

TEST(KeyTableConsistency, NamedRowsHaveValidCodesAndColumns) {
    const auto table = KeyTable();
    size_t named = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        const KeyRow& row = table[i];
        if (!row.named()) {
            EXPECT_EQ(row.listCode, kNoListCode) << i;
            EXPECT_EQ(row.deviceCode, 0) << i;
            continue;
        }
        ++named;
        EXPECT_NE(i, 0u);
        EXPECT_TRUE(row.name.empty() != row.textKey.empty()) << i;
        const bool listed = row.listCode <= 0x69;
        const bool unlisted = row.listCode >= 0x8001 && row.listCode <= 0x8030;
        EXPECT_TRUE(listed || unlisted) << i;
        // Only the keypad keys change their virtual key with Num Lock.
        const KeyCode code = KeyCodeFromIndex(static_cast<KeyIndex>(i));
        const bool keypadDigitOrDot = code >= 0x047 && code <= 0x053 && code != 0x04A && code != 0x04E;
        EXPECT_EQ(row.vk != row.vkNumLockOff, keypadDigitOrDot) << hex(code);
    }
    EXPECT_EQ(named, 155u);
}

TEST(KeyTableConsistency, PickListAgreesWithTheListCodeColumn) {
    const auto pick = KeyPickList();
    std::set<KeyCode> seen;
    for (size_t i = 0; i < pick.size(); ++i) {
        EXPECT_EQ(KeyCodeFromListCode(static_cast<uint16_t>(i)), pick[i]) << i;
        EXPECT_EQ(ListCodeFromKeyCode(pick[i]), i) << i;
        EXPECT_TRUE(seen.insert(pick[i]).second) << hex(pick[i]);
    }
    // Every list code below 0x6A belongs to a pick-list key (the second Right Shift row repeats one).
    for (size_t i = 0; i < KeyTable().size(); ++i) {
        const KeyRow& row = KeyTable()[i];
        if (row.named() && row.listCode <= 0x69) {
            EXPECT_EQ(KeyName(pick[row.listCode]), KeyName(KeyCodeFromIndex(static_cast<KeyIndex>(i)))) << i;
        }
    }
}

TEST(KeyTableConsistency, DeviceCodesAndUsagesRoundTrip) {
    for (size_t i = 1; i < KeyTable().size(); ++i) {
        const KeyCode code = KeyCodeFromIndex(static_cast<KeyIndex>(i));
        const HidUsage hid = KeyCodeToHidUsage(code);
        if (hid.page == 0) {
            continue;
        }
        const KeyCode back = HidUsageToKeyCode(hid.page, hid.usage);
        ASSERT_NE(back, 0) << hex(code);
        EXPECT_EQ(KeyCodeToHidUsage(back), hid) << hex(code);
        EXPECT_LE(KeyIndexFromCode(back), i) << hex(code); // the lowest row wins
    }
}

TEST(KeyTableConsistency, MediaKeysAreNamedByTextsAndHaveConsumerCodes) {
    std::set<KeyCode> media(MediaKeyCodes().begin(), MediaKeyCodes().end());
    EXPECT_EQ(media.size(), 18u);
    size_t textRows = 0;
    for (size_t i = 0; i < KeyTable().size(); ++i) {
        const KeyCode code = KeyCodeFromIndex(static_cast<KeyIndex>(i));
        const bool isMedia = media.count(code) != 0;
        EXPECT_EQ(!KeyTable()[i].textKey.empty(), isMedia) << hex(code);
        if (isMedia) {
            ++textRows;
            EXPECT_EQ(KeyCodeToHidUsage(code).page, kPageConsumer) << hex(code);
            EXPECT_EQ(KeyName(code), detail::uiText(KeyTable()[i].textKey)) << hex(code);
        }
    }
    EXPECT_EQ(textRows, 18u);
}

TEST(KeyTableConsistency, VkTableInvertsTheVkColumn) {
    const auto vkTable = VkTable();
    for (unsigned vk = 0; vk < 256; ++vk) {
        const KeyIndex index = vkTable[vk];
        if (vk >= 0x10 && vk <= 0x12) {
            continue; // generic modifiers, checked above
        }
        if (index != 0) {
            EXPECT_EQ(KeyTable()[index].vk, vk) << hex(vk);
            // No lower row carries the VK, except Sys Req, which yields 0x2C to Print Screen.
            for (unsigned lower = 1; lower < index; ++lower) {
                if (KeyTable()[lower].named() && KeyTable()[lower].vk == vk) {
                    EXPECT_EQ(vk, 0x2Cu);
                }
            }
        }
    }
    // Every named row with an ordinary VK is found through it or shares its VK with the row found.
    for (size_t i = 1; i < KeyTable().size(); ++i) {
        const KeyRow& row = KeyTable()[i];
        if (!row.named() || row.vk == kNoVirtualKey || row.vk <= 0x04 || (row.vk >= 0x88 && row.vk <= 0x8C) ||
            (row.vk >= 0x97 && row.vk <= 0x9F)) {
            continue;
        }
        EXPECT_EQ(KeyTable()[vkTable[row.vk]].vk, row.vk) << i;
    }
}

} // namespace
} // namespace tarvik::keyboard
