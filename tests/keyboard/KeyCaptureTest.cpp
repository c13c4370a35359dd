#include "keyboard/KeyCapture.h"

#include "keyboard/Layout.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <set>

namespace tarvik::keyboard {
namespace {

constexpr uint32_t native(uint32_t evdev) {
    return evdev + 8;
}

TEST(KeyCapture, EvdevCodesGiveTheirKeys) {
    struct Case {
        uint16_t evdev;
        KeyCode key;
        uint8_t vk;
    };
    const Case cases[] = {
        {KEY_ESC, 0x001, 0x1B},       {KEY_A, 0x01E, 0x41},          {KEY_LEFTCTRL, 0x01D, 0xA2},
        {KEY_LEFTSHIFT, 0x02A, 0xA0}, {KEY_RIGHTSHIFT, 0x036, 0xA1}, {KEY_NUMLOCK, 0x145, 0x90},
        {KEY_PAUSE, 0x045, 0x13},     {KEY_SYSRQ, 0x137, 0x2C},      {KEY_KPENTER, 0x11C, 0x0D},
        {KEY_KPSLASH, 0x135, 0x6F},   {KEY_RIGHTALT, 0x138, 0xA5},   {KEY_UP, 0x148, 0x26},
        {KEY_LEFTMETA, 0x15B, 0x5B},  {KEY_COMPOSE, 0x15D, 0x5D},    {KEY_102ND, 0x056, 0xE2},
        {KEY_HANJA, 0x071, 0xE9},     {KEY_HANGEUL, 0x072, 0xFF},    {KEY_RO, 0x073, 0xC1},
        {KEY_YEN, 0x07D, 0xFF},       {KEY_MUTE, 0x120, 0xAD},       {KEY_FILE, 0x16B, 0xB6},
        {KEY_COMPUTER, 0x16B, 0xB6},  {KEY_CONFIG, 0x16D, 0xB5},     {KEY_MEDIA, 0x16D, 0xB5},
        {KEY_POWER, 0x15E, 0xFF},     {KEY_SLEEP, 0x15F, 0x5F},      {KEY_F13, 0x064, 0x7C},
        {KEY_KPCOMMA, 0x07E, 0xC2},   {KEY_SEARCH, 0x165, 0xAA},
    };
    for (const auto& c : cases) {
        const EvdevKey* k = FindEvdevKey(c.evdev);
        ASSERT_NE(k, nullptr) << c.evdev;
        EXPECT_EQ(k->key, c.key) << c.evdev;
        EXPECT_EQ(k->vk, c.vk) << c.evdev;
    }
    // Evdev 84 is the XKB level-3 key; F14 and the other keys without a key-table row are not captured.
    for (uint16_t absent : {uint16_t{84}, uint16_t{KEY_F14}, uint16_t{KEY_RESERVED}, uint16_t{KEY_MACRO}}) {
        EXPECT_EQ(FindEvdevKey(absent), nullptr) << absent;
    }
}

TEST(KeyCapture, BuildsTheWindowsMessagePair) {
    struct Case {
        uint32_t nativeCode;
        KeyEventState state;
        KeyMessage message;
        const char* what;
    };
    const KeyEventState press{};
    const KeyEventState repeat{false, true, false, false, true};
    const KeyEventState release{true, true, false, false, true};
    const KeyEventState ctrl{false, false, true, false, true};
    const KeyEventState alt{false, false, false, true, true};
    const KeyEventState numLockOff{false, false, false, false, false};
    const Case cases[] = {
        {native(KEY_A), press, {0x41, 0x001E0001}, "A down"},
        {native(KEY_A), repeat, {0x41, 0x401E0001}, "A repeated"},
        {native(KEY_A), release, {0x41, 0xC01E0001}, "A up"},
        {native(KEY_RIGHTCTRL), press, {0xA3, 0x011D0001}, "Right Ctrl is extended"},
        {native(KEY_PAUSE), press, {0x13, 0x00450001}, "Pause"},
        {native(KEY_PAUSE), ctrl, {0x03, 0x01460001}, "Ctrl+Pause is Break"},
        {native(KEY_SYSRQ), press, {0x2C, 0x01370001}, "Print Screen"},
        {native(KEY_SYSRQ), alt, {0x2C, 0x00540001}, "Alt+Print Screen is Sys Req"},
        {native(KEY_KP7), numLockOff, {0x24, 0x00470001}, "Num 7 with Num Lock off"},
        {native(KEY_KP7), press, {0x67, 0x00470001}, "Num 7"},
        {native(KEY_A), numLockOff, {0x41, 0x001E0001}, "Num Lock does not touch other keys"},
    };
    for (const auto& c : cases) {
        const auto m = KeyMessageFromNativeScanCode(c.nativeCode, c.state);
        ASSERT_TRUE(m.has_value()) << c.what;
        EXPECT_EQ(*m, c.message) << c.what;
        EXPECT_EQ(KeyCodeFromKeyMessage(m->vk, m->lParam),
                  (m->lParam >> 16 & 0xFF) | (m->lParam >> 16 & 0x100))
            << c.what;
    }
    EXPECT_FALSE(KeyMessageFromNativeScanCode(0, press));
    EXPECT_FALSE(KeyMessageFromNativeScanCode(7, press));
    EXPECT_FALSE(KeyMessageFromNativeScanCode(8, press)); // evdev 0
    EXPECT_FALSE(KeyMessageFromNativeScanCode(native(84), press));
    EXPECT_FALSE(KeyMessageFromNativeScanCode(0xFFFFFFFF, press));
}

// Consistency over the whole capture table.

TEST(KeyCaptureConsistency, EveryCapturedKeyRoundTripsThroughTheMessageRule) {
    for (const EvdevKey& k : EvdevCaptureTable()) {
        ASSERT_TRUE(KeyRowOf(k.key).named()) << k.evdev;
        EXPECT_EQ(k.vk, KeyRowOf(k.key).vk) << k.evdev;
        for (bool numLockOn : {true, false}) {
            for (bool release : {false, true}) {
                KeyEventState state;
                state.numLockOn = numLockOn;
                state.release = release;
                const auto m = KeyMessageFromNativeScanCode(native(k.evdev), state);
                ASSERT_TRUE(m.has_value()) << k.evdev;
                EXPECT_EQ(KeyCodeFromKeyMessage(m->vk, m->lParam), k.key)
                    << k.evdev << " num lock " << numLockOn;
            }
        }
    }
}

TEST(KeyCaptureConsistency, EveryKeyButtonCanBeCaptured) {
    std::set<KeyCode> captured;
    for (const EvdevKey& k : EvdevCaptureTable()) {
        captured.insert(k.key);
    }
    for (const KeyButton& b : KeyButtons()) {
        EXPECT_TRUE(captured.count(b.key)) << b.controlId;
    }
    for (KeyCode media : MediaKeyCodes()) {
        EXPECT_TRUE(captured.count(media)) << media;
    }
}

} // namespace
} // namespace tarvik::keyboard
