#include "keyboard/KeyCapture.h"

#include <algorithm>
#include <array>

namespace tarvik::keyboard {

namespace {

// Linux evdev code, the key code a Windows keyboard message carries for the key, and its virtual key as
// the key table has it (so that the pair resolves to the same key; 0xFF where the table has none). The
// comment is the evdev name without its KEY_ prefix. Two sources name one key each: a USB keyboard's
// local-machine-browser key arrives as FILE and its media-player key as CONFIG. Evdev 84 is the XKB
// level-3 key, not Sys Req, and is left out.
constexpr EvdevKey kCaptureTable[] = {
    {1, 0x001, 0x1B},   // ESC
    {2, 0x002, 0x31},   // 1
    {3, 0x003, 0x32},   // 2
    {4, 0x004, 0x33},   // 3
    {5, 0x005, 0x34},   // 4
    {6, 0x006, 0x35},   // 5
    {7, 0x007, 0x36},   // 6
    {8, 0x008, 0x37},   // 7
    {9, 0x009, 0x38},   // 8
    {10, 0x00A, 0x39},  // 9
    {11, 0x00B, 0x30},  // 0
    {12, 0x00C, 0xBD},  // MINUS
    {13, 0x00D, 0xBB},  // EQUAL
    {14, 0x00E, 0x08},  // BACKSPACE
    {15, 0x00F, 0x09},  // TAB
    {16, 0x010, 0x51},  // Q
    {17, 0x011, 0x57},  // W
    {18, 0x012, 0x45},  // E
    {19, 0x013, 0x52},  // R
    {20, 0x014, 0x54},  // T
    {21, 0x015, 0x59},  // Y
    {22, 0x016, 0x55},  // U
    {23, 0x017, 0x49},  // I
    {24, 0x018, 0x4F},  // O
    {25, 0x019, 0x50},  // P
    {26, 0x01A, 0xDB},  // LEFTBRACE
    {27, 0x01B, 0xDD},  // RIGHTBRACE
    {28, 0x01C, 0x0D},  // ENTER
    {29, 0x01D, 0xA2},  // LEFTCTRL
    {30, 0x01E, 0x41},  // A
    {31, 0x01F, 0x53},  // S
    {32, 0x020, 0x44},  // D
    {33, 0x021, 0x46},  // F
    {34, 0x022, 0x47},  // G
    {35, 0x023, 0x48},  // H
    {36, 0x024, 0x4A},  // J
    {37, 0x025, 0x4B},  // K
    {38, 0x026, 0x4C},  // L
    {39, 0x027, 0xBA},  // SEMICOLON
    {40, 0x028, 0xDE},  // APOSTROPHE
    {41, 0x029, 0xC0},  // GRAVE
    {42, 0x02A, 0xA0},  // LEFTSHIFT
    {43, 0x02B, 0xDC},  // BACKSLASH
    {44, 0x02C, 0x5A},  // Z
    {45, 0x02D, 0x58},  // X
    {46, 0x02E, 0x43},  // C
    {47, 0x02F, 0x56},  // V
    {48, 0x030, 0x42},  // B
    {49, 0x031, 0x4E},  // N
    {50, 0x032, 0x4D},  // M
    {51, 0x033, 0xBC},  // COMMA
    {52, 0x034, 0xBE},  // DOT
    {53, 0x035, 0xBF},  // SLASH
    {54, 0x036, 0xA1},  // RIGHTSHIFT
    {55, 0x037, 0x6A},  // KPASTERISK
    {56, 0x038, 0xA4},  // LEFTALT
    {57, 0x039, 0x20},  // SPACE
    {58, 0x03A, 0x14},  // CAPSLOCK
    {59, 0x03B, 0x70},  // F1
    {60, 0x03C, 0x71},  // F2
    {61, 0x03D, 0x72},  // F3
    {62, 0x03E, 0x73},  // F4
    {63, 0x03F, 0x74},  // F5
    {64, 0x040, 0x75},  // F6
    {65, 0x041, 0x76},  // F7
    {66, 0x042, 0x77},  // F8
    {67, 0x043, 0x78},  // F9
    {68, 0x044, 0x79},  // F10
    {69, 0x145, 0x90},  // NUMLOCK
    {70, 0x046, 0x91},  // SCROLLLOCK
    {71, 0x047, 0x67},  // KP7
    {72, 0x048, 0x68},  // KP8
    {73, 0x049, 0x69},  // KP9
    {74, 0x04A, 0x6D},  // KPMINUS
    {75, 0x04B, 0x64},  // KP4
    {76, 0x04C, 0x65},  // KP5
    {77, 0x04D, 0x66},  // KP6
    {78, 0x04E, 0x6B},  // KPPLUS
    {79, 0x04F, 0x61},  // KP1
    {80, 0x050, 0x62},  // KP2
    {81, 0x051, 0x63},  // KP3
    {82, 0x052, 0x60},  // KP0
    {83, 0x053, 0x6E},  // KPDOT
    {86, 0x056, 0xE2},  // 102ND
    {87, 0x057, 0x7A},  // F11
    {88, 0x058, 0x7B},  // F12
    {89, 0x073, 0xC1},  // RO
    {92, 0x079, 0xFF},  // HENKAN
    {93, 0x070, 0xFF},  // KATAKANAHIRAGANA
    {94, 0x07B, 0xEB},  // MUHENKAN
    {96, 0x11C, 0x0D},  // KPENTER
    {97, 0x11D, 0xA3},  // RIGHTCTRL
    {98, 0x135, 0x6F},  // KPSLASH
    {99, 0x137, 0x2C},  // SYSRQ
    {100, 0x138, 0xA5}, // RIGHTALT
    {102, 0x147, 0x24}, // HOME
    {103, 0x148, 0x26}, // UP
    {104, 0x149, 0x21}, // PAGEUP
    {105, 0x14B, 0x25}, // LEFT
    {106, 0x14D, 0x27}, // RIGHT
    {107, 0x14F, 0x23}, // END
    {108, 0x150, 0x28}, // DOWN
    {109, 0x151, 0x22}, // PAGEDOWN
    {110, 0x152, 0x2D}, // INSERT
    {111, 0x153, 0x2E}, // DELETE
    {113, 0x120, 0xAD}, // MUTE
    {114, 0x12E, 0xAE}, // VOLUMEDOWN
    {115, 0x130, 0xAF}, // VOLUMEUP
    {116, 0x15E, 0xFF}, // POWER
    {119, 0x045, 0x13}, // PAUSE
    {121, 0x07E, 0xC2}, // KPCOMMA
    {122, 0x072, 0xFF}, // HANGEUL
    {123, 0x071, 0xE9}, // HANJA
    {124, 0x07D, 0xFF}, // YEN
    {125, 0x15B, 0x5B}, // LEFTMETA
    {126, 0x15C, 0x5C}, // RIGHTMETA
    {127, 0x15D, 0x5D}, // COMPOSE
    {128, 0x168, 0xA9}, // STOP
    {140, 0x121, 0xB7}, // CALC
    {142, 0x15F, 0x5F}, // SLEEP
    {143, 0x163, 0xFF}, // WAKEUP
    {144, 0x16B, 0xB6}, // FILE
    {155, 0x16C, 0xB4}, // MAIL
    {156, 0x166, 0xAB}, // BOOKMARKS
    {157, 0x16B, 0xB6}, // COMPUTER
    {158, 0x16A, 0xA6}, // BACK
    {159, 0x169, 0xA7}, // FORWARD
    {163, 0x119, 0xB0}, // NEXTSONG
    {164, 0x122, 0xB3}, // PLAYPAUSE
    {165, 0x110, 0xB1}, // PREVIOUSSONG
    {166, 0x124, 0xB2}, // STOPCD
    {171, 0x16D, 0xB5}, // CONFIG
    {172, 0x132, 0xAC}, // HOMEPAGE
    {173, 0x167, 0xA8}, // REFRESH
    {183, 0x064, 0x7C}, // F13
    {217, 0x165, 0xAA}, // SEARCH
    {226, 0x16D, 0xB5}, // MEDIA
};

constexpr bool sortedByEvdev() {
    for (size_t i = 1; i < std::size(kCaptureTable); ++i) {
        if (kCaptureTable[i - 1].evdev >= kCaptureTable[i].evdev) {
            return false;
        }
    }
    return true;
}
static_assert(sortedByEvdev(), "the capture table is searched by bisection");

constexpr uint16_t kEvdevPause = 119;
constexpr uint16_t kEvdevSysRq = 99;
// The X11/XKB key code of a key is its evdev code + 8.
constexpr uint32_t kNativeScanCodeOffset = 8;

} // namespace

std::span<const EvdevKey> EvdevCaptureTable() {
    return kCaptureTable;
}

const EvdevKey* FindEvdevKey(uint16_t evdev) {
    const auto* end = std::end(kCaptureTable);
    const auto* it = std::lower_bound(std::begin(kCaptureTable), end, evdev,
                                      [](const EvdevKey& k, uint16_t code) { return k.evdev < code; });
    return it != end && it->evdev == evdev ? it : nullptr;
}

std::optional<KeyMessage> KeyMessageFromNativeScanCode(uint32_t nativeScanCode, const KeyEventState& state) {
    if (nativeScanCode < kNativeScanCodeOffset || nativeScanCode - kNativeScanCodeOffset > 0xFFFF) {
        return std::nullopt;
    }
    const EvdevKey* key = FindEvdevKey(static_cast<uint16_t>(nativeScanCode - kNativeScanCodeOffset));
    if (key == nullptr) {
        return std::nullopt;
    }
    KeyCode code = key->key;
    uint32_t vk = key->vk;
    // Linux reports Pause and Break as one key, and Print Screen and Sys Req as another; Windows tells
    // them apart by the modifier held (Ctrl+Pause is Break, Alt+Print Screen is Sys Req).
    if (key->evdev == kEvdevPause && state.ctrlHeld) {
        code = 0x146;
        vk = KeyRowOf(code).vk;
    } else if (key->evdev == kEvdevSysRq && state.altHeld) {
        code = 0x054;
        vk = KeyRowOf(code).vk;
    } else if (!state.numLockOn) {
        vk = KeyRowOf(code).vkNumLockOff;
    }
    uint32_t lParam = 1; // repeat count
    lParam |= static_cast<uint32_t>(code & 0xFF) << 16;
    if (code & 0x100) {
        lParam |= 1u << 24;
    }
    if (state.wasDown || state.release) {
        lParam |= 1u << 30;
    }
    if (state.release) {
        lParam |= 1u << 31;
    }
    return KeyMessage{vk, lParam};
}

} // namespace tarvik::keyboard
